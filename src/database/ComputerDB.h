#pragma once

#include "common/modGeneral.h"
#include "database/DatabaseChange.h"
#include "database/ComputerRecord.h"
#include "database/FolderRecord.h"
#include "database/SiblingOrder.h"
#include "database/StackInt.h"
#include "database/TreeDisplay.h"
#include "database/WaveList.h"
#include "settings/GlobalSettings.h"
#include "settings/UserProfiles.h"

#include <QHash>
#include <QString>

#include <memory>
#include <vector>

class EditHistory;
class ProgressSink;

// The console's computer database: folders (groups) and computers under the
// root "All Computers", their child lists, the name index, the settings
// table with its inheritance, and the binding to the tree display.
//
// IDs of folders and of computers are two sequences from 0 that are never
// reused: a removed record stays in its slot, inactive, until Clear.
// Type words name the levels: "G" the root, "F" a folder, "C" a computer.
// Every operation reports its own unexpected failures under
// "ComputerDB.<operation>" and returns the result it had so far; only
// RemoveFolder passes its two loop-limit failures on to its caller.
class ComputerDB
{
public:
    // Records and the settings table grow by this many slots.
    static constexpr int GrowthStep = 50;
    static constexpr int NameIndexBuckets = 10003;
    // Passes of RemoveFolder's child loops before it gives up.
    static constexpr int RemoveLoopLimit = 1000000;
    static constexpr int DefaultComputerIcon = 24;
    static constexpr int DefaultFolderIcon = 3;

    // Empty, as after Clear.
    ComputerDB();
    ~ComputerDB();
    ComputerDB(const ComputerDB &) = delete;
    ComputerDB &operator=(const ComputerDB &) = delete;

    // --- Computers ---------------------------------------------------------

    // Adds a computer (names are stored as given; callers check duplicates
    // with FindComputer) and returns its ID. The folder must be -1 or an
    // active folder.
    int AddComputer(const QString &name, const QString &dnsName, int folderID, int customSettings);
    // Name, DNSName, FolderID and CustomSettings of `record`.
    int AddComputerRec(const ComputerRecord &record);
    // Name and DNSName of `record`, in the folder AddPath(record.OU).
    int AddComputerRecOU(const ComputerRecord &record);
    void RemoveComputer(int id);
    // Into `newFolderID` (-1 the root), at the end of its list.
    void MoveComputer(int id, int newFolderID);
    // False when another computer already has the name. The tree node's
    // text is the caller's business.
    bool RenameComputer(int id, const QString &newName);
    // Active computers.
    int GetComputerCount() const;
    // Active groups, the root not counted.
    int GetFolderCount() const;
    // Empty text for an ID that is not an active computer.
    QString GetComputerName(int id) const;
    // nullptr for an ID that is not an active computer. The list is shared:
    // during a step, a copy of it as it was handed out tells the step what
    // changed in it.
    UserProfilesPtr GetComputerUserList(int id) const;
    // The computer shares `list` from now on; DatabaseChanged stays.
    void SetComputerUserList(int id, const UserProfilesPtr &list);
    // ID of the computer with this name without regard to case, or -1.
    int FindComputer(const QString &name) const;

    // --- Folders -------------------------------------------------------------

    // Finds or creates every folder of a "\"-separated path; the ID of the
    // last one, -1 for an empty path.
    int AddPath(const QString &path);
    // Trims blanks off `name` (the caller sees the trimmed text) and returns
    // the ID of the sibling of that name, created when missing.
    int AddFolder(QString &name, int parentID);
    int AddFolder(const QString &name, int parentID);
    // Removes the folder with everything below it, deepest first. Throws
    // modErrorHandler::Failure (number 1) when one of its child loops does
    // not come to an end; what was removed until then stays removed.
    void RemoveFolder(int id);
    int FindFolder(const QString &name, int parentID) const;
    // Refused without a word when the target is the folder itself, lies
    // below it, or already is its parent.
    void MoveFolder(int id, int newParentID);
    // False for an empty name or a name a sibling already has.
    bool RenameFolder(int id, const QString &newName);
    QString GetFolderName(int id) const;

    // The parent of a node: type "G", "F" or "C" and ID; the parent type is
    // empty when there is none.
    void GetObjectParent(const QString &type, int id, int &parentID, QString &parentType) const;

    // Forgets every record, unlinks the tree and starts a new settings table.
    void Clear();

    // For loading a saved database: a folder record as it was saved, active,
    // outside every list and the tree, until RebuildFolderLists.
    int AddFolderRecord(const QString &name, int parentID, int customSettings);
    // For loading a saved database: the record of a computer ID that was
    // removed before saving, inactive and outside every list and index.
    int AddRemovedComputerRecord();
    // Files every folder into its parent's list, in ID order. A folder whose
    // parent is not a loaded folder goes directly under the root, and so does
    // the lowest ID of a loop of parents, which opens the loop.
    void RebuildFolderLists();
    // The directory path a loaded computer was saved with (AddComputer has
    // no place for it); nothing for an ID that is not an active computer.
    void SetComputerOU(int id, const QString &ou);
    // The directory identity of a computer (an import's or a loaded file's).
    void SetComputerDirectoryID(int id, const QString &directoryID);

