#pragma once

#include "database/WaveList.h"
#include "settings/GlobalSettings.h"
#include "settings/UserProfiles.h"

#include <QList>
#include <QString>

#include <memory>

// One change to the computer database, with what it takes to make it again
// and to take it back. A step of the edit history is a list of these, in the
// order they were made; they hold IDs, names and the copies of the records
// that were changed where they stand, never a copy of the database.
struct DatabaseChange
{
    enum class Kind {
        AddComputer,
        RemoveComputer,
        AddFolder,
        RemoveFolder,
        RenameComputer,
        RenameFolder,
        MoveComputer,
        MoveFolder,
        // A node's own settings record attached, replaced, edited or detached.
        Settings,
        UserList,
        ComputerWave,
        ComputerEnabled,
        Waves,
    };
    // A computer whose wave a change of the wave list changed.
    struct Member
    {
        int id = -1;
        QString before;
        QString after;
    };

    Kind kind = Kind::AddComputer;
    int id = -1;
    // Settings: "G", "F" or "C".
    QString objectType;
    // Added and removed records: the name and DNS name they had.
    QString name;
    QString dnsName;
    // Renames: the names; a computer's wave: the waves ("" none).
    QString before;
    QString after;
    // Moves, additions and removals: the parent folder (-1 the root).
    int parentBefore = -1;
    int parentAfter = -1;
    // Copies; nullptr for a node that inherits.
    GlobalSettingsPtr settingsBefore;
    GlobalSettingsPtr settingsAfter;
    std::shared_ptr<const UserProfiles> usersBefore;
    std::shared_ptr<const UserProfiles> usersAfter;
    std::shared_ptr<const WaveList> wavesBefore;
    std::shared_ptr<const WaveList> wavesAfter;
    QList<Member> members;
    // A computer enabled (true) or disabled; undoing it does the opposite.
    bool enabled = true;
};
