#include "shell/forms/TreeFindBar.h"

#include "shell/forms/ComputerTreeView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

TreeFindBar::TreeFindBar(ComputerTreeView &tree, QWidget *parent)
    : QWidget(parent)
    , m_tree(tree)
    , m_finder(tree, [&tree] { return tree.changes(); })
{
    setObjectName(QStringLiteral("fraFind"));
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setPlaceholderText(QStringLiteral("Find a computer or group"));
    txtFind->setAccessibleName(txtFind->placeholderText());
    txtFind->setClearButtonEnabled(true);
    txtFind->installEventFilter(this);
    lblFindCount = new QLabel(this);
    lblFindCount->setObjectName(QStringLiteral("lblFindCount"));
    cmdFindClose = new QToolButton(this);
    cmdFindClose->setObjectName(QStringLiteral("cmdFindClose"));
    cmdFindClose->setText(QStringLiteral("\u2715"));
    cmdFindClose->setToolTip(QStringLiteral("Close the find box (Esc)"));
    cmdFindClose->setAccessibleName(QStringLiteral("Close the find box"));
    cmdFindClose->setAutoRaise(true);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(txtFind, 1);
    layout->addWidget(lblFindCount);
    layout->addWidget(cmdFindClose);
    QWidget::setTabOrder(txtFind, cmdFindClose);

    connect(txtFind, &QLineEdit::textEdited, this, &TreeFindBar::textChanged);
    // The clear button changes the text without an edit.
    connect(txtFind, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty())
            textChanged(text);
    });
    connect(cmdFindClose, &QToolButton::clicked, this, [this] {
        hide();
        m_tree.setFocus();
    });
    hide();
}

void TreeFindBar::open()
{
    show();
    m_finder.Prepare();
    txtFind->setFocus();
    txtFind->selectAll();
    // The tree may have changed while the box was closed.
    if (!txtFind->text().isEmpty())
        textChanged(txtFind->text());
}

void TreeFindBar::textChanged(const QString &text)
{
    m_finder.Find(text);
    if (m_finder.Count() > 0)
        go(m_finder.Next());
    showCount();
}

void TreeFindBar::findNext()
{
    if (isHidden() || txtFind->text().isEmpty()) {
        open();
        return;
    }
    QString key = m_finder.Next();
    // A node removed since the text was typed: find again, from the top.
    if (!key.isEmpty() && !m_tree.contains(key)) {
        m_finder.Find(txtFind->text());
        key = m_finder.Next();
    }
    go(key);
    showCount();
}

void TreeFindBar::findPrevious()
{
    if (isHidden() || txtFind->text().isEmpty()) {
        open();
        return;
    }
    QString key = m_finder.Previous();
    if (!key.isEmpty() && !m_tree.contains(key)) {
        m_finder.Find(txtFind->text());
        key = m_finder.Previous();
    }
    go(key);
    showCount();
}

void TreeFindBar::go(const QString &key)
{
    if (!key.isEmpty() && key != m_tree.selectedKey())
        m_tree.goToNode(key);
}

void TreeFindBar::showCount()
{
    const qsizetype count = m_finder.Count();
    if (txtFind->text().isEmpty())
        lblFindCount->clear();
    else if (count == 0)
        lblFindCount->setText(QStringLiteral("Not found"));
    else if (m_finder.Current() < 0)
        lblFindCount->setText(QStringLiteral("%1 found").arg(count));
    else
        lblFindCount->setText(QStringLiteral("%1 of %2").arg(m_finder.Current() + 1).arg(count));
}

bool TreeFindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtFind && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape) {
            hide();
            m_tree.setFocus();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                findPrevious();
            else
                findNext();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
