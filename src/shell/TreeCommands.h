#pragma once

#include "common/modGeneral.h"
#include "settings/GlobalSettings.h"
#include "settings/UserProfiles.h"

#include <QString>
#include <QStringList>

#include <functional>

class ComputerDB;
class ProgressSink;
class TreeControl;
class TreeDisplay;

// What the pop-up menu of the tree offers for the node under the pointer.
struct TreePopup
{
    QString Key;
    // False when there is no node there, or while a network or ping test runs.
    bool Show = false;
    // "&Rename", "&Delete" and "&Move To...": every node but the root, and
    // only while editing; rename only with one node selected.
    bool RenameEnabled = false;
    bool DeleteEnabled = false;
    bool MoveEnabled = false;
    // The client items and "&Open Newest Client Log" are for computers.
    bool ComputerNode = false;
};

// The main window's tree gestures: new computer and group, rename, delete,
// drag and drop, the pop-up menu, refresh and rebuild. They turn into calls on
// the database, which mirrors every change into the linked tree. Nothing here
// draws; the tree control calls the tvMain_ handlers and does what they say.
//
// A gesture that changes the database works only when RunState enables it:
// never while a run or a test is going on.
class TreeCommands
{
public:
    // Key codes of the tree's key handler.
    static constexpr int KeyDelete = 46;
    static constexpr int KeyF2 = 113;
    // Moves with the left button down before a press becomes a drag.
    static constexpr int DragThreshold = 4;

    // `tree` is the display linked to `database`; `control` the same tree's
    // selection and editing. All three outlive the commands.
    TreeCommands(ComputerDB &database, TreeDisplay &tree, TreeControl &control);

    // The window's LoadSelectedNode: shows the selected node's settings.
    void SetLoadSelectedNode(std::function<void()> loadSelectedNode);

    // ---- set-up ----
    // Once at load: TreeReady, then an empty tree with its root selected.
    void InitializeTreeView();
    // Only the root "All Computers", expanded and selected.
    void ClearTreeView();
    void DefaultTVSelect();
    bool TreeReady() const { return m_treeReady; }
    // View > Refresh: the tree built again from the database.
    void mnuRefresh_Click();
    // The whole tree rebuilt with a new link, reporting into `progress` (may
    // be nullptr); after the setup wizard has replaced the settings.
    void ReloadComputerDatabase(ProgressSink *progress);

    NodeInfo GetSelectedID() const;

    // ---- editing ----
    void AddNewComputer();
    void AddNewFolder();
    // Label editing on the selected node.
    void RenameNode();
    void mnuTVRename_Click();
    void DeleteSelectedNode();
    // Whether a click on the selected node may start editing its label: the
    // root's label is never edited by a click.
    bool CanEditLabel(const QString &key) const;

    // ---- handlers of the tree control ----
    // The label of `key` was edited to `newText`, also when it is the text
    // the label had. True when the name was taken; the node then already
    // shows it, where it was. False keeps the old text.
    bool tvMain_AfterLabelEdit(const QString &key, const QString &newText);
    // The user selected a node.
    void tvMain_NodeClick();
    void tvMain_Expand(const QString &key);
    void tvMain_KeyDown(int keyCode);
    // Left button pressed over `key` (empty over no node).
    void tvMain_MouseDown(const QString &key);
    // True when this move starts the drag of the pressed node.
    bool tvMain_MouseMove(bool leftButtonDown);
    // The image a started drag shows: 6 a computer, 9 a folder.
    int DragImage() const;
    bool DragStarted() const { return m_dragStarted; }
    QString DragSourceKey() const { return m_mouseDownKey; }
    // The drag is over `key`: it becomes the drop target. True when a drop
    // there would move something.
    bool tvMain_DragOver(const QString &key);
    void tvMain_DragDrop();
    // The drag is over, dropped or not.
    void DragEnded();
    // Right button over `key` (empty over no node): selects it and says what
    // the pop-up menu offers. A node among several selected keeps them.
    TreePopup tvMain_RightClick(const QString &key);

    // ---- several nodes ----
    // The selected nodes without the root and without those whose group is
    // selected too (they go wherever their group goes), in tree order.
    QStringList SelectedTopNodes() const;
    // Edit > Move To...: asks for a group and moves every selected node
    // that may go there; says how many could not.
    void MoveSelectedNodes();
    // Every group as the administrator sees it ("All Computers",
    // "Head Office/Finance") with its key, in tree order.
    QList<std::pair<QString, QString>> GroupPaths() const;
    // Set Wave...: asks for a wave, or none, and puts every computer of the
    // selection in it: a computer itself, a group every computer below it,
    // the root every computer. A change of more than one computer is asked
    // first. The number of computers changed.
    int SetWaveOfSelectedNodes();
    // What an edit of many computers at once does to each.
    enum class BulkEdit {
        // A copy of the record it inherits now becomes its own.
        GiveOwnSettings,
        // Its own record goes; it inherits again.
        InheritSettings,
        // The all-users migration ("*ALL" to "*ALL"), where its list has none yet.
        AddAllUsers,
        // Back into the job, or out of it with its settings and users kept.
        Enable,
        Disable,
    };
    // One edit on every computer of the selection that it changes, after one
    // question that counts them; one step of the history. The number changed.
    int EditSelectedComputers(BulkEdit edit);
    // Set Settings...: `edit` shows the settings the first computer of the
    // selection has now and returns them as the administrator set them
    // (nullptr: cancelled); each computer then gets its own copy. The number
    // of computers changed.
    int SetSettingsOfSelection(const std::function<GlobalSettingsPtr(const GlobalSettings &start, int count)> &edit);
    // Add User Migration...: `fill` lets the administrator write the
    // migrations once, into an empty list (the add dialog); then each
    // computer of the selection gets those its list can take. The number of
    // computers changed.
    int AddUserMigrationsToSelection(const std::function<void(const UserProfilesPtr &)> &fill);
    // The computers of the selected nodes and below the selected groups,
    // each once, in tree order.
    QList<int> SelectedComputers() const;
    // The same, telling the administrator when there are none.
    QList<int> SelectedComputersOrSay() const;
    // What the tree's tooltip says about a node: a computer's wave; empty
    // for a group.
    QString NodeToolTip(const QString &key) const;

private:
    void LoadSelectedNode();
    // The parent folder of a new object: the selected folder, the selected
    // computer's folder, else the root.
    int NewObjectParent() const;
    void SelectAndRename(const QString &key);
    bool DropMoves(const QString &sourceKey, const QString &targetKey) const;
    // Moves each node that DropMoves allows; the number that stayed.
    int MoveNodes(const QStringList &keys, const QString &targetKey);
    // Computers and groups in the subtrees of `keys`, the nodes included.
    void CountSubtrees(const QStringList &keys, int &computers, int &groups) const;

    ComputerDB &m_database;
    TreeDisplay &m_tree;
    TreeControl &m_control;
    std::function<void()> m_loadSelectedNode;
    bool m_treeReady = false;

    QString m_mouseDownKey;
    // What a drag carries: the selection when the press was on a node of
    // it, else the pressed node.
    QStringList m_dragKeys;
    int m_mouseMoves = 0;
    bool m_dragStarted = false;
    QString m_dropTargetKey;
};
