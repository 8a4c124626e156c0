#pragma once

#include <QString>

// One user migration of a computer: from a user name or SID to a user name or SID.
struct MigrationUsers
{
    QString UsernameFrom;
    QString UsernameTo;
    bool UseSIDFrom = false;
    bool UseSIDTo = false;
    QString SIDFrom;
    QString SIDTo;
    bool Valid = false;
};

// "*ALL" as source and destination user marks the all-users entry.
inline const QString AllUsersName = QStringLiteral("*ALL");
