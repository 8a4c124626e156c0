#include "database/ComputerDB.h"

#include "common/AppState.h"
#include "common/TreeImage.h"
#include "common/modErrorHandler.h"
#include "common/modText.h"
#include "database/EditHistory.h"
#include "database/ProgressSink.h"
#include "database/modHash.h"
#include "database/modSort.h"

#include <algorithm>

using modErrorHandler::Guard;
using modErrorHandler::Raise;

namespace {

const QString kGlobal = QStringLiteral("G");
const QString kFolder = QStringLiteral("F");
const QString kComputer = QStringLiteral("C");

// Tree-control error numbers, so that a failure report reads as it would for
// the real control.
constexpr int ElementNotFound = 35601;
constexpr int KeyNotUnique = 35602;

constexpr int ComputerImage = TreeImage::Computer;
constexpr int ComputerCustomImage = TreeImage::ComputerCustom;
constexpr int FolderImage = TreeImage::Folder;
constexpr int FolderExpandedImage = TreeImage::FolderOpen;
constexpr int CustomImage = TreeImage::FolderCustom;
constexpr int CustomExpandedImage = TreeImage::FolderCustomOpen;
constexpr int CustomBelowImage = TreeImage::FolderCustomBelow;
constexpr int CustomBelowExpandedImage = TreeImage::FolderCustomBelowOpen;

// Blanks only: a tab in a folder name is the administrator's business.
QString trimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString parentNodeKey(int folderID)
{
    return folderID < 0 ? modGeneral::RootKey : modGeneral::FolderKey(folderID);
}

QString nodeKey(SiblingOrder::Kind kind, int id)
{
    return kind == SiblingOrder::Folders ? modGeneral::FolderKey(id) : modGeneral::ComputerKey(id);
}

} // namespace

ComputerDB::ComputerDB()
{
    m_nameIndex.resize(NameIndexBuckets + 1);
    Clear();
}

ComputerDB::~ComputerDB() = default;

// --- Slots and lists ------------------------------------------------------------

ComputerRecord &ComputerDB::computerSlot(int id)
{
    if (id < 0 || static_cast<size_t>(id) >= m_computers.size())
        Raise(9);
    std::unique_ptr<ComputerRecord> &slot = m_computers[static_cast<size_t>(id)];
    if (!slot)
        slot = std::make_unique<ComputerRecord>();
    return *slot;
}

FolderRecord &ComputerDB::folderSlot(int id)
{
    if (id < 0 || static_cast<size_t>(id) >= m_folders.size())
        Raise(9);
    std::unique_ptr<FolderRecord> &slot = m_folders[static_cast<size_t>(id)];
    if (!slot)
        slot = std::make_unique<FolderRecord>();
    return *slot;
}

bool ComputerDB::isActiveComputer(int id) const
{
    const ComputerRecord *record = Computers(id);
    return record && record->Active;
}

bool ComputerDB::isActiveFolder(int id) const
{
    const FolderRecord *record = Folders(id);
    return record && record->Active;
}

void ComputerDB::requireFolderOrRoot(int folderID) const
{
    if (folderID == -1)
        return;
    if (folderID < 0 || folderID >= m_folderCount)
        Raise(9);
    // A computer or folder filed under a removed folder would be in a list
    // that no tree node and no walk ever reaches again.
    if (!isActiveFolder(folderID))
        Raise(5);
}

void ComputerDB::growComputers()
{
    m_computerCapacity += GrowthStep;
    m_computers.resize(static_cast<size_t>(m_computerCapacity) + 1);
}

void ComputerDB::growFolders()
{
    m_folderCapacity += GrowthStep;
    const size_t size = static_cast<size_t>(m_folderCapacity) + 1;
    m_folders.resize(size);
    m_subFolders.resize(size);
    m_folderComputers.resize(size);
}

StackInt &ComputerDB::folderListFor(int parentID)
{
    if (parentID == -1)
        return m_rootFolders;
    if (parentID < 0 || static_cast<size_t>(parentID) >= m_subFolders.size())
        Raise(9);
    std::unique_ptr<StackInt> &list = m_subFolders[static_cast<size_t>(parentID)];
    if (!list)
        list = std::make_unique<StackInt>();
    return *list;
}

StackInt &ComputerDB::computerListFor(int folderID)
{
    if (folderID == -1)
        return m_rootComputers;
    if (folderID < 0 || static_cast<size_t>(folderID) >= m_folderComputers.size())
        Raise(9);
    std::unique_ptr<StackInt> &list = m_folderComputers[static_cast<size_t>(folderID)];
    if (!list)
        list = std::make_unique<StackInt>();
    return *list;
}

const ComputerRecord *ComputerDB::Computers(int id) const
{
    if (id < 0 || id >= m_computerCount || static_cast<size_t>(id) >= m_computers.size())
        return nullptr;
    return m_computers[static_cast<size_t>(id)].get();
}

const FolderRecord *ComputerDB::Folders(int id) const
{
    if (id < 0 || id >= m_folderCount || static_cast<size_t>(id) >= m_folders.size())
        return nullptr;
    return m_folders[static_cast<size_t>(id)].get();
}

const StackInt *ComputerDB::SubFolders(int folderID) const
{
    if (folderID < 0 || static_cast<size_t>(folderID) >= m_subFolders.size())
        return nullptr;
    return m_subFolders[static_cast<size_t>(folderID)].get();
}

const StackInt *ComputerDB::FolderComputers(int folderID) const
{
    if (folderID < 0 || static_cast<size_t>(folderID) >= m_folderComputers.size())
        return nullptr;
    return m_folderComputers[static_cast<size_t>(folderID)].get();
}

const StackInt &ComputerDB::NameIndex(int bucket) const
{
    static const StackInt none;
    if (bucket < 0 || static_cast<size_t>(bucket) >= m_nameIndex.size())
        return none;
    return m_nameIndex[static_cast<size_t>(bucket)];
}

int ComputerDB::NameBucket(const QString &name)
{
    // Case folding rather than plain lower case: names that SameText calls
    // equal (the micro sign and the Greek mu, say) must share a bucket, or
    // FindComputer would miss them.
    return bucketOfFolded(name.toCaseFolded());
}

int ComputerDB::bucketOfFolded(const QString &folded)
{
    return static_cast<int>(modHash::HashName(folded) % NameIndexBuckets);
}

void ComputerDB::AddNameIndex(const QString &name, int id)
{
    const QString folded = name.toCaseFolded();
    // Never there yet: the ID is new, or its old name was taken out first.
    m_nameIndex[static_cast<size_t>(bucketOfFolded(folded))].Push(id);
    if (static_cast<size_t>(id) >= m_nameKeys.size())
        m_nameKeys.resize(static_cast<size_t>(id) + 1, 0);
    m_nameKeys[static_cast<size_t>(id)] = qHash(folded);
}

void ComputerDB::RemoveNameIndex(const QString &name, int id)
{
    StackInt &bucket = m_nameIndex[static_cast<size_t>(NameBucket(name))];
    const int index = bucket.IndexOf(id);
    if (index >= 0)
        bucket.RemoveItem(index);
}

void ComputerDB::AttachComputer(int id, int folderID)
{
    ComputerRecord &record = computerSlot(id);
    computerListFor(folderID).Push(id);
    record.FolderID = folderID;
    if (m_linked)
        m_siblingOrder.append(SiblingOrder::Computers, folderID, id, record.Name);
}

void ComputerDB::DetachComputer(int id)
{
    ComputerRecord &record = computerSlot(id);
    StackInt &list = computerListFor(record.FolderID);
    const int index = list.IndexOf(id);
    if (index >= 0)
        list.RemoveItem(index);
    if (m_linked)
        m_siblingOrder.remove(SiblingOrder::Computers, record.FolderID, id, record.Name);
    record.FolderID = -1;
}

