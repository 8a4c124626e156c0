#include "shell/forms/ComputerTreeView.h"

#include "common/TreeImage.h"
#include "common/modGeneral.h"
#include "common/widgets/frmProgress.h"
#include "database/ProgressLinkSink.h"
#include "shell/forms/ComputerTreeDelegate.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOption>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidgetItemIterator>

#include <vector>

namespace {

const char *const kEditDone = "editDone";

// 300 twips of indentation, as the tree always had, in pixels of the screen.
int IndentationPixels(const QWidget *widget)
{
    const QScreen *screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return std::max(16, qRound(300.0 * dpi / 1440.0));
}

} // namespace

ComputerTreeView::ComputerTreeView(QWidget *parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("tvMain"));
    setAccessibleName(QStringLiteral("Computers"));
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(true);
    setItemDelegate(new ComputerTreeDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    // The root stays open; its children start at the first indentation step.
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setIndentation(IndentationPixels(this));
    // A click on the selected node edits its label; F2 is the commands' key.
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setAcceptDrops(true);
    setDragEnabled(false);
    setDropIndicatorShown(false);
    setAnimated(false);

    QFont treeFont = font();
    treeFont.setPointSize(10);
    setFont(treeFont);

    m_txtTVLoading = new QLabel(QStringLiteral("Loading computers..."), this);
    m_txtTVLoading->setObjectName(QStringLiteral("txtTVLoading"));
    m_txtTVLoading->setAlignment(Qt::AlignCenter);
    m_txtTVLoading->setAutoFillBackground(true);
    m_txtTVLoading->setBackgroundRole(QPalette::Base);
    m_txtTVLoading->hide();

    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem *item) {
        if (m_commands)
            m_commands->tvMain_Expand(keyOf(item));
        refreshDecoration(item);
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem *item) { refreshDecoration(item); });
}

ComputerTreeView::~ComputerTreeView()
{
    while (m_waitCursors > 0)
        setWaitCursor(false);
}

TreeCommands &ComputerTreeView::attachDatabase(ComputerDB &database)
{
    m_commands = std::make_unique<TreeCommands>(database, *this, *this);
    return *m_commands;
}

bool ComputerTreeView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && m_commands) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = m_commands->NodeToolTip(keyOf(itemAt(help->pos())));
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QTreeWidget::viewportEvent(event);
}

void ComputerTreeView::ReloadComputerDatabase()
{
    if (!m_commands)
        return;
    frmProgress progress(window());
    ProgressBarLink link;
    link.LinkForm(&progress);
    ProgressLinkSink sink(link);
    m_commands->ReloadComputerDatabase(&sink);
    link.Finish();
}

// ---- items ------------------------------------------------------------------

QTreeWidgetItem *ComputerTreeView::itemForKey(const QString &key) const
{
    return m_items.value(key, nullptr);
}

QString ComputerTreeView::keyOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, KeyRole).toString() : QString();
}

QTreeWidgetItem *ComputerTreeView::parentItemOf(QTreeWidgetItem *item) const
{
    return item->parent() ? item->parent() : invisibleRootItem();
}

QTreeWidgetItem *ComputerTreeView::relativeItem(const QString &key) const
{
    return key.isEmpty() ? invisibleRootItem() : itemForKey(key);
}

int ComputerTreeView::rowOf(QTreeWidgetItem *parent, QTreeWidgetItem *child) const
{
    // The database walks siblings one after the other; remembering where the
    // last step ended keeps that walk from searching the parent every time.
    if (parent == m_hintParent && m_hintRow >= 0 && m_hintRow < parent->childCount() && parent->child(m_hintRow) == child)
        return m_hintRow;
    const int row = parent->indexOfChild(child);
    m_hintParent = parent;
    m_hintRow = row;
    return row;
}

