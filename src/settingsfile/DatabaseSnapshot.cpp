#include "settingsfile/DatabaseSnapshot.h"

#include "common/AppState.h"
#include "database/ComputerDB.h"

#include <algorithm>

namespace {

const QString kGlobal = QStringLiteral("G");
const QString kFolder = QStringLiteral("F");
const QString kComputer = QStringLiteral("C");

} // namespace

DatabaseSnapshot DatabaseSnapshot::Capture(const ComputerDB &database)
{
    DatabaseSnapshot snapshot;
    snapshot.NextFolderID = database.FolderCount();
    snapshot.NextComputerID = database.ComputerCount();

    // Records by slot, so that the file lists them in the order they were
    // attached and a reload numbers them the same way again.
    QMap<int, GlobalSettings> records;
    auto takeSettings = [&](const QString &type, int id, int slot) {
        if (slot < 1)
            return;
        const GlobalSettingsPtr record = database.SettingsTable(slot);
        if (!record)
            return;
        GlobalSettings copy = *record;
        // The node's link decides whose record it is, whatever a dialog may
        // have copied into the record's own owner fields.
        copy.ObjectType = type;
        copy.AssociatedID = id;
        records.insert(slot, copy);
    };

    for (int id = 0; id < snapshot.NextFolderID; ++id) {
        const FolderRecord *folder = database.Folders(id);
        if (!folder || !folder->Active)
            continue;
        snapshot.Folders.append({id, folder->Name, folder->ParentID});
        takeSettings(kFolder, id, folder->CustomSettings);
    }
    snapshot.Waves = database.Waves().all();
    snapshot.Computers.reserve(snapshot.NextComputerID);
    for (int id = 0; id < snapshot.NextComputerID; ++id) {
        const ComputerRecord *computer = database.Computers(id);
        if (!computer || !computer->Active)
            continue;
        Computer item;
        item.ID = id;
        item.Name = computer->Name;
        item.DNSName = computer->DNSName;
        item.OU = computer->OU;
        item.FolderID = computer->FolderID;
        if (computer->UserList)
            item.Users = computer->UserList;
        item.Wave = computer->Wave;
        item.DirectoryID = computer->DirectoryID;
        item.Enabled = computer->Enabled;
        snapshot.Computers.append(std::move(item));
        takeSettings(kComputer, id, computer->CustomSettings);
    }

    GlobalSettings global = *database.GetSettings(kGlobal, -1);
    global.ObjectType = kGlobal;
    global.AssociatedID = -1;
    snapshot.Settings.append(global);
    for (const GlobalSettings &record : std::as_const(records))
        snapshot.Settings.append(record);
    return snapshot;
}

bool DatabaseSnapshot::NeedsWaves() const
{
    if (!Waves.isEmpty())
        return true;
    return std::any_of(
        Computers.cbegin(), Computers.cend(), [](const Computer &c) { return !c.Wave.isEmpty() || !c.DirectoryID.isEmpty() || !c.Enabled; });
}

void DatabaseSnapshot::Restore(ComputerDB &database) const
{
    database.Clear();

    // Every ID up to the next one gets its record, so the gaps that
    // removals left stay gaps; the filler records are removed again before
    // anything can see them.
    QList<int> fillers;
    qsizetype next = 0;
    for (int id = 0; id < NextFolderID; ++id) {
        if (next < Folders.size() && Folders[next].ID == id) {
            database.AddFolderRecord(Folders[next].Name, Folders[next].ParentID, -1);
            ++next;
        } else {
            database.AddFolderRecord(QString(), -1, -1);
            fillers.append(id);
        }
    }
    for (int id : std::as_const(fillers))
        database.RemoveFolder(id);
    database.RebuildFolderLists();

    for (const WaveRecord &wave : Waves)
        database.AddWave(wave);
    next = 0;
    for (int id = 0; id < NextComputerID; ++id) {
        if (next < Computers.size() && Computers[next].ID == id) {
            const Computer &computer = Computers[next++];
            database.AddComputer(computer.Name, computer.DNSName, computer.FolderID, -1);
            if (!computer.OU.isEmpty())
                database.SetComputerOU(id, computer.OU);
            database.SetComputerUserList(id, computer.Users);
            if (!computer.Wave.isEmpty())
                database.SetComputerWave(id, computer.Wave);
            if (!computer.DirectoryID.isEmpty())
                database.SetComputerDirectoryID(id, computer.DirectoryID);
            if (!computer.Enabled)
                database.SetComputerEnabled(id, false);
        } else {
            database.AddRemovedComputerRecord();
        }
    }

    for (qsizetype i = 0; i < Settings.size(); ++i) {
        GlobalSettingsPtr record = GlobalSettings::create();
        Settings[i].CopySettings(*record);
        if (i == 0)
            database.AddSettings(record, 0, kGlobal);
        else
            database.AddAssociatedSettings(record, true);
    }

    // What is in memory now is what the file holds.
    AppState::Get().DatabaseChanged = false;
}