void ComputerDB::AttachFolder(int id, int parentID)
{
    FolderRecord &record = folderSlot(id);
    folderListFor(parentID).PushUnique(id);
    record.ParentID = parentID;
    if (m_linked)
        m_siblingOrder.append(SiblingOrder::Folders, parentID, id, record.Name);
}

void ComputerDB::DetachFolder(int id)
{
    FolderRecord &record = folderSlot(id);
    StackInt &list = folderListFor(record.ParentID);
    for (int index = list.IndexOf(id); index >= 0; index = list.IndexOf(id))
        list.RemoveItem(index);
    if (m_linked)
        m_siblingOrder.remove(SiblingOrder::Folders, record.ParentID, id, record.Name);
    record.ParentID = -1;
}

// --- Computers --------------------------------------------------------------------

int ComputerDB::AddComputer(const QString &name, const QString &dnsName, int folderID, int customSettings)
{
    int result = -1;
    Guard("ComputerDB.AddComputer", [&] {
        requireFolderOrRoot(folderID);
        if (m_computerCount >= m_computerCapacity)
            growComputers();
        const int id = m_computerCount;
        ++m_computerCount;
        // The computer exists from here on, whatever the tree makes of it.
        result = id;

        ComputerRecord &record = computerSlot(id);
        record.Active = true;
        record.DNSName = dnsName;
        record.Name = name;
        record.CustomSettings = customSettings;
        AddNameIndex(name, id);
        AttachComputer(id, folderID);
        if (m_linked)
            AddNode(kComputer, id, folderID);
        if (recording()) {
            DatabaseChange change;
            change.kind = DatabaseChange::Kind::AddComputer;
            change.id = id;
            change.name = name;
            change.dnsName = dnsName;
            change.parentAfter = folderID;
            this->record(std::move(change));
        }
        changed();
    });
    return result;
}

int ComputerDB::AddComputerRec(const ComputerRecord &record)
{
    return AddComputer(record.Name, record.DNSName, record.FolderID, record.CustomSettings);
}

int ComputerDB::AddComputerRecOU(const ComputerRecord &record)
{
    int result = -1;
    Guard("ComputerDB.AddComputerRecOU", [&] {
        const int folderID = AddPath(record.OU);
        result = AddComputer(record.Name, record.DNSName, folderID, -1);
    });
    return result;
}

void ComputerDB::RemoveComputer(int id)
{
    Guard("ComputerDB.RemoveComputer", [&] {
        if (!isActiveComputer(id))
            return;
        ComputerRecord &record = computerSlot(id);
        if (recording()) {
            DatabaseChange change;
            change.kind = DatabaseChange::Kind::RemoveComputer;
            change.id = id;
            change.name = record.Name;
            change.dnsName = record.DNSName;
            change.parentBefore = record.FolderID;
            if (const GlobalSettingsPtr own = GetSettings(kComputer, id))
                change.settingsBefore = own->Clone();
            this->record(std::move(change));
        }
        RemoveNameIndex(record.Name, id);
        DetachComputer(id);
        record.Active = false;
        record.Name.clear();
        record.DNSName.clear();
        record.FolderID = -1;
        ++m_quiet;
        RemoveSettings(id, kComputer);
        --m_quiet;
        if (m_linked)
            m_tree->removeNode(modGeneral::ComputerKey(id));
        changed();
    });
}

void ComputerDB::MoveComputer(int id, int newFolderID)
{
    Guard("ComputerDB.MoveComputer", [&] {
        if (!isActiveComputer(id))
            return;
        requireFolderOrRoot(newFolderID);
        const QString key = modGeneral::ComputerKey(id);
        const QString oldParentKey = m_linked && m_tree->contains(key) ? m_tree->parentKey(key) : QString();
        if (recording() && computerSlot(id).FolderID != newFolderID) {
            DatabaseChange change;
            change.kind = DatabaseChange::Kind::MoveComputer;
            change.id = id;
            change.parentBefore = computerSlot(id).FolderID;
            change.parentAfter = newFolderID;
            this->record(std::move(change));
        }
        DetachComputer(id);
        AttachComputer(id, newFolderID);
        if (m_linked) {
            RemoveNode(kComputer, id);
            AddNode(kComputer, id, newFolderID);
            // A new node has the plain image: a computer with its own
            // settings keeps its mark, and both groups show what they hold now.
            InheritSetColors(key);
            if (!oldParentKey.isEmpty())
                InheritSetColors(oldParentKey);
        }
        changed();
    });
}

bool ComputerDB::RenameComputer(int id, const QString &newName)
{
    bool renamed = false;
    Guard("ComputerDB.RenameComputer", [&] {
        const int other = FindComputer(newName);
        if (id < 0 || !isActiveComputer(id) || (other != -1 && other != id))
            return;
        ComputerRecord &record = computerSlot(id);
        if (recording() && record.Name != newName) {
            DatabaseChange change;
            change.kind = DatabaseChange::Kind::RenameComputer;
            change.id = id;
            change.before = record.Name;
            change.after = newName;
            this->record(std::move(change));
        }
        RemoveNameIndex(record.Name, id);
        if (m_linked)
            m_siblingOrder.rename(SiblingOrder::Computers, record.FolderID, id, record.Name, newName);
        record.Name = newName;
        AddNameIndex(newName, id);
        changed();
        renamed = true;
    });
    return renamed;
}

int ComputerDB::GetComputerCount() const
{
    int count = 0;
    for (int id = 0; id < m_computerCount; ++id) {
        if (isActiveComputer(id))
            ++count;
    }
    return count;
}

int ComputerDB::GetFolderCount() const
{
    int count = 0;
    for (int id = 0; id < m_folderCount; ++id) {
        if (isActiveFolder(id))
            ++count;
    }
    return count;
}

QString ComputerDB::GetComputerName(int id) const
{
    return isActiveComputer(id) ? Computers(id)->Name : QString();
}

UserProfilesPtr ComputerDB::GetComputerUserList(int id) const
{
    if (!isActiveComputer(id))
        return {};
    const UserProfilesPtr &list = Computers(id)->UserList;
    if (recording() && id < m_firstNewComputer && list && !m_listsBefore.contains(id))
        m_listsBefore.insert(id, *list);
    return list;
}

void ComputerDB::SetComputerUserList(int id, const UserProfilesPtr &list)
{
    Guard("ComputerDB.SetComputerUserList", [&] {
        if (list && isActiveComputer(id))
            computerSlot(id).UserList = list;
    });
}

int ComputerDB::FindComputer(const QString &name) const
{
    int found = -1;
    Guard("ComputerDB.FindComputer", [&] {
        const QString folded = name.toCaseFolded();
        const size_t key = qHash(folded);
        const StackInt &bucket = m_nameIndex[static_cast<size_t>(bucketOfFolded(folded))];
        for (int i = 0; i < bucket.Count(); ++i) {
            const int id = bucket.Peek(i);
            // The index hash leaves long buckets for names that differ only
            // in their digits; a key of the folded name, kept in one compact
            // array, settles most entries without touching their records.
            if (static_cast<size_t>(id) < m_nameKeys.size() && m_nameKeys[static_cast<size_t>(id)] != key)
                continue;
            const ComputerRecord *record = Computers(id);
            if (record && modText::SameText(record->Name, name)) {
                found = id;
                return;
            }
        }
    });
    return found;
}

// --- Folders ------------------------------------------------------------------------

int ComputerDB::AddPath(const QString &path)
{
    int result = -1;
    Guard("ComputerDB.AddPath", [&] {
        if (path.isEmpty())
            return;
        const qsizetype split = path.lastIndexOf(QLatin1Char('\\'));
        QString segment = path;
        int parentID = -1;
        if (split >= 0) {
            segment = path.mid(split + 1);
            // Every ancestor is found or created before its child.
            parentID = AddPath(path.left(split));
        }
        result = AddFolder(segment, parentID);
    });
    return result;
}

int ComputerDB::AddFolder(const QString &name, int parentID)
{
    QString trimmed = name;
    return AddFolder(trimmed, parentID);
}

