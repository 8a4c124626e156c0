#pragma once

#include "settings/UserProfiles.h"

#include <QString>

// One computer of the database.
struct ComputerRecord
{
    // False for a blank slot and after removal.
    bool Active = false;
    // Slot of the computer's own settings record, -1 when it inherits.
    int CustomSettings = -1;
    // Host name by which the engine reaches the computer.
    QString DNSName;
    // -1 directly under the root.
    int FolderID = -1;
    // NetBIOS name; the key of the name index.
    QString Name;
    // Directory folder path, segments separated by "\" (used by AddComputerRecOU).
    QString OU;
    // A disabled computer stays in the tree with its settings and users but is
    // left out of validation and of every run, until it is enabled again.
    bool Enabled = true;
    // The wave the computer runs in, as the wave list spells it; empty for none.
    QString Wave;
    // The directory's own identity of the computer (objectGUID or entryUUID),
    // which survives a rename there; empty when it did not come from a directory.
    QString DirectoryID;
    // Every computer has its own list from the start; it stays with the record
    // after removal and goes with it.
    UserProfilesPtr UserList = UserProfiles::create();

    // Whether a migration takes the computer.
    bool InJob() const { return Active && Enabled; }
};
