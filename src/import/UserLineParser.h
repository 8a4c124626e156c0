#pragma once

#include "settings/UserProfiles.h"

#include <QString>
#include <QStringView>

#include <unordered_map>

class ComputerDB;

// Reads one line of a user list file after another against the database:
// the check that a line can be imported, or its import (a missing computer
// is added at the root, the user migration goes into its list).
//
// Files list a computer's users on consecutive lines, so the parser keeps
// what it found out about the last computer name and asks the database
// again only when the name changes. Reset() forgets it; call it whenever
// the database may have changed behind the parser's back.
class UserLineParser
{
public:
    UserLineParser(ComputerDB &database, int fileType);

    // The line's code (modImport::LineCode), 0 for a good or empty line.
    // With `checkOnly` nothing changes: a computer that would be added
    // counts as found.
    int ParseUserLine(QStringView line, bool checkOnly);

    void Reset();
    // Computers and entries the lines added since the parser was made.
    int ComputersAdded() const { return m_computersAdded; }
    int EntriesAdded() const { return m_entriesAdded; }
    // Computers the checked lines would add; a name on lines apart counts
    // each time, so it is an upper bound.
    int ComputersToAdd() const { return m_computersToAdd; }

private:
    // The code of the lookup (0, 2 or 12); the computer's ID when added or found.
    int lookUpComputer(QStringView name, bool checkOnly, int &id);
    int addEntry(int id, QStringView source, QStringView destination);
    // The check's count of what the lines would add, against modLimits:
    // the code of the first limit the line would pass, 0 when it fits.
    int plan(int id, int entries);

    ComputerDB &m_database;
    int m_fileType;
    // What the last line's computer name came to.
    bool m_haveLast = false;
    bool m_lastCheckOnly = false;
    QString m_lastName;
    int m_lastCode = 0;
    int m_lastID = -1;
    UserProfilesPtr m_lastList;

    // By folded computer name, the IDs its list would have handed out
    // after the lines checked so far; the computers they would add; the
    // IDs of all lists (-1 until counted).
    std::unordered_map<QString, int> m_plannedIDs;
    int *m_lastPlanned = nullptr;
    int m_plannedComputers = 0;
    qint64 m_plannedAllIDs = -1;

    int m_computersAdded = 0;
    int m_entriesAdded = 0;
    int m_computersToAdd = 0;
};