int ComputerDB::AddFolder(QString &name, int parentID)
{
    int result = -1;
    Guard("ComputerDB.AddFolder", [&] {
        name = trimBlanks(name);
        requireFolderOrRoot(parentID);

        StackInt &siblings = folderListFor(parentID);
        for (int i = 0; i < siblings.Count(); ++i) {
            const int sibling = siblings.Peek(i);
            const FolderRecord *record = Folders(sibling);
            if (record && modText::SameText(record->Name, name)) {
                result = sibling;
                changed();
                return;
            }
        }

        if (m_folderCount >= m_folderCapacity)
            growFolders();
        const int id = m_folderCount;
        FolderRecord &record = folderSlot(id);
        record.Name = name;
        record.ParentID = parentID;
        record.Active = true;
        record.CustomSettings = -1;
        ++m_folderCount;
        result = id;
        AttachFolder(id, parentID);
        if (m_linked)
            AddNode(kFolder, id, parentID);
        if (recording()) {
            DatabaseChange change;
            change.kind = DatabaseChange::Kind::AddFolder;
            change.id = id;
            change.name = name;
            change.parentAfter = parentID;
            this->record(std::move(change));
        }
        changed();
    });
    return result;
}

void ComputerDB::RemoveFolder(int id)
{
    // No guard here: the two loop limits are for the caller to report, and
    // everything this calls guards itself.
    if (id < 0 || id >= m_folderCount || !isActiveFolder(id))
        return;

    // Deepest first, with a stack of the folders on the way down rather than
    // recursion: groups may nest deeper than the stack. A sound tree is never
    // deeper than it has folders; a deeper stack means a folder in its own list.
    struct Level
    {
        int id;
        int counter;
    };
    std::vector<Level> levels {{id, 0}};
    while (!levels.empty()) {
        const int current = levels.back().id;
        const int counter = levels.back().counter;
        const StackInt *subFolders = SubFolders(current);
        const bool empty = !subFolders || subFolders->Count() == 0;
        if (!empty || counter >= RemoveLoopLimit) {
            if (counter >= RemoveLoopLimit || levels.size() > static_cast<size_t>(m_folderCount))
                Raise(1, QStringLiteral("Infinite loop detected while removing subfolders. Remove failed."));
            ++levels.back().counter;
            if (const int child = subFolders->Peek(0); isActiveFolder(child))
                levels.push_back({child, 0});
            continue;
        }
        levels.pop_back();

        int computerCounter = 0;
        for (;;) {
            const StackInt *computers = FolderComputers(current);
            const bool noComputers = !computers || computers->Count() == 0;
            if (noComputers && computerCounter < RemoveLoopLimit)
                break;
            if (computerCounter >= RemoveLoopLimit)
                Raise(1, QStringLiteral("Infinite loop detected while removing computers. Remove failed."));
            RemoveComputer(computers->Peek(0));
            ++computerCounter;
        }

        FolderRecord &record = folderSlot(current);
        if (recording()) {
            DatabaseChange change;
            change.kind = DatabaseChange::Kind::RemoveFolder;
            change.id = current;
            change.name = record.Name;
            change.parentBefore = record.ParentID;
            if (const GlobalSettingsPtr own = GetSettings(kFolder, current))
                change.settingsBefore = own->Clone();
            this->record(std::move(change));
        }
        DetachFolder(current);
        record.Active = false;
        record.Name.clear();
        record.ParentID = -1;
        ++m_quiet;
        RemoveSettings(current, kFolder);
        --m_quiet;
        if (m_linked)
            m_tree->removeNode(modGeneral::FolderKey(current));
        changed();
    }
}

int ComputerDB::FindFolder(const QString &name, int parentID) const
{
    int found = -1;
    Guard("ComputerDB.FindFolder", [&] {
        const StackInt *siblings = parentID == -1 ? &m_rootFolders : SubFolders(parentID);
        if (!siblings)
            return;
        for (int i = 0; i < siblings->Count(); ++i) {
            const int sibling = siblings->Peek(i);
            const FolderRecord *record = Folders(sibling);
            if (record && modText::SameText(record->Name, name)) {
                found = sibling;
                return;
            }
        }
    });
    return found;
}

void ComputerDB::MoveFolder(int id, int newParentID)
{
    Guard("ComputerDB.MoveFolder", [&] {
        if (newParentID < -1 || id < 0 || !isActiveFolder(id))
            return;
        requireFolderOrRoot(newParentID);
        if (newParentID == id)
            return;
        // Not into its own subtree. The step limit only guards against a
        // damaged parent chain; a sound one ends at -1 long before.
        int steps = 0;
        for (int up = newParentID; up != -1 && steps <= m_folderCount; ++steps) {
            if (up == id)
                return;
            const FolderRecord *ancestor = Folders(up);
            up = ancestor ? ancestor->ParentID : -1;
        }
        const int oldParentID = folderSlot(id).ParentID;
        if (oldParentID == newParentID)
            return;
        if (recording()) {
            DatabaseChange change;
            change.kind = DatabaseChange::Kind::MoveFolder;
            change.id = id;
            change.parentBefore = oldParentID;
            change.parentAfter = newParentID;
            this->record(std::move(change));
        }

        DetachFolder(id);
        AttachFolder(id, newParentID);
        if (m_linked) {
            // The display keeps the order AddNode gives: the node goes where
            // a new folder of its name would.
            QString relativeKey;
            TreeDisplay::Relation relation = TreeDisplay::Relation::LastChild;
            NodePlacement(SiblingOrder::Folders, id, newParentID, relativeKey, relation);
            m_tree->moveNode(modGeneral::FolderKey(id), relativeKey, relation);
            InheritSetColors(parentNodeKey(oldParentID));
            InheritSetColors(parentNodeKey(newParentID));
        }
        changed();
    });
}

bool ComputerDB::RenameFolder(int id, const QString &newName)
{
    bool renamed = false;
    Guard("ComputerDB.RenameFolder", [&] {
        if (newName.isEmpty() || id < 0 || !isActiveFolder(id))
            return;
        FolderRecord &record = folderSlot(id);
        const int other = FindFolder(newName, record.ParentID);
        if (other != -1 && other != id)
            return;
        if (recording() && record.Name != newName) {
            DatabaseChange change;
            change.kind = DatabaseChange::Kind::RenameFolder;
            change.id = id;
            change.before = record.Name;
            change.after = newName;
            this->record(std::move(change));
        }
        if (m_linked)
            m_siblingOrder.rename(SiblingOrder::Folders, record.ParentID, id, record.Name, newName);
        record.Name = newName;
        changed();
        renamed = true;
    });
    return renamed;
}

QString ComputerDB::GetFolderName(int id) const
{
    return isActiveFolder(id) ? Folders(id)->Name : QString();
}

void ComputerDB::GetObjectParent(const QString &type, int id, int &parentID, QString &parentType) const
{
    parentID = -1;
    parentType.clear();
    if (type == kComputer) {
        if (const ComputerRecord *record = Computers(id)) {
            parentID = record->FolderID;
            parentType = parentID == -1 ? kGlobal : kFolder;
        }
    } else if (type == kFolder) {
        if (const FolderRecord *record = Folders(id)) {
            parentID = record->ParentID;
            parentType = parentID < 0 ? kGlobal : kFolder;
        }
    }
}

void ComputerDB::Clear()
{
    if (m_history && m_quiet == 0)
        m_history->unrecorded();
    Guard("ComputerDB.Clear", [&] {
        m_computerCount = 0;
        m_folderCount = 0;

        m_computers.clear();
        m_waves.clear();
        m_nameKeys.clear();
        for (int bucket = 0; bucket < NameIndexBuckets; ++bucket)
            m_nameIndex[static_cast<size_t>(bucket)].Clear();
        m_rootFolders.Clear();
        m_rootComputers.Clear();

        m_folders.clear();
        m_subFolders.clear();
        m_folderComputers.clear();

        m_computerCapacity = 0;
        m_folderCapacity = 0;
        UnlinkTreeView();
        m_computers.resize(1);
        m_folders.resize(1);
        m_subFolders.resize(1);
        m_folderComputers.resize(1);

        ResetSettingsTable();
    });
}