    // --- Edit history ----------------------------------------------------------

    // Where the steps go (nullptr: none are kept, as in vo and the engine).
    void SetEditHistory(EditHistory *history) { m_history = history; }
    EditHistory *History() const { return m_history; }
    // Opens and closes a step (EditStep does both); a step opened inside
    // another joins it, and only the outermost one's text counts.
    void BeginEdit(const QString &text);
    void EndEdit();
    // Takes a step back, or makes it again, without recording anything.
    void Revert(const std::vector<DatabaseChange> &changes);
    void Replay(const std::vector<DatabaseChange> &changes);
    // A removed computer, or folder, active again under its own ID, in the
    // folder given (which must be active, or -1). False when the ID is not
    // a removed one or another computer took the name meanwhile.
    bool ReactivateComputer(int id, const QString &name, const QString &dnsName, int folderID);
    bool ReactivateFolder(int id, const QString &name, int parentID);
    // A node's own record, or a computer's user list, was edited where it
    // stands; `before` is a copy from before the edit.
    void NoteSettingsEdited(const QString &objectType, int id, const GlobalSettingsPtr &before);
    void NoteUserListEdited(int id, const UserProfiles &before);

    // --- Waves -------------------------------------------------------------

    const WaveList &Waves() const { return m_waves; }
    // False when the wave list refuses it (WaveList::problemWith says why).
    bool AddWave(const WaveRecord &wave, int position = -1);
    // A renamed wave keeps its computers.
    bool ReplaceWave(int index, const WaveRecord &wave);
    // Its computers belong to no wave afterwards.
    void RemoveWave(int index);
    void MoveWave(int from, int to);
    // Puts an active computer into a wave of the list, or (empty) into none;
    // false for an unknown wave or ID.
    bool SetComputerWave(int id, const QString &wave);

    // Takes an active computer out of the job, or back into it; false for an
    // unknown ID. The tree marks a disabled computer.
    bool SetComputerEnabled(int id, bool enabled);

    // --- Read access for the export, validation and the settings file -----

    // IDs handed out so far.
    int ComputerCount() const { return m_computerCount; }
    int FolderCount() const { return m_folderCount; }
    int ComputerCapacity() const { return m_computerCapacity; }
    int FolderCapacity() const { return m_folderCapacity; }
    // The record of an ID handed out (active or not); nullptr otherwise.
    const ComputerRecord *Computers(int id) const;
    const FolderRecord *Folders(int id) const;
    const StackInt &RootFolders() const { return m_rootFolders; }
    const StackInt &RootComputers() const { return m_rootComputers; }
    // nullptr while the folder's list has not been used.
    const StackInt *SubFolders(int folderID) const;
    const StackInt *FolderComputers(int folderID) const;
    const StackInt &NameIndex(int bucket) const;
    // The bucket a computer name is filed under.
    static int NameBucket(const QString &name);

    // --- Settings table --------------------------------------------------------

    // Attaches `record` to a node. "G" replaces the global record (result
    // false); "F"/"C" need an active node and return true.
    bool AddSettings(const GlobalSettingsPtr &record, int id, const QString &objectType);
    // Stores a record whose ObjectType and AssociatedID are set. `fromFile`
    // always takes a new slot; otherwise a node keeps its slot.
    void AddAssociatedSettings(const GlobalSettingsPtr &record, bool fromFile);
    // The node's own record (shared, not a copy), or nullptr.
    GlobalSettingsPtr GetSettings(const QString &objectType, int id) const;
    // Slot of the node's own record: 0 for "G", -1 for none.
    int GetSettingsIndex(const QString &objectType, int id) const;
    // The nearest own record on the way up; `sourceKey` receives the node key
    // of its owner ("F-1" for the global record).
    GlobalSettingsPtr GetEffectiveSettings(const QString &objectType, int id, QString &sourceKey) const;
    // Detaches a node's own record (which stays in its slot, not Valid).
    bool RemoveSettings(int id, const QString &objectType);
    // A new table; every node inherits from a new global record.
    void RemoveAllSettings();
    void ResetSettingsTable();
    int SettingsCount() const { return m_settingsCount; }
    int SettingsCapacity() const { return m_settingsCapacity; }
    // The record in a slot handed out, nullptr otherwise.
    GlobalSettingsPtr SettingsTable(int slot) const;

    // Detaches the own record of the node a tree key names.
    bool RemoveNodeSettings(const QString &nodeKey);
    // Detaches the own records of every node below; at depth 1 or more the
    // node's own as well. Walks the linked tree, or the database unlinked.
    void OverwriteChildrenSettings(const QString &nodeKey, int depth = 0);

    // --- Tree display --------------------------------------------------------

