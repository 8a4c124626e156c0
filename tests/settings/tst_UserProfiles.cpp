#include "common/modLimits.h"
#include "settings/UserProfiles.h"

#include "support/RecordingPresenter.h"

#include <QTest>

namespace {

// Adds one entry of `kind`; destination names are made unique by `n`.
void addOne(UserProfiles &list, int kind, int n = 0)
{
    const QString user = QStringLiteral("user%1").arg(n);
    const QString sid = QStringLiteral("S-1-5-21-1-2-3-%1").arg(1000 + n);
    const int count = list.GetUserCount();
    if (kind == ListUserToUser)
        list.AddUserToUser(user, user);
    else if (kind == ListUserToSID)
        list.AddUserToSID(user, sid);
    else if (kind == ListSIDToUser)
        list.AddSIDToUser(sid, user);
    else if (kind == ListSIDToSID)
        list.AddSIDToSID(sid, sid);
    else
        list.AddAllUsers();
    QCOMPARE(list.GetUserCount(), count + 1);
}

// "kind/next ID/capacity:" and each valid entry as "ID=destination".
QString show(const UserProfiles &list)
{
    QString text = QStringLiteral("%1/%2/%3:").arg(list.GetType()).arg(list.GetMaxID()).arg(list.UserCapacity());
    for (int id = 0; id < list.GetMaxID(); ++id) {
        if (const std::optional<MigrationUsers> entry = list.GetUser(id))
            text += QStringLiteral(" %1=%2").arg(id).arg(entry->UseSIDTo ? entry->SIDTo : entry->UsernameTo);
    }
    return text;
}

} // namespace

class TestUserProfiles : public QObject
{
    Q_OBJECT

private:
    // Nothing in a user list ever talks to the administrator.
    RecordingPresenter m_presenter;

private Q_SLOTS:
    void cleanup() { QCOMPARE(m_presenter.count(), 0); }

    void eachKindStoresItsFields_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("fields"); // from, to, SID flags, SID from, SID to

