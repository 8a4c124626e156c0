#pragma once

#include "shell/TreeFinder.h"

#include <QWidget>

class ComputerTreeView;
class QLabel;
class QLineEdit;
class QToolButton;

// The find box above the computer tree: finds groups and computers by a
// part of their name as the administrator types, moves to the first hit at
// once and to the next with Enter or F3 (Shift goes back), and says how many
// it found. Escape closes it and hands the keyboard back to the tree.
class TreeFindBar : public QWidget
{
    Q_OBJECT

public:
    explicit TreeFindBar(ComputerTreeView &tree, QWidget *parent = nullptr);

    // Shows the box with its text selected, ready for typing.
    void open();
    void findNext();
    void findPrevious();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void textChanged(const QString &text);
    void go(const QString &key);
    void showCount();

    ComputerTreeView &m_tree;
    TreeFinder m_finder;
    QLineEdit *txtFind = nullptr;
    QLabel *lblFindCount = nullptr;
    QToolButton *cmdFindClose = nullptr;
};
