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

inline void countList(const StackInt *list, QHash<int, int> &seen)
{
    for (int i = 0; list && i < list->Count(); ++i)
        ++seen[list->Peek(i)];
}

// Every rule the database keeps between operations; an empty list when all hold.
inline QStringList invariantViolations(const ComputerDB &db)
{
    QStringList problems;

    QHash<int, int> computersSeen;
    countList(&db.RootComputers(), computersSeen);
    for (int f = 0; f < db.FolderCount(); ++f)
        countList(db.FolderComputers(f), computersSeen);
    int active = 0;
    for (int id = 0; id < db.ComputerCount(); ++id) {
        const ComputerRecord *c = db.Computers(id);
        if (!c) {
            problems << QStringLiteral("computer %1 has no record").arg(id);
            continue;
        }
        if (!c->Active) {
            if (computersSeen.value(id) != 0 || !c->Name.isEmpty() || c->FolderID != -1)
                problems << QStringLiteral("inactive computer %1 is not blank").arg(id);
            continue;
        }
        ++active;
        if (computersSeen.value(id) != 1)
            problems << QStringLiteral("computer %1 is in %2 lists").arg(id).arg(computersSeen.value(id));
        const StackInt *own = c->FolderID == -1 ? &db.RootComputers() : db.FolderComputers(c->FolderID);
        if (!own || own->IndexOf(id) < 0)
            problems << QStringLiteral("computer %1 is not in the list of folder %2").arg(id).arg(c->FolderID);
        if (c->FolderID != -1 && !(db.Folders(c->FolderID) && db.Folders(c->FolderID)->Active))
            problems << QStringLiteral("computer %1 sits in a folder that is gone").arg(id);
        const StackInt &bucket = db.NameIndex(ComputerDB::NameBucket(c->Name));
        int inBucket = 0;
        for (int i = 0; i < bucket.Count(); ++i)
            inBucket += bucket.Peek(i) == id ? 1 : 0;
        if (inBucket != 1)
            problems << QStringLiteral("computer %1 is %2 times in its name bucket").arg(id).arg(inBucket);
    }
    int indexed = 0;
    for (int b = 0; b <= ComputerDB::NameIndexBuckets; ++b)
        indexed += db.NameIndex(b).Count();
    if (indexed != active)
        problems << QStringLiteral("name index holds %1 entries for %2 computers").arg(indexed).arg(active);
    if (db.GetComputerCount() != active)
        problems << QStringLiteral("GetComputerCount is %1, not %2").arg(db.GetComputerCount()).arg(active);

    QHash<int, int> foldersSeen;
    countList(&db.RootFolders(), foldersSeen);
    for (int f = 0; f < db.FolderCount(); ++f)
        countList(db.SubFolders(f), foldersSeen);
    for (int id = 0; id < db.FolderCount(); ++id) {
        const FolderRecord *f = db.Folders(id);
        if (!f || !f->Active) {
            if (foldersSeen.value(id) != 0 || (f && (!f->Name.isEmpty() || f->ParentID != -1)))
                problems << QStringLiteral("inactive folder %1 is not blank").arg(id);
            continue;
        }
        if (foldersSeen.value(id) != 1)
            problems << QStringLiteral("folder %1 is in %2 lists").arg(id).arg(foldersSeen.value(id));
        const StackInt *own = f->ParentID == -1 ? &db.RootFolders() : db.SubFolders(f->ParentID);
        if (!own || own->IndexOf(id) < 0)
            problems << QStringLiteral("folder %1 is not in its parent's list").arg(id);
        int up = f->ParentID;
        for (int steps = 0; up != -1; ++steps) {
            if (steps > db.FolderCount() || !db.Folders(up) || !db.Folders(up)->Active) {
                problems << QStringLiteral("folder %1 does not reach the root").arg(id);
                break;
            }
            up = db.Folders(up)->ParentID;
        }
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
