#pragma once

#include <QByteArray>
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

// An entry given in QStrings, seen as lists keep it: in UTF-8.
class MigrationUsersUtf8
{
public:
    explicit MigrationUsersUtf8(const MigrationUsers &entry)
        : m_texts {entry.UsernameFrom.toUtf8(), entry.UsernameTo.toUtf8(), entry.SIDFrom.toUtf8(), entry.SIDTo.toUtf8()}
    {
        m_view.UsernameFrom = m_texts[0];
        m_view.UsernameTo = m_texts[1];
        m_view.UseSIDFrom = entry.UseSIDFrom;
        m_view.UseSIDTo = entry.UseSIDTo;
        m_view.SIDFrom = m_texts[2];
        m_view.SIDTo = m_texts[3];
    }
    MigrationUsersUtf8(const MigrationUsersUtf8 &) = delete;
    MigrationUsersUtf8 &operator=(const MigrationUsersUtf8 &) = delete;

    const MigrationUserView &view() const { return m_view; }

private:
    const QByteArray m_texts[4];
    MigrationUserView m_view;
};

// "*ALL" as source and destination user marks the all-users entry.
inline const QString AllUsersName = QStringLiteral("*ALL");
// The same as lists keep it.
inline constexpr QUtf8StringView AllUsersUtf8("*ALL");