bool ComputerTreeView::placeFor(QTreeWidgetItem *relative, Relation relation, QTreeWidgetItem *&parent, int &row) const
{
    switch (relation) {
    case Relation::LastChild:
        parent = relative;
        row = relative->childCount();
        return true;
    case Relation::FirstChild:
        parent = relative;
        row = 0;
        return true;
    case Relation::Previous:
    case Relation::Next:
        if (relative == invisibleRootItem())
            return false;
        parent = parentItemOf(relative);
        row = rowOf(parent, relative) + (relation == Relation::Next ? 1 : 0);
        return row >= 0;
    }
    return false;
}

void ComputerTreeView::refreshDecoration(QTreeWidgetItem *item)
{
    const int expanded = item->data(0, ExpandedIconRole).toInt();
    // Computers never show an expanded picture, though expandAll marks them expanded.
    const bool open = item->isExpanded() && !keyOf(item).startsWith(QLatin1Char('C'));
    const int number = open && expanded != 0 ? expanded : item->data(0, IconRole).toInt();
    const bool disabled = item->data(0, DisabledRole).toBool();
    item->setIcon(0, disabled ? m_icons.disabledIcon(number) : m_icons.icon(number));
    // The crossed picture and the slanted, dimmed name: a disabled computer
    // is told apart by shape, not by colour alone.
    if (disabled) {
        QFont slanted = font();
        slanted.setItalic(true);
        item->setFont(0, slanted);
        // Dimmed, but still easy to read: the greyed text of a disabled
        // control is too faint for a name the administrator works with.
        const QColor text = palette().color(QPalette::Text);
        const QColor base = palette().color(QPalette::Base);
        item->setForeground(0, QColor((text.red() * 3 + base.red() * 2) / 5, (text.green() * 3 + base.green() * 2) / 5,
                                   (text.blue() * 3 + base.blue() * 2) / 5));
    } else if (item->data(0, Qt::FontRole).isValid()) {
        item->setData(0, Qt::FontRole, QVariant());
        item->setData(0, Qt::ForegroundRole, QVariant());
    }
    refreshAccessibleText(item);
}