int ComputerDB::AddFolderRecord(const QString &name, int parentID, int customSettings)
{
    int result = -1;
    Guard("ComputerDB.AddFolderRecord", [&] {
        if (m_folderCount >= m_folderCapacity)
            growFolders();
        const int id = m_folderCount;
        FolderRecord &record = folderSlot(id);
        record.Active = true;
        record.Name = name;
        record.ParentID = parentID;
        record.CustomSettings = customSettings;
        ++m_folderCount;
        result = id;
        changed();
    });
    return result;
}

int ComputerDB::AddRemovedComputerRecord()
{
    int result = -1;
    Guard("ComputerDB.AddRemovedComputerRecord", [&] {
        if (m_computerCount >= m_computerCapacity)
            growComputers();
        result = m_computerCount++;
        computerSlot(result).Active = false;
    });
    return result;
}

void ComputerDB::RebuildFolderLists()
{
    Guard("ComputerDB.RebuildFolderLists", [&] {
        // A saved file is outside our control: a parent that does not exist
        // would leave the folder unreachable, and a parent chain that comes
        // back to itself would make every walk endless.
        for (int id = 0; id < m_folderCount; ++id) {
            FolderRecord &record = folderSlot(id);
            if (record.Active && record.ParentID != -1 && !isActiveFolder(record.ParentID))
                record.ParentID = -1;
        }
        // Each folder is walked once: a walk stops where an earlier one
        // reached the root, so a deep chain costs its length, not its square.
        // A loop is opened at its lowest ID, which then goes under the root.
        enum : char { Unknown, OnWalk, ReachesRoot };
        std::vector<char> state(static_cast<size_t>(m_folderCount), Unknown);
        std::vector<int> walk;
        for (int id = 0; id < m_folderCount; ++id) {
            if (!isActiveFolder(id))
                continue;
            walk.clear();
            int up = id;
            while (up != -1 && state[static_cast<size_t>(up)] == Unknown) {
                state[static_cast<size_t>(up)] = OnWalk;
                walk.push_back(up);
                up = folderSlot(up).ParentID;
            }
            if (up != -1 && state[static_cast<size_t>(up)] == OnWalk) {
                int lowest = up;
                for (int member = folderSlot(up).ParentID; member != up; member = folderSlot(member).ParentID)
                    lowest = std::min(lowest, member);
                folderSlot(lowest).ParentID = -1;
            }
            for (const int member : walk)
                state[static_cast<size_t>(member)] = ReachesRoot;
        }
        // Every ID once, in ID order: a plain push keeps this linear.
        for (int id = 0; id < m_folderCount; ++id) {
            if (isActiveFolder(id))
                folderListFor(folderSlot(id).ParentID).Push(id);
        }
        m_siblingOrder.clear();
    });
}

void ComputerDB::SetComputerOU(int id, const QString &ou)
{
    Guard("ComputerDB.SetComputerOU", [&] {
        if (isActiveComputer(id))
            computerSlot(id).OU = ou;
    });
}

void ComputerDB::SetComputerDirectoryID(int id, const QString &directoryID)
{
    Guard("ComputerDB.SetComputerDirectoryID", [&] {
        if (isActiveComputer(id) && computerSlot(id).DirectoryID != directoryID) {
            computerSlot(id).DirectoryID = directoryID;
            changed();
        }
    });
}

// --- Waves ---------------------------------------------------------------------------

DatabaseChange ComputerDB::wavesChange() const
{
    DatabaseChange change;
    change.kind = DatabaseChange::Kind::Waves;
    if (recording())
        change.wavesBefore = std::make_shared<const WaveList>(m_waves);
    return change;
}

void ComputerDB::recordWaves(DatabaseChange &&change)
{
    if (!change.wavesBefore)
        return;
    change.wavesAfter = std::make_shared<const WaveList>(m_waves);
    record(std::move(change));
}

bool ComputerDB::AddWave(const WaveRecord &wave, int position)
{
    DatabaseChange change = wavesChange();
    if (!m_waves.add(wave, position))
        return false;
    recordWaves(std::move(change));
    changed();
    return true;
}

bool ComputerDB::ReplaceWave(int index, const WaveRecord &wave)
{
    if (index < 0 || index >= m_waves.size())
        return false;
    DatabaseChange change = wavesChange();
    const QString old = m_waves.at(index).Name;
    if (!m_waves.replace(index, wave))
        return false;
    if (old != wave.Name) {
        for (int id = 0; id < m_computerCount; ++id) {
            ComputerRecord &record = computerSlot(id);
            if (record.Wave == old) {
                change.members.append({id, old, wave.Name});
                record.Wave = wave.Name;
            }
        }
    }
    recordWaves(std::move(change));
    changed();
    return true;
}

void ComputerDB::RemoveWave(int index)
{
    if (index < 0 || index >= m_waves.size())
        return;
    DatabaseChange change = wavesChange();
    const QString name = m_waves.at(index).Name;
    m_waves.remove(index);
    // Removed computers too: undoing their removal must not bring back a wave that is gone.
    for (int id = 0; id < m_computerCount; ++id) {
        ComputerRecord &record = computerSlot(id);
        if (record.Wave == name) {
            change.members.append({id, name, QString()});
            record.Wave.clear();
        }
    }
    recordWaves(std::move(change));
    changed();
}

void ComputerDB::MoveWave(int from, int to)
{
    if (from == to || from < 0 || to < 0 || from >= m_waves.size() || to >= m_waves.size())
        return;
    DatabaseChange change = wavesChange();
    m_waves.move(from, to);
    recordWaves(std::move(change));
    changed();
}

bool ComputerDB::SetComputerWave(int id, const QString &wave)
{
    const QString name = wave.isEmpty() ? QString() : m_waves.canonicalName(wave);
    if (!isActiveComputer(id) || (!wave.isEmpty() && name.isEmpty()))
        return false;
    if (computerSlot(id).Wave != name) {
        if (recording()) {
            DatabaseChange change;
            change.kind = DatabaseChange::Kind::ComputerWave;
            change.id = id;
            change.before = computerSlot(id).Wave;
            change.after = name;
            record(std::move(change));
        }
        computerSlot(id).Wave = name;
        changed();
    }
    return true;
}

bool ComputerDB::SetComputerEnabled(int id, bool enabled)
{
    if (!isActiveComputer(id))
        return false;
    ComputerRecord &computer = computerSlot(id);
    if (computer.Enabled == enabled)
        return true;
    if (recording()) {
        DatabaseChange change;
        change.kind = DatabaseChange::Kind::ComputerEnabled;
        change.id = id;
        change.enabled = enabled;
        record(std::move(change));
    }
    computer.Enabled = enabled;
    if (m_linked && m_tree->contains(modGeneral::ComputerKey(id)))
        m_tree->setNodeDisabled(modGeneral::ComputerKey(id), !enabled);
    changed();
    return true;
}

// --- Settings table -----------------------------------------------------------------

void ComputerDB::ResetSettingsTable()
{
    m_settingsCapacity = GrowthStep;
    m_settingsTable.assign(static_cast<size_t>(m_settingsCapacity) + 1, GlobalSettingsPtr());
    GlobalSettingsPtr global = GlobalSettings::create();
    global->SetDefaults();
    global->ObjectType = kGlobal;
    global->AssociatedID = -1;
    m_settingsTable[0] = global;
    m_settingsCount = 1;
    AppState::Get().DatabaseChanged = false;
}

void ComputerDB::GrowSettingsTable()
{
    m_settingsCapacity += GrowthStep;
    m_settingsTable.resize(static_cast<size_t>(m_settingsCapacity) + 1);
}

