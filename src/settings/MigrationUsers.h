#pragma once

#include <QString>
#include <QUtf8StringView>

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

// The same entry as its list keeps it, in UTF-8, without copies of the
// texts. The views point into the list and stay good until the list next
// changes.
struct MigrationUserView
{
    QUtf8StringView UsernameFrom;
    QUtf8StringView UsernameTo;
    bool UseSIDFrom = false;
    bool UseSIDTo = false;
    QUtf8StringView SIDFrom;
    QUtf8StringView SIDTo;

    MigrationUsers toEntry() const
    {
        MigrationUsers entry;
        entry.UsernameFrom = UsernameFrom.toString();
        entry.UsernameTo = UsernameTo.toString();
        entry.UseSIDFrom = UseSIDFrom;
        entry.UseSIDTo = UseSIDTo;
        entry.SIDFrom = SIDFrom.toString();
        entry.SIDTo = SIDTo.toString();
        entry.Valid = true;
        return entry;
    }
};

// "*ALL" as source and destination user marks the all-users entry.
inline const QString AllUsersName = QStringLiteral("*ALL");