void ComputerTreeView::refreshAccessibleText(QTreeWidgetItem *item)
{
    const int number = item->data(0, IconRole).toInt();
    QString status = item->data(0, StatusTextRole).toString();
    if (status.isEmpty() && TreeImage::IsStatus(number))
        status = TreeImage::Meaning(number);
    const QString description = status.isEmpty() ? TreeImage::Meaning(number) : QString();
    if (item->data(0, DisabledRole).toBool())
        status = status.isEmpty() ? TreeImage::DisabledMeaning() : status + QStringLiteral(", ") + TreeImage::DisabledMeaning();
    // Without a status the name is the node's text, which Qt reads by
    // itself; a tree of 100,000 computers keeps no second copy of it.
    const QString name = status.isEmpty() ? QString() : item->text(0) + QStringLiteral(", ") + status;
    if (item->data(0, Qt::AccessibleDescriptionRole).toString() != description)
        item->setData(0, Qt::AccessibleDescriptionRole, description.isEmpty() ? QVariant() : QVariant(description));
    if (item->data(0, Qt::AccessibleTextRole).toString() == name)
        return;
    item->setData(0, Qt::AccessibleTextRole, name.isEmpty() ? QVariant() : QVariant(name));
    // Qt 6.4 has no announcement event; a screen reader speaks the name of
    // the node it is on when that name changes.
    if (!QAccessible::isActive() || item != currentItem())
        return;
    QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(this);
    if (QAccessibleInterface *node = tree ? tree->focusChild() : nullptr) {
        QAccessibleEvent changed(node, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

// ---- TreeDisplay ----------------------------------------------------------------

bool ComputerTreeView::addNode(const QString &relativeKey, Relation relation, const QString &key, const QString &text, int icon)
{
    ++m_changes;
    if (key.isEmpty() || m_items.contains(key))
        return false;
    QTreeWidgetItem *relative = relativeItem(relativeKey);
    QTreeWidgetItem *parent = nullptr;
    int row = 0;
    if (!relative || !placeFor(relative, relation, parent, row))
        return false;

    auto *item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setData(0, KeyRole, key);
    item->setData(0, IconRole, icon);
    // No expanded image until one is set: an absent value reads as 0.
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    item->setIcon(0, m_icons.icon(icon));
    refreshAccessibleText(item);
    parent->insertChild(row, item);
    m_items.insert(key, item);
    return true;
}

bool ComputerTreeView::moveNode(const QString &key, const QString &relativeKey, Relation relation)
{
    ++m_changes;
    QTreeWidgetItem *item = itemForKey(key);
    QTreeWidgetItem *relative = relativeItem(relativeKey);
    if (!item || !relative)
        return false;
    for (const QTreeWidgetItem *up = relative; up; up = up->parent()) {
        if (up == item)
            return false;
    }
    if ((relation == Relation::Previous || relation == Relation::Next) && relative == invisibleRootItem())
        return false;

    // Taking an item out forgets which of its nodes were open and whether
    // it held the selection; both come back with it.
    std::vector<QTreeWidgetItem *> expanded;
    std::vector<QTreeWidgetItem *> pending {item};
    while (!pending.empty()) {
        QTreeWidgetItem *node = pending.back();
        pending.pop_back();
        if (node->isExpanded())
            expanded.push_back(node);
        for (int i = 0; i < node->childCount(); ++i)
            pending.push_back(node->child(i));
    }
    QTreeWidgetItem *current = currentItem();
    bool currentInside = false;
    for (const QTreeWidgetItem *up = current; up && !currentInside; up = up->parent())
        currentInside = up == item;

    QTreeWidgetItem *oldParent = parentItemOf(item);
    oldParent->takeChild(rowOf(oldParent, item));
    QTreeWidgetItem *parent = nullptr;
    int row = 0;
    placeFor(relative, relation, parent, row);
    parent->insertChild(row, item);

    for (QTreeWidgetItem *node : expanded)
        node->setExpanded(true);
    if (currentInside)
        setCurrentItem(current);
    return true;
}

bool ComputerTreeView::removeNode(const QString &key)
{
    ++m_changes;
    QTreeWidgetItem *item = itemForKey(key);
    if (!item)
        return false;

    // When the selection goes with the node, the next sibling takes it,
    // else the one before, else the parent, as in the Explorer.
    QTreeWidgetItem *successor = nullptr;
    bool currentInside = false;
    for (const QTreeWidgetItem *up = currentItem(); up && !currentInside; up = up->parent())
        currentInside = up == item;
    QTreeWidgetItem *parent = parentItemOf(item);
    if (currentInside) {
        const int row = rowOf(parent, item);
        successor = parent->child(row + 1);
        if (!successor)
            successor = parent->child(row - 1);
        if (!successor && parent != invisibleRootItem())
            successor = parent;
    }

    std::vector<QTreeWidgetItem *> pending {item};
    while (!pending.empty()) {
        QTreeWidgetItem *node = pending.back();
        pending.pop_back();
        const QString nodeKey = keyOf(node);
        m_items.remove(nodeKey);
        if (nodeKey == m_dropKey)
            m_dropKey.clear();
        for (int i = 0; i < node->childCount(); ++i)
            pending.push_back(node->child(i));
    }
    m_hintParent = nullptr;
    delete item;
    if (successor)
        setCurrentItem(successor);
    return true;
}

void ComputerTreeView::clear()
{
    ++m_changes;
    QTreeWidget::clear();
    m_items.clear();
    m_dropKey.clear();
    m_hintParent = nullptr;
}

bool ComputerTreeView::contains(const QString &key) const
{
    return m_items.contains(key);
}

QString ComputerTreeView::text(const QString &key) const
{
    const QTreeWidgetItem *item = itemForKey(key);
    return item ? item->text(0) : QString();
}

void ComputerTreeView::setText(const QString &key, const QString &text)
{
    ++m_changes;
    if (QTreeWidgetItem *item = itemForKey(key)) {
        item->setText(0, text);
        refreshAccessibleText(item);
    }
}

int ComputerTreeView::icon(const QString &key) const
{
    const QTreeWidgetItem *item = itemForKey(key);
    return item ? item->data(0, IconRole).toInt() : 0;
}

void ComputerTreeView::setIcon(const QString &key, int icon)
{
    if (QTreeWidgetItem *item = itemForKey(key)) {
        item->setData(0, IconRole, icon);
        if (!TreeImage::IsStatus(icon) && item->data(0, StatusTextRole).isValid())
            item->setData(0, StatusTextRole, QVariant());
        refreshDecoration(item);
    }
}

int ComputerTreeView::expandedIcon(const QString &key) const
{
    const QTreeWidgetItem *item = itemForKey(key);
    return item ? item->data(0, ExpandedIconRole).toInt() : 0;
}

void ComputerTreeView::setExpandedIcon(const QString &key, int icon)
{
    if (QTreeWidgetItem *item = itemForKey(key)) {
        item->setData(0, ExpandedIconRole, icon);
        refreshDecoration(item);
    }
}

void ComputerTreeView::setStatusText(const QString &key, const QString &text)
{
    if (QTreeWidgetItem *item = itemForKey(key)) {
        item->setData(0, StatusTextRole, text.isEmpty() ? QVariant() : QVariant(text));
        refreshAccessibleText(item);
    }
}

bool ComputerTreeView::nodeDisabled(const QString &key) const
{
    const QTreeWidgetItem *item = itemForKey(key);
    return item && item->data(0, DisabledRole).toBool();
}

void ComputerTreeView::setNodeDisabled(const QString &key, bool disabled)
{
    QTreeWidgetItem *item = itemForKey(key);
    if (!item || item->data(0, DisabledRole).toBool() == disabled)
        return;
    item->setData(0, DisabledRole, disabled ? QVariant(true) : QVariant());
    refreshDecoration(item);
}

QString ComputerTreeView::parentKey(const QString &key) const
{
    const QTreeWidgetItem *item = itemForKey(key);
    return item ? keyOf(item->parent()) : QString();
}

QString ComputerTreeView::firstChildKey(const QString &key) const
{
    QTreeWidgetItem *parent = relativeItem(key);
    if (!parent || parent->childCount() == 0)
        return QString();
    m_hintParent = parent;
    m_hintRow = 0;
    return keyOf(parent->child(0));
}

QString ComputerTreeView::nextSiblingKey(const QString &key) const
{
    QTreeWidgetItem *item = itemForKey(key);
    if (!item)
        return QString();
    QTreeWidgetItem *parent = parentItemOf(item);
    const int row = rowOf(parent, item) + 1;
    QTreeWidgetItem *next = parent->child(row);
    if (!next)
        return QString();
    m_hintParent = parent;
    m_hintRow = row;
    return keyOf(next);
}

int ComputerTreeView::childCount(const QString &key) const
{
    const QTreeWidgetItem *parent = relativeItem(key);
    return parent ? parent->childCount() : 0;
}

// ---- TreeControl ----------------------------------------------------------------

QString ComputerTreeView::selectedKey() const
{
    return keyOf(currentItem());
}

QStringList ComputerTreeView::selectedKeys() const
{
    QStringList keys;
    // The iterator walks in the tree's order.
    for (QTreeWidgetItemIterator it(const_cast<ComputerTreeView *>(this), QTreeWidgetItemIterator::Selected); *it; ++it)
        keys.append(keyOf(*it));
    return keys;
}

void ComputerTreeView::selectNode(const QString &key)
{
    QTreeWidgetItem *item = itemForKey(key);
    if (!item)
        return;
    for (QTreeWidgetItem *up = item->parent(); up; up = up->parent())
        up->setExpanded(true);
    if (item->isSelected() && selectedItems().size() > 1)
        setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    else
        setCurrentItem(item);
    scrollToItem(item);
}

void ComputerTreeView::goToNode(const QString &key)
{
    const QString before = selectedKey();
    selectNode(key);
    userSelected(before);
}

void ComputerTreeView::goToNodes(const QStringList &keys)
{
    if (keys.isEmpty())
        return;
    clearSelection();
    goToNode(keys.first());
    // One selection for all of them: a list of thousands selected item by
    // item would merge its ranges again with every one. Their groups stay
    // as they are; only the current node is brought into view.
    QItemSelection others;
    for (qsizetype i = 1; i < keys.size(); ++i) {
        if (QTreeWidgetItem *item = itemForKey(keys.at(i))) {
            const QModelIndex index = indexFromItem(item);
            others.select(index, index);
        }
    }
    selectionModel()->select(others, QItemSelectionModel::Select);
}

void ComputerTreeView::setExpanded(const QString &key, bool expanded)
{
    if (QTreeWidgetItem *item = itemForKey(key))
        item->setExpanded(expanded);
}

void ComputerTreeView::beginLabelEdit(const QString &key)
{
    QTreeWidgetItem *item = itemForKey(key);
    if (!item)
        return;
    scrollToItem(item);
    editItem(item, 0);
}

void ComputerTreeView::setDropHighlight(const QString &key)
{
    if (key == m_dropKey)
        return;
    const QString old = std::exchange(m_dropKey, key);
    for (const QString &changed : {old, key}) {
        if (QTreeWidgetItem *item = itemForKey(changed))
            viewport()->update(visualItemRect(item));
    }
}

void ComputerTreeView::setLoading(bool loading)
{
    if (loading) {
        m_txtTVLoading->setGeometry(contentsRect());
        m_txtTVLoading->raise();
    }
    m_txtTVLoading->setVisible(loading);
}

void ComputerTreeView::setWaitCursor(bool wait)
{
    if (wait) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_waitCursors;
    } else if (m_waitCursors > 0) {
        QGuiApplication::restoreOverrideCursor();
        --m_waitCursors;
    }
}

// ---- gestures -------------------------------------------------------------------

void ComputerTreeView::userSelected(const QString &before)
{
    if (m_commands && selectedKey() != before && !selectedKey().isEmpty())
        m_commands->tvMain_NodeClick();
}

void ComputerTreeView::mousePressEvent(QMouseEvent *event)
{
    const QString key = keyOf(itemAt(event->position().toPoint()));
    if (event->button() == Qt::RightButton) {
        event->accept();
        if (!m_commands)
            return;
        const TreePopup popup = m_commands->tvMain_RightClick(key);
        if (popup.Show)
            Q_EMIT popupMenuRequested(popup, event->globalPosition().toPoint());
        return;
    }
    const QString before = selectedKey();
    const QStringList selected = selectedKeys();
    m_pressInSelection = event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier && selected.size() > 1
        && selected.contains(key);
    QTreeWidget::mousePressEvent(event);
    if (m_commands && event->button() == Qt::LeftButton)
        m_commands->tvMain_MouseDown(key);
    userSelected(before);
}

void ComputerTreeView::mouseReleaseEvent(QMouseEvent *event)
{
    // A click inside a selection of several keeps them all, as the right
    // button does: the base class would narrow it to the clicked node and
    // then open that node's name for editing, where Delete erases the name
    // instead of asking about the selection.
    if (std::exchange(m_pressInSelection, false) && event->button() == Qt::LeftButton) {
        event->accept();
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void ComputerTreeView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        QTreeWidget::mouseMoveEvent(event);
        if (m_commands)
            m_commands->tvMain_MouseMove(false);
        return;
    }
    // With the button down the base class would drag the selection along
    // under the pointer; in this tree a press selects one node, and moving
    // on drags it.
    event->accept();
    if (m_commands && m_commands->tvMain_MouseMove(true))
        startNodeDrag();
}

void ComputerTreeView::keyPressEvent(QKeyEvent *event)
{
    if (m_commands && state() != EditingState && event->modifiers() == Qt::NoModifier) {
        if (event->key() == Qt::Key_F2) {
            m_commands->tvMain_KeyDown(TreeCommands::KeyF2);
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Delete) {
            m_commands->tvMain_KeyDown(TreeCommands::KeyDelete);
            event->accept();
            return;
        }
    }
    const QString before = selectedKey();
    QTreeWidget::keyPressEvent(event);
    userSelected(before);
}

void ComputerTreeView::contextMenuEvent(QContextMenuEvent *event)
{
    event->accept();
    // The mouse's menu opened at the press already; the keyboard's opens
    // beside the selected node.
    if (event->reason() != QContextMenuEvent::Keyboard || !m_commands)
        return;
    QTreeWidgetItem *item = currentItem();
    if (!item)
        return;
    const TreePopup popup = m_commands->tvMain_RightClick(keyOf(item));
    if (popup.Show)
        Q_EMIT popupMenuRequested(popup, viewport()->mapToGlobal(visualItemRect(item).center()));
}

bool ComputerTreeView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    // A second click edits every label but the root's; programmatic edits
    // (RenameNode) have made their checks already.
    if (trigger == SelectedClicked && (!m_commands || !m_commands->CanEditLabel(keyOf(itemFromIndex(index)))))
        return false;
    return QTreeWidget::edit(index, trigger, event);
}

void ComputerTreeView::commitData(QWidget *editor)
{
    // The text is not written into the item here: the database decides
    // whether the name is taken, and the commands set the node's text.
    const auto *line = qobject_cast<QLineEdit *>(editor);
    const QString key = editor ? editor->property(ComputerTreeDelegate::NodeKeyProperty).toString() : QString();
    if (!line || key.isEmpty() || !m_commands)
        return;
    // An editor commits once. The focus it loses as it closes (also after
    // Escape) would otherwise commit it again.
    if (editor->property(kEditDone).toBool())
        return;
    editor->setProperty(kEditDone, true);
    // Handled once the editor is gone and the view has settled: the commit
    // may come in the middle of a selection change, and the rename may
    // show a message.
    const QString text = line->text();
    QTimer::singleShot(0, this, [this, key, text] {
        if (m_commands)
            m_commands->tvMain_AfterLabelEdit(key, text);
    });
}

void ComputerTreeView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab ends the edit; it does not walk on to edit the next node's label.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::NoHint;
    if (editor)
        editor->setProperty(kEditDone, true);
    QTreeWidget::closeEditor(editor, hint);
}

