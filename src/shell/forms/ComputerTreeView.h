#pragma once

#include "database/TreeDisplay.h"
#include "shell/TreeCommands.h"
#include "shell/TreeControl.h"
#include "shell/forms/TreeIcons.h"

#include <QHash>
#include <QTreeWidget>

#include <memory>

class ComputerDB;
class QDrag;
class QLabel;

// The main window's computer tree `tvMain`: the database's tree display and
// the control the tree gestures act on. Nodes carry their key and image
// numbers; a node shows its expanded image while it is expanded.
//
// Hosting it takes three steps:
//
//     tvMain = new ComputerTreeView(fmComputers);
//     TreeCommands &tree = tvMain->attachDatabase(*Database);
//     tree.SetLoadSelectedNode([this] { LoadSelectedNode(); });
//
// then tree.InitializeTreeView() and Database->LinkTreeView(tvMain, 24, 3,
// nullptr) at load, the buttons and menu items connected to the commands,
// and popupMenuRequested to the pop-up menu `mnuTVRightClick`.
class ComputerTreeView : public QTreeWidget, public TreeDisplay, public TreeControl
{
    Q_OBJECT

public:
    enum Role : int {
        KeyRole = Qt::UserRole,
        IconRole,
        ExpandedIconRole,
        // The status in words beside a status picture (TreeDisplay::setStatusText).
        StatusTextRole,
        // Set on a disabled computer (TreeDisplay::setNodeDisabled).
        DisabledRole,
    };

    // Drags of tree nodes carry the node's key in this format.
    static constexpr const char *NodeMimeType = "application/x-varno-osk-tree-node";

    explicit ComputerTreeView(QWidget *parent = nullptr);
    ~ComputerTreeView() override;

    using QTreeView::setExpanded;
    using QTreeWidget::edit;

    // Creates the tree's commands on `database`, which outlives the tree.
    TreeCommands &attachDatabase(ComputerDB &database);
    // nullptr until attachDatabase.
    TreeCommands *commands() const { return m_commands.get(); }

    // Rebuilds the whole tree from the database with a new link, in front
    // of the progress window.
    void ReloadComputerDatabase();

    const TreeIcons &icons() const { return m_icons; }
    QTreeWidgetItem *itemForKey(const QString &key) const;
    static QString keyOf(const QTreeWidgetItem *item);
    QString dropHighlightKey() const { return m_dropKey; }
    QLabel *loadingLabel() const { return m_txtTVLoading; }
    // Moves whenever a node is added, moved, removed or renamed.
    quint64 changes() const { return m_changes; }
    // Selects the node as a click would, loading it into the panel.
    void goToNode(const QString &key);
    // Selects several nodes as Ctrl-clicks would: the first becomes the
    // current one and is loaded into the panel; keys without a node are passed over.
    void goToNodes(const QStringList &keys);

    // ---- TreeDisplay ----
    bool addNode(const QString &relativeKey, Relation relation, const QString &key, const QString &text, int icon) override;
    bool moveNode(const QString &key, const QString &relativeKey, Relation relation) override;
    bool removeNode(const QString &key) override;
    void clear() override;
    bool contains(const QString &key) const override;
    QString text(const QString &key) const override;
    void setText(const QString &key, const QString &text) override;
    int icon(const QString &key) const override;
    void setIcon(const QString &key, int icon) override;
    int expandedIcon(const QString &key) const override;
    void setExpandedIcon(const QString &key, int icon) override;
    void setStatusText(const QString &key, const QString &text) override;
    bool nodeDisabled(const QString &key) const override;
    void setNodeDisabled(const QString &key, bool disabled) override;
    QString parentKey(const QString &key) const override;
    QString firstChildKey(const QString &key) const override;
    QString nextSiblingKey(const QString &key) const override;
    int childCount(const QString &key) const override;

    // ---- TreeControl ----
    QString selectedKey() const override;
    QStringList selectedKeys() const override;
    void selectNode(const QString &key) override;
    void setExpanded(const QString &key, bool expanded) override;
    void beginLabelEdit(const QString &key) override;
    void setDropHighlight(const QString &key) override;
    void setLoading(bool loading) override;
    void setWaitCursor(bool wait) override;

Q_SIGNALS:
    // The right mouse button (or the menu key) on a node: the window sets
    // up and shows its pop-up menu.
    void popupMenuRequested(const TreePopup &popup, const QPoint &globalPos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // A computer's tooltip names its wave, read when the tooltip opens.
    bool viewportEvent(QEvent *event) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const override;
    // Runs a started drag until it ends. The platform's drag loop runs here;
    // the offscreen platform ends every drag at once, so tests play the
    // drag's events themselves.
    virtual Qt::DropAction execDrag(QDrag *drag);

protected Q_SLOTS:
    void commitData(QWidget *editor) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    QTreeWidgetItem *parentItemOf(QTreeWidgetItem *item) const;
    QTreeWidgetItem *relativeItem(const QString &key) const;
    // The place a relation names: parent and row; false when there is none.
    bool placeFor(QTreeWidgetItem *relative, Relation relation, QTreeWidgetItem *&parent, int &row) const;
    // Row of a child; quick for a walk along the siblings.
    int rowOf(QTreeWidgetItem *parent, QTreeWidgetItem *child) const;
    void refreshDecoration(QTreeWidgetItem *item);
    // What assistive technology reads for a node: its name with the status
    // its picture shows ("HQ-01, Migration successful"), and what a
    // settings picture means. A change on the current node is announced.
    void refreshAccessibleText(QTreeWidgetItem *item);
    void startNodeDrag();
    QPixmap dragPixmap() const;
    void userSelected(const QString &before);
    bool ownDrag(const QMimeData *mime) const;
    void autoScrollNear(const QPoint &pos);

    std::unique_ptr<TreeCommands> m_commands;
    TreeIcons m_icons;
    QHash<QString, QTreeWidgetItem *> m_items;
    QString m_dropKey;
    QLabel *m_txtTVLoading = nullptr;
    int m_waitCursors = 0;
    mutable QTreeWidgetItem *m_hintParent = nullptr;
    mutable int m_hintRow = -1;
    quint64 m_changes = 0;
    // The left button went down, without a modifier, on a node of a selection of several.
    bool m_pressInSelection = false;
};
