#include "shell/forms/ComputerTreeDelegate.h"

#include "shell/forms/ComputerTreeView.h"

#include <QLineEdit>
#include <QPainter>

#include <algorithm>

ComputerTreeDelegate::ComputerTreeDelegate(ComputerTreeView *tree)
    : QStyledItemDelegate(tree)
    , m_tree(tree)
{ }

void ComputerTreeDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QString dropKey = m_tree->dropHighlightKey();
    if (dropKey.isEmpty() || index.data(ComputerTreeView::KeyRole).toString() != dropKey) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The drop target gets a light frame of the selection colour, so that it
    // stays apart from the selected node (usually the one being dragged).
    const QColor highlight = option.palette.color(QPalette::Active, QPalette::Highlight);
    QColor fill = highlight;
    fill.setAlpha(60);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(highlight, 1));
    painter->setBrush(fill);
    painter->drawRoundedRect(QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter->restore();
    QStyleOptionViewItem target = option;
    target.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    QStyledItemDelegate::paint(painter, target, index);
}

QSize ComputerTreeDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // A little air between the rows makes a long tree easier to follow.
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height() + 4, option.decorationSize.height() + 6));
    return size;
}

QWidget *ComputerTreeDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (editor)
        editor->setProperty(NodeKeyProperty, index.data(ComputerTreeView::KeyRole));
    if (auto *line = qobject_cast<QLineEdit *>(editor))
        line->setFrame(true);
    return editor;
}
