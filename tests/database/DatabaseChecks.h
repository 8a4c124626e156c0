#pragma once

#include "common/modText.h"
#include "database/ComputerDB.h"
#include "database/MemoryTreeDisplay.h"

#include <QHash>
#include <QStringList>
#include <QTemporaryDir>

// Checks shared by the database tests.
namespace DatabaseChecks {

// The error log goes to a folder of the test's own.
class TempLogFolder
{
public:
    TempLogFolder()
    {
        qunsetenv("TMP");
        qunsetenv("TEMP");
        qputenv("tmp", m_dir.path().toLocal8Bit());
        qputenv("temp", m_dir.path().toLocal8Bit());
    }

private:
    QTemporaryDir m_dir;
};

// A database shown in a memory tree, linked the way the main window links
// it (computer icon 24, folder icon 3). The tree outlives the database.
struct LinkedDB
{
    MemoryTreeDisplay tree;
    ComputerDB db;

    explicit LinkedDB(bool linkNow = true)
    {
        tree.resetWithRoot();
        if (linkNow)
            link();
    }
    void link(ProgressSink *progress = nullptr) { db.LinkTreeView(&tree, 24, 3, progress); }
};

// Every rule the database keeps between operations; an empty list when all hold.
inline QStringList invariantViolations(const ComputerDB &db)
{
    QStringList problems;
    // How often each ID stands in the lists of the root and the folders.
    QHash<int, int> computersSeen;
    QHash<int, int> foldersSeen;
    const auto count = [](const StackInt *list, QHash<int, int> &seen) {
        for (int i = 0; list && i < list->Count(); ++i)
            ++seen[list->Peek(i)];
    };
    count(&db.RootComputers(), computersSeen);
    count(&db.RootFolders(), foldersSeen);
    for (int f = 0; f < db.FolderCount(); ++f) {
        count(db.FolderComputers(f), computersSeen);
        count(db.SubFolders(f), foldersSeen);
    }
    const auto folderActive = [&db](int id) { return db.Folders(id) && db.Folders(id)->Active; };

    int active = 0;
    int indexed = 0;
    for (int b = 0; b < ComputerDB::NameIndexBuckets; ++b)
        indexed += db.NameIndex(b).Count();
    for (int id = 0; id < db.ComputerCount(); ++id) {
        const ComputerRecord *c = db.Computers(id);
        if (!c || !c->Active) {
            if (!c || computersSeen.value(id) != 0 || !c->Name.isEmpty() || c->FolderID != -1)
                problems << QStringLiteral("inactive computer %1 is not blank").arg(id);
            continue;
        }
        ++active;
        const StackInt *own = c->FolderID == -1 ? &db.RootComputers() : db.FolderComputers(c->FolderID);
        if (computersSeen.value(id) != 1 || !own || own->IndexOf(id) < 0 || (c->FolderID != -1 && !folderActive(c->FolderID)))
            problems << QStringLiteral("computer %1 is in %2 lists, not once in folder %3")
                            .arg(id)
                            .arg(computersSeen.value(id))
                            .arg(c->FolderID);
        const StackInt &bucket = db.NameIndex(ComputerDB::NameBucket(c->Name));
        int inBucket = 0;
        for (int i = 0; i < bucket.Count(); ++i)
            inBucket += bucket.Peek(i) == id ? 1 : 0;
        if (inBucket != 1)
            problems << QStringLiteral("computer %1 is %2 times in its name bucket").arg(id).arg(inBucket);
    }
    if (indexed != active || db.GetComputerCount() != active)
        problems << QStringLiteral("%1 computers, %2 in the name index, GetComputerCount %3")
                        .arg(active)
                        .arg(indexed)
                        .arg(db.GetComputerCount());

    for (int id = 0; id < db.FolderCount(); ++id) {
        const FolderRecord *f = db.Folders(id);
        if (!folderActive(id)) {
            if (foldersSeen.value(id) != 0 || (f && (!f->Name.isEmpty() || f->ParentID != -1)))
                problems << QStringLiteral("inactive folder %1 is not blank").arg(id);
            continue;
        }
        const StackInt *own = f->ParentID == -1 ? &db.RootFolders() : db.SubFolders(f->ParentID);
        if (foldersSeen.value(id) != 1 || !own || own->IndexOf(id) < 0)
            problems
                << QStringLiteral("folder %1 is in %2 lists, not once in folder %3").arg(id).arg(foldersSeen.value(id)).arg(f->ParentID);
        int up = f->ParentID;
        for (int steps = 0; up != -1 && steps <= db.FolderCount() && folderActive(up); ++steps)
            up = db.Folders(up)->ParentID;
        if (up != -1)
            problems << QStringLiteral("folder %1 does not reach the root").arg(id);
    }
    return problems;
}

// The linked tree shows exactly the active objects under their parents, with
// the records' names; with `checkOrder`, folders first, then computers, each
// by name without regard to case.
inline QStringList treeViolations(const ComputerDB &db, const TreeDisplay &tree, bool checkOrder = true)
{
    QStringList problems;
    int shown = 0;
    QStringList pending {modGeneral::RootKey};
    while (!pending.isEmpty()) {
        const QString key = pending.takeLast();
        bool computers = false;
        QString previous;
        for (const QString &child : tree.childKeys(key)) {
            const NodeInfo info = modGeneral::ParseNodeKey(child);
            const bool isComputer = info.Type == NodeInfo::Computer;
            const ComputerRecord *c = isComputer ? db.Computers(info.ID) : nullptr;
            const FolderRecord *f = isComputer ? nullptr : db.Folders(info.ID);
            const bool active = c ? c->Active : f && f->Active;
            const QString name = c ? c->Name : f ? f->Name : QString();
            if (!active || tree.text(child) != name || (c ? c->FolderID : f->ParentID) != modGeneral::ParseNodeKey(key).ID)
                problems << QStringLiteral("node %1 under %2 reads '%3', the record '%4'").arg(child, key, tree.text(child), name);
            if (checkOrder && (computers > isComputer || (computers == isComputer && modText::CompareText(previous, name) > 0)))
                problems << QStringLiteral("%1 '%2' out of order under %3").arg(child, name, key);
            computers = isComputer;
            previous = name;
            ++shown;
            pending.append(child);
        }
    }
    int active = db.GetComputerCount();
    for (int id = 0; id < db.FolderCount(); ++id)
        active += db.Folders(id) && db.Folders(id)->Active ? 1 : 0;
    if (shown != active)
        problems << QStringLiteral("the tree shows %1 objects, the database has %2").arg(shown).arg(active);
    return problems;
}

} // namespace DatabaseChecks