GlobalSettingsPtr ComputerDB::SettingsTable(int slot) const
{
    if (slot < 0 || slot >= m_settingsCount || static_cast<size_t>(slot) >= m_settingsTable.size())
        return GlobalSettingsPtr();
    return m_settingsTable[static_cast<size_t>(slot)];
}

bool ComputerDB::AddSettings(const GlobalSettingsPtr &record, int id, const QString &objectType)
{
    bool attached = false;
    Guard("ComputerDB.AddSettings", [&] {
        if (id < 0)
            return;
        if (objectType == kGlobal) {
            if (!record)
                Raise(91);
            if (recording()) {
                DatabaseChange change;
                change.kind = DatabaseChange::Kind::Settings;
                change.objectType = kGlobal;
                change.id = 0;
                change.settingsBefore = m_settingsTable[0] ? m_settingsTable[0]->Clone() : GlobalSettingsPtr();
                change.settingsAfter = record->Clone();
                this->record(std::move(change));
            }
            record->AssociatedID = -1;
            record->ObjectType = kGlobal;
            m_settingsTable[0] = record;
            return;
        }
        if (objectType == kFolder || objectType == kComputer) {
            const bool folder = objectType == kFolder;
            if (folder ? !isActiveFolder(id) : !isActiveComputer(id))
                return;
            if (!record)
                Raise(91);
            if (recording()) {
                DatabaseChange change;
                change.kind = DatabaseChange::Kind::Settings;
                change.objectType = objectType;
                change.id = id;
                if (const GlobalSettingsPtr own = GetSettings(objectType, id))
                    change.settingsBefore = own->Clone();
                change.settingsAfter = record->Clone();
                change.settingsAfter->ObjectType = objectType;
                change.settingsAfter->AssociatedID = id;
                this->record(std::move(change));
            }
            record->ObjectType = objectType;
            record->AssociatedID = id;
            AddAssociatedSettings(record, false);
            attached = true;
            return;
        }
        modErrorHandler::ShowMessage(
            modErrorHandler::InternalError, QStringLiteral("Invalid type received."), QStringLiteral("ComputerDB.AddSettings"));
    });
    return attached;
}

void ComputerDB::AddAssociatedSettings(const GlobalSettingsPtr &record, bool fromFile)
{
    Guard("ComputerDB.AddAssociatedSettings", [&] {
        if (!record)
            Raise(91);
        if (m_settingsCount >= m_settingsCapacity - 1)
            GrowSettingsTable();
        if (record->AssociatedID == -1) {
            modErrorHandler::ShowMessage(modErrorHandler::InternalError, QStringLiteral("Invalid settings association in save file."),
                QStringLiteral("ComputerDB.AddAssociatedSettings"));
            return;
        }

        const int id = record->AssociatedID;
        int *link = nullptr;
        QString key;
        if (record->ObjectType == kComputer) {
            if (id < 0 || id >= m_computerCount)
                Raise(9);
            link = &computerSlot(id).CustomSettings;
            key = modGeneral::ComputerKey(id);
        } else if (record->ObjectType == kFolder) {
            if (id < 0 || id >= m_folderCount)
                Raise(9);
            link = &folderSlot(id).CustomSettings;
            key = modGeneral::FolderKey(id);
        } else {
            return;
        }

        // Slot 0 is the global record's and never a node's; a link beyond the
        // slots handed out (a stale value from a file) counts as none.
        int slot = *link;
        if (fromFile || slot < 1 || slot >= m_settingsCount) {
            slot = m_settingsCount;
            ++m_settingsCount;
        }
        m_settingsTable[static_cast<size_t>(slot)] = record;
        *link = slot;

        if (m_linked && m_tree->contains(key)) {
            if (record->ObjectType == kComputer)
                m_tree->setIcon(key, ComputerCustomImage);
            else
                SetNodeImages(key, CustomImage, CustomExpandedImage);
            MarkAncestorsCustomBelow(key);
        }
    });
}

GlobalSettingsPtr ComputerDB::GetSettings(const QString &objectType, int id) const
{
    GlobalSettingsPtr record;
    Guard("ComputerDB.GetSettings", [&] {
        const int slot = SettingsSlot(objectType, id, "ComputerDB.GetSettings");
        if (slot >= 0)
            record = m_settingsTable[static_cast<size_t>(slot)];
    });
    return record;
}

int ComputerDB::GetSettingsIndex(const QString &objectType, int id) const
{
    int slot = -1;
    Guard("ComputerDB.GetSettingsIndex", [&] { slot = SettingsSlot(objectType, id, "ComputerDB.GetSettingsIndex"); });
    return slot;
}

int ComputerDB::SettingsSlot(const QString &objectType, int id, const char *procedureName) const
{
    int link = -1;
    if (objectType == kComputer) {
        if (const ComputerRecord *record = Computers(id))
            link = record->CustomSettings;
    } else if (objectType == kFolder) {
        if (const FolderRecord *record = Folders(id))
            link = record->CustomSettings;
    } else if (objectType == kGlobal) {
        return 0;
    } else {
        modErrorHandler::ShowMessage(
            modErrorHandler::InternalError, QStringLiteral("Invalid associated type."), QString::fromLatin1(procedureName));
        return -1;
    }
    // Only 1 and up links a node; 0 is the global record's.
    return link >= 1 && link < m_settingsCount ? link : -1;
}

GlobalSettingsPtr ComputerDB::GetEffectiveSettings(const QString &objectType, int id, QString &sourceKey) const
{
    GlobalSettingsPtr effective;
    Guard("ComputerDB.GetEffectiveSettings", [&] {
        QString type = objectType;
        int current = id;
        // A sound tree reaches the root within its depth; the limit only
        // keeps a damaged parent chain from walking forever.
        for (int steps = 0; !type.isEmpty() && steps <= m_folderCount + 2; ++steps) {
            if (GlobalSettingsPtr found = GetSettings(type, current)) {
                sourceKey = type == kGlobal ? modGeneral::RootKey : type + QString::number(current);
                effective = found;
                return;
            }
            int parentID = -1;
            QString parentType;
            GetObjectParent(type, current, parentID, parentType);
            type = parentType;
            current = parentID;
        }
        modErrorHandler::ShowMessage(modErrorHandler::InternalError, QStringLiteral("Invalid permission structure."),
            QStringLiteral("ComputerDB.GetEffectiveSettings"));
    });
    return effective;
}

bool ComputerDB::RemoveSettings(int id, const QString &objectType)
{
    bool removed = false;
    Guard("ComputerDB.RemoveSettings", [&] {
        const int slot = GetSettingsIndex(objectType, id);
        if (slot >= 1 && slot < m_settingsCount) {
            const GlobalSettingsPtr &record = m_settingsTable[static_cast<size_t>(slot)];
            if (recording() && record) {
                DatabaseChange change;
                change.kind = DatabaseChange::Kind::Settings;
                change.objectType = objectType;
                change.id = id;
                change.settingsBefore = record->Clone();
                this->record(std::move(change));
            }
            if (record && record->Valid) {
                const int owner = record->AssociatedID;
                if (record->ObjectType == kComputer && Computers(owner))
                    computerSlot(owner).CustomSettings = -1;
                else if (record->ObjectType == kFolder && Folders(owner))
                    folderSlot(owner).CustomSettings = -1;
            }
            if (record)
                record->Valid = false;
            // The node asked about lets go of the slot even when the record
            // names another owner (a record whose owner fields were copied over).
            if (objectType == kComputer)
                computerSlot(id).CustomSettings = -1;
            else
                folderSlot(id).CustomSettings = -1;
            removed = true;
        }
        if (m_linked) {
            const QString key = objectType == kComputer ? modGeneral::ComputerKey(id)
                : objectType == kFolder                 ? modGeneral::FolderKey(id)
                                                        : QString();
            if (!key.isEmpty() && m_tree->contains(key))
                InheritSetColors(key);
        }
    });
    return removed;
}