        QTest::newRow("user to user") << int(ListUserToUser) << QStringLiteral("user0|user0|00||");
        QTest::newRow("user to SID") << int(ListUserToSID) << QStringLiteral("user0||01||S-1-5-21-1-2-3-1000");
        QTest::newRow("SID to user") << int(ListSIDToUser) << QStringLiteral("|user0|10|S-1-5-21-1-2-3-1000|");
        QTest::newRow("SID to SID") << int(ListSIDToSID) << QStringLiteral("||11|S-1-5-21-1-2-3-1000|S-1-5-21-1-2-3-1000");
        QTest::newRow("all users") << int(ListAllUsers) << AllUsersName + QLatin1Char('|') + AllUsersName + QStringLiteral("|00||");
    }

    void eachKindStoresItsFields()
    {
        QFETCH(int, kind);
        UserProfiles list;
        addOne(list, kind);
        QCOMPARE(list.GetType(), kind);
        // More of the same kind, unless that is all users; never another kind.
        QCOMPARE(list.AllowAdd(kind), kind != ListAllUsers);
        QVERIFY(!list.AllowAdd(kind == ListUserToUser ? ListAllUsers : ListUserToUser));
        const std::optional<MigrationUsers> e = list.GetUser(0);
        QVERIFY(e && e->Valid);
        const QString flags = QString::number(int(e->UseSIDFrom)) + QString::number(int(e->UseSIDTo));
        QTEST(QStringList({e->UsernameFrom, e->UsernameTo, flags, e->SIDFrom, e->SIDTo}).join(QLatin1Char('|')), "fields");
    }

    void allUsersEntryStandsAlone()
    {
        UserProfiles list;
        QVERIFY(list.AddAllUsers());
        QVERIFY(!list.AddAllUsers());
        QVERIFY(!list.AddUserToUser(QStringLiteral("a"), QStringLiteral("b")));
        QCOMPARE(list.GetMaxID(), 1);
        list = UserProfiles();
        addOne(list, ListUserToUser);
        QVERIFY(!list.AddAllUsers());
        QCOMPARE(list.GetMaxID(), 1);
    }

    void destinationIsComparedWithoutCase_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<bool>("inUse");
        QTest::addColumn<int>("before"); // entries already there: a long list looks names up in an index

        for (int before : {0, 40}) {
            const QByteArray list = before ? " (long list)" : "";
            QTest::newRow("non-ASCII case" + list) << QStringLiteral("ÄRGER") << QStringLiteral("ärger") << true << before;
            QTest::newRow("different" + list) << QStringLiteral("jsmith") << QStringLiteral("jsmith2") << false << before;
            QTest::newRow("accent matters" + list) << QStringLiteral("arger") << QStringLiteral("ärger") << false << before;
        }
    }

    void destinationIsComparedWithoutCase()
    {
        QFETCH(QString, existing);
        QFETCH(QString, candidate);
        QFETCH(bool, inUse);
        QFETCH(int, before);

        UserProfiles users;
        for (int n = 0; n < before; ++n)
            addOne(users, ListUserToUser, n);
        QVERIFY(users.AddUserToUser(QStringLiteral("src"), existing));
        QCOMPARE(users.DestinationInUse(candidate), inUse);
        QCOMPARE(users.AddUserToUser(QStringLiteral("src2"), candidate), !inUse);
        QCOMPARE(users.GetMaxID(), before + (inUse ? 1 : 2));
        users.DeleteUser(before);
        QVERIFY(!users.DestinationInUse(existing));

        UserProfiles sids;
        QVERIFY(sids.AddSIDToUser(QStringLiteral("S-1-5-21-1"), existing));
        QCOMPARE(sids.AddSIDToUser(QStringLiteral("S-1-5-21-2"), candidate), !inUse);
    }

    void deletingFreesTheNameButNotTheID()
    {
        UserProfiles list;
        for (int n = 0; n < 3; ++n)
            addOne(list, ListUserToUser, n);
        // IDs without an entry, a deleted one among them, change nothing.
        for (int id : {1, -1, 1, 3})
            list.DeleteUser(id);
        QVERIFY(!list.DestinationInUse(QStringLiteral("USER1")));
        addOne(list, ListUserToUser, 1);
        QCOMPARE(show(list), QStringLiteral("1/4/10: 0=user0 2=user2 3=user1"));
        QCOMPARE(list.GetUserCount(), 3);

        // Only the last entry's going frees the kind.
        for (int id : {0, 2})
            list.DeleteUser(id);
        QVERIFY(!list.AllowAdd(ListSIDToUser));
        list.DeleteUser(3);
        QVERIFY(list.AllowAdd(ListSIDToUser));
        QCOMPARE(show(list), QStringLiteral("-1/4/10:"));

        // A list that handed out every ID a settings file keeps takes no more.
        list.RestoreList(ListUserToUser, modLimits::MaxUserListIDs);
        QVERIFY(!list.AddUserToUser(QStringLiteral("a"), QStringLiteral("b")) && list.GetMaxID() == modLimits::MaxUserListIDs);
    }

    void capacityGrowsOneSlotEarly()
    {
        UserProfiles list;
        QCOMPARE(list.UserCapacity(), 0);
        for (int id = 0; id < 21; ++id) {
            addOne(list, ListUserToUser, id);
            // After storing ID n the upper index is the one the growth rule reached for n.
            QCOMPARE(list.UserCapacity(), id < 9 ? 10 : id < 19 ? 20 : 30);
        }
    }

    void restoreTakesOnlyIDsOfTheList()
    {
        UserProfiles list;
        list.RestoreList(42, 3); // no such kind
        QCOMPARE(show(list), QStringLiteral("-1/3/10:"));

        MigrationUsers entry {QStringLiteral("a"), QStringLiteral("b"), false, false, QString(), QString(), false};
        QVERIFY(!list.RestoreEntry(-1, entry));
        QVERIFY(!list.RestoreEntry(3, entry));
        // Stored as valid whatever the caller's flag; a second restore of the same ID replaces.
        QVERIFY(list.RestoreEntry(2, entry));
        entry.UsernameTo = QStringLiteral("c");
        QVERIFY(list.RestoreEntry(2, entry));
        QCOMPARE(list.EntryCount(), 1);
        QCOMPARE(show(list), QStringLiteral("-1/3/10: 2=c"));
        // The next add continues after the restored IDs.
        QVERIFY(list.AddUserToUser(QStringLiteral("d"), QStringLiteral("e")));
        QCOMPARE(show(list), QStringLiteral("1/4/10: 2=c 3=e"));
        list.RestoreList(ListNone, -5);
        QCOMPARE(show(list), QStringLiteral("-1/0/0:"));
    }

    void textsComeBackAsGiven_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("beyond 16 bits") << QStringLiteral("user \U0001F600");
        QTest::newRow("longer than a length byte") << QString(300, QLatin1Char('s'));
        QTest::newRow("longer than two length bytes") << QString(20000, QChar(0x00E9));
    }

    void textsComeBackAsGiven()
    {
        QFETCH(QString, text);
        // Entries before and after, so that lengths and places must all be right.
        UserProfiles list;
        list.RestoreList(ListSIDToSID, 3);
        const MigrationUsers entry {
            text, QStringLiteral("to ") + text, true, true, text + QStringLiteral(" sid"), QStringLiteral("x"), true};
        const auto fields = [](const MigrationUsers &e) { return QStringList {e.UsernameFrom, e.UsernameTo, e.SIDFrom, e.SIDTo}; };
        for (int id = 0; id < 3; ++id)
            QVERIFY(list.RestoreEntry(id, entry));
        for (int id = 0; id < 3; ++id) {
            const std::optional<MigrationUsers> back = list.GetUser(id);
            QVERIFY(back && back->UseSIDFrom && back->UseSIDTo && back->Valid);
            QCOMPARE(fields(*back), fields(entry));
        }
        // A view of the list's own entry survives the store growing under it.
        UserProfiles copy;
        copy.RestoreList(ListSIDToSID, 2);
        QVERIFY(copy.RestoreEntry(0, entry));
        QVERIFY(copy.RestoreEntry(1, *copy.ViewUser(0)));
        QCOMPARE(fields(*copy.GetUser(1)), fields(entry));
    }
};

QTEST_GUILESS_MAIN(TestUserProfiles)
#include "tst_UserProfiles.moc"