// ---- drag and drop ----------------------------------------------------------------

QPixmap ComputerTreeView::dragPixmap() const
{
    // The drag image with the node's name beside it, the way the Explorer drags.
    const QString label = text(m_commands->DragSourceKey());
    const qreal ratio = devicePixelRatioF();
    const QFontMetrics metrics(font());
    const int iconSize = 24;
    const QSize size(iconSize + 6 + metrics.horizontalAdvance(label) + 8, std::max(iconSize, metrics.height() + 6));
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect textRect(iconSize + 2, (size.height() - metrics.height() - 6) / 2, size.width() - iconSize - 2, metrics.height() + 6);
    QColor back = palette().color(QPalette::Highlight);
    back.setAlpha(170);
    painter.setPen(Qt::NoPen);
    painter.setBrush(back);
    painter.drawRoundedRect(textRect, 3, 3);
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.setFont(font());
    painter.drawText(textRect, Qt::AlignCenter, label);
    m_icons.icon(m_commands->DragImage()).paint(&painter, QRect(0, (size.height() - iconSize) / 2, iconSize, iconSize));
    return pixmap;
}

void ComputerTreeView::startNodeDrag()
{
    auto *mime = new QMimeData;
    mime->setData(QString::fromLatin1(NodeMimeType), m_commands->DragSourceKey().toUtf8());
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(dragPixmap());
    drag->setHotSpot(QPoint(12, 12));
    execDrag(drag);
    if (m_commands)
        m_commands->DragEnded();
}