void ComputerDB::RemoveAllSettings()
{
    if (m_history && m_quiet == 0)
        m_history->unrecorded();
    Guard("ComputerDB.RemoveAllSettings", [&] {
        m_settingsTable.clear();
        ResetSettingsTable();
        for (int id = 0; id < m_folderCount; ++id)
            folderSlot(id).CustomSettings = -1;
        for (int id = 0; id < m_computerCount; ++id)
            computerSlot(id).CustomSettings = -1;
    });
}

bool ComputerDB::RemoveNodeSettings(const QString &nodeKey)
{
    bool removed = false;
    Guard("ComputerDB.RemoveNodeSettings", [&] {
        const NodeInfo node = modGeneral::ParseNodeKey(nodeKey);
        if (!node.Valid)
            return;
        removed = RemoveSettings(node.ID, node.Type == NodeInfo::Computer ? kComputer : kFolder);
    });
    return removed;
}

void ComputerDB::OverwriteChildrenSettings(const QString &nodeKey, int depth)
{
    Guard("ComputerDB.OverwriteChildrenSettings", [&] {
        if (m_linked && m_tree->contains(nodeKey)) {
            // With a stack, not by recursion: groups may nest deeper than the stack.
            std::vector<QString> pending {nodeKey};
            while (!pending.empty()) {
                const QString key = std::move(pending.back());
                pending.pop_back();
                if (depth >= 1 || key != nodeKey)
                    RemoveNodeSettings(key);
                for (QString child = m_tree->firstChildKey(key); !child.isEmpty(); child = m_tree->nextSiblingKey(child))
                    pending.push_back(child);
            }
            return;
        }
        const NodeInfo node = modGeneral::ParseNodeKey(nodeKey);
        if (node.Valid)
            OverwriteDatabaseChildren(node, depth);
    });
}

// With a stack, not by recursion: groups may nest deeper than the stack.
void ComputerDB::OverwriteDatabaseChildren(const NodeInfo &node, int depth)
{
    if (node.Type == NodeInfo::Computer) {
        if (depth >= 1)
            RemoveSettings(node.ID, kComputer);
        return;
    }
    std::vector<int> pending {node.ID};
    while (!pending.empty()) {
        const int folderID = pending.back();
        pending.pop_back();
        if (folderID != node.ID || depth >= 1)
            RemoveSettings(folderID, kFolder);
        const StackInt *folders = folderID == -1 ? &m_rootFolders : SubFolders(folderID);
        for (int i = 0; folders && i < folders->Count(); ++i)
            pending.push_back(folders->Peek(i));
        const StackInt *computers = folderID == -1 ? &m_rootComputers : FolderComputers(folderID);
        for (int i = 0; computers && i < computers->Count(); ++i)
            RemoveSettings(computers->Peek(i), kComputer);
    }
}

// --- Edit history -------------------------------------------------------------------

void ComputerDB::BeginEdit(const QString &text)
{
    if (m_editDepth++ == 0) {
        m_editText = text;
        m_changes.clear();
        m_listsBefore.clear();
        m_firstNewComputer = m_computerCount;
    }
}

void ComputerDB::EndEdit()
{
    if (m_editDepth == 0 || --m_editDepth > 0)
        return;
    for (auto it = m_listsBefore.cbegin(); it != m_listsBefore.cend(); ++it) {
        const ComputerRecord *computer = Computers(it.key());
        if (!computer || !computer->UserList || *computer->UserList == it.value())
            continue;
        DatabaseChange change;
        change.kind = DatabaseChange::Kind::UserList;
        change.id = it.key();
        change.usersBefore = std::make_shared<const UserProfiles>(it.value());
        change.usersAfter = std::make_shared<const UserProfiles>(*computer->UserList);
        record(std::move(change));
    }
    m_listsBefore.clear();
    std::vector<DatabaseChange> changes;
    changes.swap(m_changes);
    if (m_history && !changes.empty())
        m_history->recorded(m_editText, std::move(changes));
}

void ComputerDB::record(DatabaseChange &&change)
{
    m_changes.push_back(std::move(change));
}

void ComputerDB::changed()
{
    AppState::Get().DatabaseChanged = true;
    if (m_history && m_editDepth == 0 && m_quiet == 0)
        m_history->unrecorded();
}

void ComputerDB::NoteSettingsEdited(const QString &objectType, int id, const GlobalSettingsPtr &before)
{
    const GlobalSettingsPtr own = GetSettings(objectType, id);
    if (!recording() || !own)
        return;
    DatabaseChange change;
    change.kind = DatabaseChange::Kind::Settings;
    change.objectType = objectType;
    change.id = id;
    change.settingsBefore = before ? before->Clone() : GlobalSettingsPtr();
    change.settingsAfter = own->Clone();
    record(std::move(change));
}

void ComputerDB::NoteUserListEdited(int id, const UserProfiles &before)
{
    const UserProfilesPtr list = GetComputerUserList(id);
    if (!recording() || !list || *list == before)
        return;
    // The copy made as the list was handed out now is the list as edited.
    m_listsBefore.remove(id);
    DatabaseChange change;
    change.kind = DatabaseChange::Kind::UserList;
    change.id = id;
    change.usersBefore = std::make_shared<const UserProfiles>(before);
    change.usersAfter = std::make_shared<const UserProfiles>(*list);
    record(std::move(change));
}

bool ComputerDB::ReactivateComputer(int id, const QString &name, const QString &dnsName, int folderID)
{
    bool done = false;
    Guard("ComputerDB.ReactivateComputer", [&] {
        if (id < 0 || id >= m_computerCount || isActiveComputer(id) || (folderID != -1 && !isActiveFolder(folderID))
            || FindComputer(name) != -1)
            return;
        ComputerRecord &record = computerSlot(id);
        record.Active = true;
        record.Name = name;
        record.DNSName = dnsName;
        record.CustomSettings = -1;
        AddNameIndex(name, id);
        AttachComputer(id, folderID);
        if (m_linked)
            AddNode(kComputer, id, folderID);
        changed();
        done = true;
    });
    return done;
}

bool ComputerDB::ReactivateFolder(int id, const QString &name, int parentID)
{
    bool done = false;
    Guard("ComputerDB.ReactivateFolder", [&] {
        if (id < 0 || id >= m_folderCount || isActiveFolder(id) || (parentID != -1 && !isActiveFolder(parentID))
            || name.isEmpty() || FindFolder(name, parentID) != -1)
            return;
        FolderRecord &record = folderSlot(id);
        record.Active = true;
        record.Name = name;
        record.ParentID = parentID;
        record.CustomSettings = -1;
        AttachFolder(id, parentID);
        if (m_linked)
            AddNode(kFolder, id, parentID);
        changed();
        done = true;
    });
    return done;
}

void ComputerDB::setNodeSettings(const QString &objectType, int id, const GlobalSettingsPtr &copy)
{
    if (!copy) {
        RemoveSettings(id, objectType);
        return;
    }
    // Edited where it stands: whoever shares the record sees it as it was.
    if (const GlobalSettingsPtr own = GetSettings(objectType, id)) {
        copy->CopySettings(*own);
        own->Valid = true;
        return;
    }
    const GlobalSettingsPtr record = copy->Clone();
    record->Valid = true;
    AddSettings(record, id, objectType);
}

void ComputerDB::applyWaves(const WaveList &waves, const QList<DatabaseChange::Member> &members, bool after)
{
    m_waves = waves;
    for (const DatabaseChange::Member &member : members) {
        if (member.id >= 0 && member.id < m_computerCount)
            computerSlot(member.id).Wave = after ? member.after : member.before;
    }
}

