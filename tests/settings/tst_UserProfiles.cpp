#include "settings/UserProfiles.h"

#include "support/RecordingPresenter.h"

#include <QTest>

namespace {

// Fills an empty list with one entry of `kind`; destination names are made unique by `n`.
void addOne(UserProfiles &list, int kind, int n = 0)
{
    const QString user = QStringLiteral("user%1").arg(n);
    const QString sid = QStringLiteral("S-1-5-21-1-2-3-%1").arg(1000 + n);
    switch (kind) {
    case ListUserToUser:
        QVERIFY(list.AddUserToUser(user, user));
        break;
    case ListUserToSID:
        list.AddUserToSID(user, sid);
        break;
    case ListSIDToUser:
        QVERIFY(list.AddSIDToUser(sid, user));
        break;
    case ListSIDToSID:
        list.AddSIDToSID(sid, sid);
        break;
    case ListAllUsers:
        QVERIFY(list.AddAllUsers());
        break;
    }
}

QList<int> validIDs(const UserProfiles &list)
{
    QList<int> ids;
    for (int id = 0; id < list.GetMaxID(); ++id) {
        if (list.GetUser(id))
            ids << id;
    }
    return ids;
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
        QVERIFY(list.DestinationInUse(QStringLiteral("anyone")));
        QCOMPARE(list.GetMaxID(), 1);

        UserProfiles other;
        addOne(other, ListUserToUser);
        QVERIFY(!other.AddAllUsers());
        QCOMPARE(other.GetMaxID(), 1);
    }

    void destinationIsComparedWithoutCase_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<bool>("inUse");

        QTest::newRow("ASCII case") << QStringLiteral("JSmith") << QStringLiteral("jsMITH") << true;
        QTest::newRow("non-ASCII case") << QStringLiteral("ÄRGER") << QStringLiteral("ärger") << true;
        QTest::newRow("different") << QStringLiteral("jsmith") << QStringLiteral("jsmith2") << false;
        QTest::newRow("accent matters") << QStringLiteral("arger") << QStringLiteral("ärger") << false;
    }

    void destinationIsComparedWithoutCase()
    {
        QFETCH(QString, existing);
        QFETCH(QString, candidate);
        QFETCH(bool, inUse);

        UserProfiles users;
        QVERIFY(users.AddUserToUser(QStringLiteral("src"), existing));
        QCOMPARE(users.DestinationInUse(candidate), inUse);
        QCOMPARE(users.AddUserToUser(QStringLiteral("src2"), candidate), !inUse);
        QCOMPARE(users.GetMaxID(), inUse ? 1 : 2);

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
        for (int id : {1, -1, 1, 3, 11})
            list.DeleteUser(id);
        QVERIFY(!list.GetUser(1));
        QCOMPARE(list.GetUserCount(), 2);
        QVERIFY(!list.DestinationInUse(QStringLiteral("USER1")));
        addOne(list, ListUserToUser, 1);
        QCOMPARE(validIDs(list), (QList<int> {0, 2, 3}));
        QCOMPARE(list.GetMaxID(), 4);
        QCOMPARE(list.GetUserCount(), 3);
        QCOMPARE(list.GetUser(3)->UsernameTo, QStringLiteral("user1"));
        QVERIFY(!list.AllowAdd(ListSIDToUser));

        // Only the last entry's going frees the kind.
        for (int id : {0, 2})
            list.DeleteUser(id);
        QCOMPARE(list.GetType(), int(ListUserToUser));
        list.DeleteUser(3);
        QCOMPARE(list.GetType(), int(ListNone));
        QCOMPARE(list.EntryCount(), 0);
        addOne(list, ListSIDToUser, 4);
        QCOMPARE(list.GetType(), int(ListSIDToUser));
        QCOMPARE(validIDs(list), (QList<int> {4}));
    }

    void capacityGrowsOneSlotEarly()
    {
        UserProfiles list;
        QCOMPARE(list.GetType(), int(ListNone));
        QCOMPARE(list.UserCapacity(), 0);
        for (int id = 0; id < 21; ++id) {
            addOne(list, ListUserToUser, id);
            // After storing ID n the upper index is the one EnsureUserCapacity reached for n.
            const int expected = id < 9 ? 10 : id < 19 ? 20 : 30;
            QCOMPARE(list.UserCapacity(), expected);
        }
        for (int id = 0; id < 21; ++id)
            QCOMPARE(list.GetUser(id)->UsernameTo, QStringLiteral("user%1").arg(id));
    }

    void restoreKeepsIDsAndGaps()
    {
        // A list as it stands after some editing: IDs 0..11 handed out, 1, 5 and 11 deleted.
        UserProfiles saved;
        for (int n = 0; n < 12; ++n)
            addOne(saved, ListSIDToUser, n);
        for (int id : {1, 5, 11})
            saved.DeleteUser(id);

        UserProfiles restored;
        addOne(restored, ListUserToUser, 99); // whatever was there before goes
        restored.RestoreList(saved.GetType(), saved.GetMaxID());
        for (int id = 0; id < saved.GetMaxID(); ++id) {
            if (const std::optional<MigrationUsers> entry = saved.GetUser(id))
                QVERIFY(restored.RestoreEntry(id, *entry));
        }

        QCOMPARE(restored.GetType(), saved.GetType());
        QCOMPARE(restored.GetMaxID(), 12);
        QCOMPARE(restored.UserCapacity(), saved.UserCapacity());
        QCOMPARE(validIDs(restored), validIDs(saved));
        QCOMPARE(restored.GetUser(4)->SIDFrom, saved.GetUser(4)->SIDFrom);
        QVERIFY(!restored.DestinationInUse(QStringLiteral("user99")));

        // The next add continues after the saved IDs.
        addOne(restored, ListSIDToUser, 12);
        QCOMPARE(validIDs(restored).constLast(), 12);
    }

    void restoreRefusesIDsOutsideTheList()
    {
        UserProfiles list;
        list.RestoreList(42, 3); // no such kind
        QCOMPARE(list.GetType(), int(ListNone));
        QCOMPARE(list.GetMaxID(), 3);
        QCOMPARE(list.UserCapacity(), 10);

        MigrationUsers entry {QStringLiteral("a"), QStringLiteral("b"), false, false, QString(), QString(), false};
        QVERIFY(!list.RestoreEntry(-1, entry));
        QVERIFY(!list.RestoreEntry(3, entry));
        // Stored as valid whatever the caller's flag; a second restore of the same ID replaces.
        QVERIFY(list.RestoreEntry(2, entry));
        entry.UsernameTo = QStringLiteral("c");
        QVERIFY(list.RestoreEntry(2, entry));
        QCOMPARE(list.EntryCount(), 1);
        QCOMPARE(list.GetUser(2)->UsernameTo, QStringLiteral("c"));

        list.RestoreList(ListNone, -5);
        QCOMPARE(list.GetMaxID(), 0);
        QCOMPARE(list.UserCapacity(), 0);
    }

    void textsComeBackAsGiven_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("accents") << QStringLiteral("J\u00FCrgen \u00C4rger");
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
            QCOMPARE(list.ViewUser(id)->UsernameTo, QUtf8StringView(entry.UsernameTo.toUtf8()));
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