Qt::DropAction ComputerTreeView::execDrag(QDrag *drag)
{
    return drag->exec(Qt::MoveAction, Qt::MoveAction);
}

bool ComputerTreeView::ownDrag(const QMimeData *mime) const
{
    // Only a drag this tree started: the commands remember what it carries.
    return m_commands && m_commands->DragStarted() && mime && mime->hasFormat(QString::fromLatin1(NodeMimeType));
}

void ComputerTreeView::autoScrollNear(const QPoint &pos)
{
    const int margin = std::max(8, sizeHintForRow(0) > 0 ? sizeHintForRow(0) : 16);
    QScrollBar *bar = verticalScrollBar();
    if (pos.y() < margin)
        bar->setValue(bar->value() - bar->singleStep());
    else if (pos.y() > viewport()->height() - margin)
        bar->setValue(bar->value() + bar->singleStep());
}

void ComputerTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!ownDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void ComputerTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!ownDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    const QPoint pos = event->position().toPoint();
    autoScrollNear(pos);
    // The node under the pointer is marked even where a drop moves nothing;
    // the cursor tells which it is.
    if (m_commands->tvMain_DragOver(keyOf(itemAt(pos)))) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ComputerTreeView::dragLeaveEvent(QDragLeaveEvent *event)
{
    if (m_commands)
        m_commands->tvMain_DragOver(QString());
    event->accept();
}