void ComputerDB::apply(const DatabaseChange &change, bool forward)
{
    using Kind = DatabaseChange::Kind;
    const bool adds = (change.kind == Kind::AddComputer || change.kind == Kind::AddFolder) == forward;
    switch (change.kind) {
    case Kind::AddComputer:
    case Kind::RemoveComputer:
        if (adds) {
            ReactivateComputer(change.id, change.name, change.dnsName,
                change.kind == Kind::AddComputer ? change.parentAfter : change.parentBefore);
            if (change.settingsBefore)
                setNodeSettings(kComputer, change.id, change.settingsBefore);
        } else {
            RemoveComputer(change.id);
        }
        break;
    case Kind::AddFolder:
    case Kind::RemoveFolder:
        if (adds) {
            ReactivateFolder(change.id, change.name, change.kind == Kind::AddFolder ? change.parentAfter : change.parentBefore);
            if (change.settingsBefore)
                setNodeSettings(kFolder, change.id, change.settingsBefore);
        } else {
            // Its groups and computers went before it, as they did the first time.
            RemoveFolder(change.id);
        }
        break;
    case Kind::RenameComputer:
    case Kind::RenameFolder: {
        const QString &name = forward ? change.after : change.before;
        const bool computer = change.kind == Kind::RenameComputer;
        const bool renamed = computer ? RenameComputer(change.id, name) : RenameFolder(change.id, name);
        const QString key = computer ? modGeneral::ComputerKey(change.id) : modGeneral::FolderKey(change.id);
        if (renamed && m_linked && m_tree->contains(key))
            m_tree->setText(key, name);
        break;
    }
    case Kind::MoveComputer:
        MoveComputer(change.id, forward ? change.parentAfter : change.parentBefore);
        break;
    case Kind::MoveFolder:
        MoveFolder(change.id, forward ? change.parentAfter : change.parentBefore);
        break;
    case Kind::Settings:
        setNodeSettings(change.objectType, change.id, forward ? change.settingsAfter : change.settingsBefore);
        break;
    case Kind::UserList: {
        const std::shared_ptr<const UserProfiles> &list = forward ? change.usersAfter : change.usersBefore;
        if (const UserProfilesPtr own = GetComputerUserList(change.id); own && list)
            *own = *list;
        break;
    }
    case Kind::ComputerWave:
        if (isActiveComputer(change.id))
            computerSlot(change.id).Wave = forward ? change.after : change.before;
        break;
    case Kind::ComputerEnabled:
        SetComputerEnabled(change.id, forward ? change.enabled : !change.enabled);
        break;
    case Kind::Waves:
        if (const std::shared_ptr<const WaveList> &waves = forward ? change.wavesAfter : change.wavesBefore)
            applyWaves(*waves, change.members, forward);
        break;
    }
}

void ComputerDB::Revert(const std::vector<DatabaseChange> &changes)
{
    ++m_quiet;
    for (auto change = changes.rbegin(); change != changes.rend(); ++change)
        apply(*change, false);
    --m_quiet;
    AppState::Get().DatabaseChanged = true;
}

void ComputerDB::Replay(const std::vector<DatabaseChange> &changes)
{
    ++m_quiet;
    for (const DatabaseChange &change : changes)
        apply(change, true);
    --m_quiet;
    AppState::Get().DatabaseChanged = true;
}

// --- Tree display -----------------------------------------------------------------

void ComputerDB::LinkTreeView(TreeDisplay *tree, int computerIcon, int folderIcon, ProgressSink *progress)
{
    Guard("ComputerDB.LinkTreeView", [&] {
        if (!tree)
            return;
        m_siblingOrder.clear();
        if (m_computerCount > 0 || m_folderCount >= 1)
            BuildTree(tree, computerIcon, folderIcon, progress);
        m_tree = tree;
        m_computerIcon = computerIcon;
        m_folderIcon = folderIcon;
        m_linked = true;
    });
}

void ComputerDB::UnlinkTreeView()
{
    m_tree = nullptr;
    m_linked = false;
    m_computerIcon = DefaultComputerIcon;
    m_folderIcon = DefaultFolderIcon;
    m_siblingOrder.clear();
}

void ComputerDB::ReloadTreeView()
{
    if (m_linked)
        BuildTree(m_tree, m_computerIcon, m_folderIcon, nullptr);
}

void ComputerDB::BuildTree(TreeDisplay *tree, int computerIcon, int folderIcon, ProgressSink *progress)
{
    Guard("ComputerDB.BuildTree", [&] {
        if (progress)
            progress->Start(0, m_folderCount, QStringLiteral("Importing"), QStringLiteral("Creating Folder Hierarchy..."));
        int foldersDone = 0;
        AddFolderNodes(tree, folderIcon, progress, m_folderCount / 20 + 1, foldersDone);

        if (progress)
            progress->Start(0, m_computerCount, QStringLiteral("Importing"), QStringLiteral("Adding Computers to Hierarchy..."));
        const int step = m_computerCount / 20 + 1;
        int computersDone = 0;
        // Names and IDs side by side, sorted by position: no row of texts per computer.
        std::vector<QString> names;
        std::vector<int> ids;
        const auto addComputers = [&](const StackInt &list, const QString &parentKey) {
            names.clear();
            ids.clear();
            for (int i = 0; i < list.Count(); ++i) {
                const int id = list.Peek(i);
                if (const ComputerRecord *record = Computers(id); record && record->Active) {
                    names.push_back(record->Name);
                    ids.push_back(id);
                }
            }
            for (const int at : modSort::SortedPositions(names)) {
                const QString key = modGeneral::ComputerKey(ids[static_cast<size_t>(at)]);
                if (!tree->addNode(parentKey, TreeDisplay::Relation::LastChild, key, names[static_cast<size_t>(at)], computerIcon))
                    Raise(tree->contains(key) ? KeyNotUnique : ElementNotFound);
                if (!computerSlot(ids[static_cast<size_t>(at)]).Enabled)
                    tree->setNodeDisabled(key, true);
                ++computersDone;
                if (progress && computersDone % step == 0)
                    progress->SetValue(computersDone);
            }
        };
        addComputers(m_rootComputers, modGeneral::RootKey);
        for (int folderID = 0; folderID < m_folderCount; ++folderID) {
            const StackInt *computers = FolderComputers(folderID);
            if (computers && computers->Count() > 0 && isActiveFolder(folderID))
                addComputers(*computers, modGeneral::FolderKey(folderID));
        }
    });
}

// Breadth first from a queue, not by recursion: a file may hold a chain of
// groups far deeper than the stack. Each parent's folders still go in sorted
// and before any folder below them, so the tree comes out the same.
void ComputerDB::AddFolderNodes(TreeDisplay *tree, int folderIcon, ProgressSink *progress, int step, int &done)
{
    std::vector<int> parents {-1};
    for (size_t next = 0; next < parents.size(); ++next) {
        const int parentID = parents[next];
        const StackInt *folders = parentID == -1 ? &m_rootFolders : SubFolders(parentID);
        if (!folders)
            continue;
        QList<QStringList> rows;
        rows.reserve(folders->Count());
        for (int i = 0; i < folders->Count(); ++i) {
            const int id = folders->Peek(i);
            if (const FolderRecord *record = Folders(id); record && record->Active)
                rows.append({record->Name, QString::number(id)});
        }
        const QString parentKey = parentNodeKey(parentID);
        for (const QStringList &row : modSort::MergeSortRows(rows, 2, 0)) {
            const int id = row.at(1).toInt();
            const QString key = modGeneral::FolderKey(id);
            if (!tree->addNode(parentKey, TreeDisplay::Relation::LastChild, key, row.at(0), folderIcon))
                Raise(tree->contains(key) ? KeyNotUnique : ElementNotFound);
            ++done;
            if (progress && done % step == 0)
                progress->SetValue(done);
            parents.push_back(id);
        }
    }
}

void ComputerDB::EnsureSiblingOrder(SiblingOrder::Kind kind, int parentID)
{
    if (m_siblingOrder.has(kind, parentID))
        return;
    const StackInt *list = kind == SiblingOrder::Folders ? (parentID == -1 ? &m_rootFolders : SubFolders(parentID))
                                                         : (parentID == -1 ? &m_rootComputers : FolderComputers(parentID));
    std::vector<std::pair<QString, int>> children;
    if (list) {
        children.reserve(static_cast<size_t>(list->Count()));
        for (int i = 0; i < list->Count(); ++i) {
            const int id = list->Peek(i);
            const QString name = kind == SiblingOrder::Folders ? GetFolderName(id) : GetComputerName(id);
            children.emplace_back(name, id);
        }
    }
    m_siblingOrder.build(kind, parentID, children);
}

