#pragma once

#include <QStyledItemDelegate>

class ComputerTreeView;

// Draws the nodes of tvMain (with the drop-target mark while something is
// dragged over them) and gives each label editor the key of its node, so
// that the edit still reaches the right node when the selection has moved
// on before the editor closed.
class ComputerTreeDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // The property of a label editor that holds its node's key.
    static constexpr const char *NodeKeyProperty = "nodeKey";

    explicit ComputerTreeDelegate(ComputerTreeView *tree);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    ComputerTreeView *m_tree;
};