void ComputerTreeView::dropEvent(QDropEvent *event)
{
    if (!ownDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    m_commands->tvMain_DragOver(keyOf(itemAt(event->position().toPoint())));
    m_commands->tvMain_DragDrop();
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

// ---- looks ------------------------------------------------------------------------

void ComputerTreeView::resizeEvent(QResizeEvent *event)
{
    QTreeWidget::resizeEvent(event);
    if (m_txtTVLoading->isVisible())
        m_txtTVLoading->setGeometry(contentsRect());
}

void ComputerTreeView::drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const
{
    // Thin tree lines, and an arrow on the nodes that hold others. The root
    // is not decorated, so a node at depth d has d - 1 columns of its
    // ancestors' lines and one of its own.
    if (!index.parent().isValid())
        return;
    const int indent = indentation();
    const int top = rect.top();
    const int bottom = rect.bottom() + 1;
    const int middle = rect.center().y();
    const int own = rect.right() + 1 - indent;
    const QAbstractItemModel *itemModel = index.model();

    painter->save();
    // The selection starts at the node's picture, as in the Explorer; the
    // lines stay on the plain background.
    painter->fillRect(rect, palette().brush(QPalette::Base));
    QColor lineColor = palette().color(QPalette::Mid);
    lineColor.setAlpha(150);
    painter->setPen(QPen(lineColor, 0));

    const int x = own + indent / 2;
    const bool hasNext = index.row() + 1 < itemModel->rowCount(index.parent());
    painter->drawLine(x, top, x, hasNext ? bottom : middle);
    painter->drawLine(x, middle, own + indent - 3, middle);

    int column = own - indent;
    for (QModelIndex up = index.parent(); up.isValid() && up.parent().isValid(); up = up.parent(), column -= indent) {
        if (up.row() + 1 < itemModel->rowCount(up.parent()))
            painter->drawLine(column + indent / 2, top, column + indent / 2, bottom);
    }

    if (itemModel->rowCount(index) > 0) {
        const int box = 11;
        const QRect arrowRect(x - box / 2, middle - box / 2, box, box);
        painter->fillRect(arrowRect, palette().brush(QPalette::Base));
        QStyleOption option;
        option.initFrom(this);
        option.rect = arrowRect;
        option.state = QStyle::State_Children | QStyle::State_Enabled;
        if (isExpanded(index))
            option.state |= QStyle::State_Open;
        style()->drawPrimitive(QStyle::PE_IndicatorBranch, &option, painter, this);
    }
    painter->restore();
}