// The placement rule: folders first, then computers, each by name without
// regard to case, a new node after the siblings of an equal name. The rule
// as first written sorted the siblings for every new node and probed every
// 20th of them; on a sorted list that finds the same first greater sibling a
// binary search finds, so the database keeps each parent's sorted siblings
// (SiblingOrder) and looks the place up. Names come from the records, not
// the node texts, so a node renamed in place without moving still counts
// under its new name, exactly as before.
void ComputerDB::NodePlacement(SiblingOrder::Kind kind, int id, int parentID, QString &relativeKey, TreeDisplay::Relation &relation)
{
    EnsureSiblingOrder(kind, parentID);
    const QString name = kind == SiblingOrder::Folders ? folderSlot(id).Name : computerSlot(id).Name;

    const int greater = m_siblingOrder.firstGreater(kind, parentID, name);
    if (greater >= 0) {
        relativeKey = nodeKey(kind, greater);
        relation = TreeDisplay::Relation::Previous;
        return;
    }
    const int last = m_siblingOrder.lastExcept(kind, parentID, id);
    if (last >= 0) {
        relativeKey = nodeKey(kind, last);
        relation = TreeDisplay::Relation::Next;
        return;
    }
    relativeKey = parentNodeKey(parentID);
    relation = kind == SiblingOrder::Folders ? TreeDisplay::Relation::FirstChild : TreeDisplay::Relation::LastChild;
}

void ComputerDB::AddNode(const QString &type, int id, int parentID)
{
    Guard("ComputerDB.AddNode", [&] {
        if (!m_linked)
            return;
        const bool folder = type == kFolder;
        const SiblingOrder::Kind kind = folder ? SiblingOrder::Folders : SiblingOrder::Computers;
        const QString key = nodeKey(kind, id);
        const QString text = folder ? folderSlot(id).Name : computerSlot(id).Name;
        if (m_tree->contains(key))
            Raise(KeyNotUnique, QStringLiteral("Key is not unique in collection"));

        QString relativeKey;
        TreeDisplay::Relation relation = TreeDisplay::Relation::LastChild;
        NodePlacement(kind, id, parentID, relativeKey, relation);
        if (!m_tree->addNode(relativeKey, relation, key, text, folder ? m_folderIcon : m_computerIcon))
            Raise(ElementNotFound, QStringLiteral("Element not found"));
        if (!folder && !computerSlot(id).Enabled)
            m_tree->setNodeDisabled(key, true);
    });
}

void ComputerDB::RemoveNode(const QString &type, int id)
{
    Guard("ComputerDB.RemoveNode", [&] {
        if (!m_linked)
            return;
        const QString key = type == kFolder ? modGeneral::FolderKey(id) : modGeneral::ComputerKey(id);
        if (!m_tree->contains(key))
            return;
        const bool ownSettings = GetSettings(type, id) != nullptr;
        const QString parentKey = m_tree->parentKey(key);
        m_tree->removeNode(key);
        if (!ownSettings && !parentKey.isEmpty())
            InheritSetColors(parentKey);
    });
}

void ComputerDB::SetNodeImages(const QString &key, int icon, int expandedIcon)
{
    m_tree->setIcon(key, icon);
    m_tree->setExpandedIcon(key, expandedIcon);
}

void ComputerDB::SetColorsForEdit()
{
    Guard("ComputerDB.SetColorsForEdit", [&] {
        if (!m_linked)
            return;
        std::vector<QString> pending;
        for (QString key = m_tree->firstChildKey(QString()); !key.isEmpty(); key = m_tree->nextSiblingKey(key))
            pending.push_back(key);
        while (!pending.empty()) {
            const QString key = pending.back();
            pending.pop_back();
            if (key.startsWith(QLatin1Char('C')))
                m_tree->setIcon(key, ComputerImage);
            else
                SetNodeImages(key, FolderImage, FolderExpandedImage);
            for (QString child = m_tree->firstChildKey(key); !child.isEmpty(); child = m_tree->nextSiblingKey(child))
                pending.push_back(child);
        }

        for (int slot = 0; slot < m_settingsCount; ++slot) {
            const GlobalSettingsPtr &record = m_settingsTable[static_cast<size_t>(slot)];
            if (!record || !record->Valid)
                continue;
            if (slot == 0 || record->ObjectType == kGlobal) {
                if (m_tree->contains(modGeneral::RootKey))
                    SetNodeImages(modGeneral::RootKey, CustomImage, CustomExpandedImage);
                continue;
            }
            const bool computer = record->ObjectType == kComputer;
            if (!computer && record->ObjectType != kFolder)
                continue;
            const QString key = computer ? modGeneral::ComputerKey(record->AssociatedID) : modGeneral::FolderKey(record->AssociatedID);
            if (!m_tree->contains(key))
                continue;
            if (computer)
                m_tree->setIcon(key, ComputerCustomImage);
            else
                SetNodeImages(key, CustomImage, CustomExpandedImage);
            MarkAncestorsCustomBelow(key);
        }
    });
}

bool ComputerDB::HasCustomSettings(const QString &nodeKey) const
{
    const NodeInfo node = modGeneral::ParseNodeKey(nodeKey);
    if (!node.Valid)
        return false;
    return GetSettings(node.Type == NodeInfo::Computer ? kComputer : kFolder, node.ID) != nullptr;
}

int ComputerDB::CountCustomBelow(const QString &nodeKey, bool stopAtFirst) const
{
    int count = 0;
    Guard("ComputerDB.CountCustomBelow", [&] { count = CountCustomIn(nodeKey, stopAtFirst); });
    return count;
}

int ComputerDB::CountCustomIn(const QString &nodeKey, bool stopAtFirst) const
{
    int count = 0;
    std::vector<QString> pending {nodeKey};
    while (!pending.empty()) {
        const QString key = std::move(pending.back());
        pending.pop_back();
        if (HasCustomSettings(key)) {
            ++count;
            if (stopAtFirst)
                break;
        }
        // Unlinked, there is no tree to walk below the node.
        if (!m_linked)
            break;
        for (QString child = m_tree->firstChildKey(key); !child.isEmpty(); child = m_tree->nextSiblingKey(child))
            pending.push_back(child);
    }
    return count;
}

void ComputerDB::MarkAncestorsCustomBelow(const QString &nodeKey)
{
    Guard("ComputerDB.MarkAncestorsCustomBelow", [&] {
        if (!m_linked)
            return;
        for (QString up = m_tree->parentKey(nodeKey); !up.isEmpty(); up = m_tree->parentKey(up)) {
            if (up == modGeneral::RootKey || HasCustomSettings(up))
                break;
            SetNodeImages(up, CustomBelowImage, CustomBelowExpandedImage);
        }
    });
}

void ComputerDB::InheritSetColors(const QString &nodeKey)
{
    Guard("ComputerDB.InheritSetColors", [&] {
        if (!m_linked || !m_tree->contains(nodeKey))
            return;
        QString current = nodeKey;
        if (nodeKey.startsWith(QLatin1Char('C'))) {
            m_tree->setIcon(nodeKey, HasCustomSettings(nodeKey) ? ComputerCustomImage : ComputerImage);
            current = m_tree->parentKey(nodeKey);
        }
        while (!current.isEmpty() && current != modGeneral::RootKey) {
            if (HasCustomSettings(current)) {
                SetNodeImages(current, CustomImage, CustomExpandedImage);
                return;
            }
            if (CountCustomIn(current, true) > 0) {
                SetNodeImages(current, CustomBelowImage, CustomBelowExpandedImage);
                MarkAncestorsCustomBelow(current);
                return;
            }
            SetNodeImages(current, FolderImage, FolderExpandedImage);
            current = m_tree->parentKey(current);
        }
    });
}
