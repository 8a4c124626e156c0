#pragma once

#include "database/WaveRecord.h"
#include "settings/GlobalSettings.h"
#include "settings/MigrationUsers.h"
#include "settings/UserProfiles.h"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

class ComputerDB;

// The whole computer database as values: what a settings file holds,
// and the form a file is checked in before anything of it reaches the live
// database. Only active folders and computers are kept; the two next IDs
// keep the gaps that removals left, so IDs survive a save and a load.
struct DatabaseSnapshot
{
    struct Folder
    {
        int ID = -1;
        QString Name;
        int ParentID = -1;
    };

    struct Computer
    {
        int ID = -1;
        QString Name;
        QString DNSName;
        QString OU;
        int FolderID = -1;
        // The computer's user migration list, never null. Capture shares the
        // database's own list and Restore hands this one to the database,
        // both without copying: a large database holds a million entries.
        // Restore a snapshot into one database only.
        UserProfilesPtr Users = UserProfiles::create();
        // The wave as the snapshot's wave list spells it; empty for none.
        QString Wave;
        QString DirectoryID;
        bool Enabled = true;
    };

    QString JobName;
    int NextFolderID = 0; // FolderCount
    int NextComputerID = 0; // ComputerCount
    QList<Folder> Folders; // ascending IDs
    QList<Computer> Computers; // ascending IDs
    QList<WaveRecord> Waves; // in run order
    // The global record first, then the records of folders and computers in
    // the order of their slots. The owner is each record's ObjectType and
    // AssociatedID; passwords are in clear text here and only here.
    QList<GlobalSettings> Settings;
    // Save Migration State: the last known status text of each computer by ID.
    std::optional<QMap<int, QString>> LastStatus;

    // The database as it stands. Records of removed nodes and detached
    // settings are left behind: nothing can reach them any more.
    static DatabaseSnapshot Capture(const ComputerDB &database);
    // Replaces the database's contents with the snapshot. The snapshot must
    // have been checked (SettingsFileCodec::Decode does that); the tree
    // control is unlinked, as after Clear. The user lists go in as they are.
    void Restore(ComputerDB &database) const;

    // Whether the file needs format version 2: waves, a computer's wave or
    // directory identity, or a disabled computer. Without them the console
    // writes version 1, which older consoles still load.
    bool NeedsWaves() const;

    // The node key that owns a settings record: "G-1", "F" + ID or "C" + ID.
    static QString OwnerKey(const GlobalSettings &record) { return record.ObjectType + QString::number(record.AssociatedID); }
};