    // Builds the tree under its existing root "F-1" when the database holds
    // anything, then mirrors every change into it.
    void LinkTreeView(TreeDisplay *tree, int computerIcon, int folderIcon, ProgressSink *progress);
    void UnlinkTreeView();
    // Builds the linked tree again (onto a tree that was emptied down to its root).
    void ReloadTreeView();
    // Every node's icon from the settings table.
    void SetColorsForEdit();
    bool IsLinked() const { return m_linked; }
    TreeDisplay *LinkedTree() const { return m_tree; }
    int ComputerIcon() const { return m_computerIcon; }
    int FolderIcon() const { return m_folderIcon; }

    // Settings icons of the tree nodes.
    bool HasCustomSettings(const QString &nodeKey) const;
    // Unlinked, only the node itself is counted.
    int CountCustomBelow(const QString &nodeKey, bool stopAtFirst) const;
    void MarkAncestorsCustomBelow(const QString &nodeKey);
    void InheritSetColors(const QString &nodeKey);

protected:
    // Raw list access for code that must see a damaged structure (tests).
    StackInt &folderListFor(int parentID);
    StackInt &computerListFor(int folderID);

private:
    ComputerRecord &computerSlot(int id);
    FolderRecord &folderSlot(int id);
    bool isActiveComputer(int id) const;
    bool isActiveFolder(int id) const;
    // -1 or an active folder; anything else fails the operation.
    void requireFolderOrRoot(int folderID) const;
    void growComputers();
    void growFolders();

    static int bucketOfFolded(const QString &folded);
    void AddNameIndex(const QString &name, int id);
    void RemoveNameIndex(const QString &name, int id);
    void AttachComputer(int id, int folderID);
    void DetachComputer(int id);
    void AttachFolder(int id, int parentID);
    // Removes every entry of the ID from its parent's list.
    void DetachFolder(int id);

    void BuildTree(TreeDisplay *tree, int computerIcon, int folderIcon, ProgressSink *progress);
    void AddFolderNodes(TreeDisplay *tree, int folderIcon, ProgressSink *progress, int step, int &done);
    void AddNode(const QString &type, int id, int parentID);
    void RemoveNode(const QString &type, int id);
    // Where AddNode puts the node of a folder or computer that is already in
    // the list of `parentID`: next to which node, in which relation.
    void NodePlacement(SiblingOrder::Kind kind, int id, int parentID, QString &relativeKey, TreeDisplay::Relation &relation);
    void EnsureSiblingOrder(SiblingOrder::Kind kind, int parentID);
    void SetNodeImages(const QString &key, int icon, int expandedIcon);
    void OverwriteDatabaseChildren(const NodeInfo &node, int depth);
    int CountCustomIn(const QString &nodeKey, bool stopAtFirst) const;
    void GrowSettingsTable();
    // The slot of a node's own record, 0 for "G", -1 for none.
    int SettingsSlot(const QString &objectType, int id, const char *procedureName) const;

    bool recording() const { return m_history && m_editDepth > 0 && m_quiet == 0; }
    void record(DatabaseChange &&change);
    // Every change of a record; outside a step the history can no longer
    // take back what came before.
    void changed();
    void setNodeSettings(const QString &objectType, int id, const GlobalSettingsPtr &copy);
    void applyWaves(const WaveList &waves, const QList<DatabaseChange::Member> &members, bool after);
    void apply(const DatabaseChange &change, bool forward);
    // Copies of what a change of the wave list will touch.
    DatabaseChange wavesChange() const;
    void recordWaves(DatabaseChange &&change);

    EditHistory *m_history = nullptr;
    int m_editDepth = 0;
    // The user lists handed out during the step, as they were then; not
    // those of computers the step added, whose lists go with their records.
    mutable QHash<int, UserProfiles> m_listsBefore;
    int m_firstNewComputer = 0;
    QString m_editText;
    std::vector<DatabaseChange> m_changes;
    // Above 0 while a change is made as part of another (a computer's
    // settings as it is removed) or by Revert and Replay.
    int m_quiet = 0;

    std::vector<std::unique_ptr<ComputerRecord>> m_computers;
    WaveList m_waves;
    int m_computerCount = 0;
    int m_computerCapacity = 0;

    std::vector<std::unique_ptr<FolderRecord>> m_folders;
    std::vector<std::unique_ptr<StackInt>> m_subFolders;
    std::vector<std::unique_ptr<StackInt>> m_folderComputers;
    int m_folderCount = 0;
    int m_folderCapacity = 0;

    StackInt m_rootFolders;
    StackInt m_rootComputers;
    std::vector<StackInt> m_nameIndex;
    // qHash of each computer's case-folded name, by ID: a quick first test
    // before the records are compared.
    std::vector<size_t> m_nameKeys;

    std::vector<GlobalSettingsPtr> m_settingsTable;
    int m_settingsCount = 0;
    int m_settingsCapacity = 0;

    bool m_linked = false;
    TreeDisplay *m_tree = nullptr;
    int m_computerIcon = DefaultComputerIcon;
    int m_folderIcon = DefaultFolderIcon;
    // Kept only while a tree is linked.
    SiblingOrder m_siblingOrder;
};
