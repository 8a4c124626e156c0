#include "settingsfile/SettingsFileCodec.h"

#include "support/RecordingPresenter.h"

#include <QRegularExpression>
#include <QTest>

namespace {

const QString kFile = QStringLiteral("/srv/jobs/Sales.vos.json");
const QString kPassphrase = QStringLiteral("correct horse battery staple");

GlobalSettings record(const QString &type, int id, const QString &sourceDomain)
{
    GlobalSettings settings;
    settings.SetDefaults();
    settings.ObjectType = type;
    settings.AssociatedID = id;
    settings.SourceDomain = sourceDomain;
    return settings;
}

UserProfilesPtr list(int listType, int nextID, const QList<QPair<int, MigrationUsers>> &entries)
{
    UserProfilesPtr users = UserProfiles::create();
    users->RestoreList(listType, nextID);
    for (const auto &[id, entry] : entries)
        users->RestoreEntry(id, entry);
    return users;
}

MigrationUsers entry(const QString &from, const QString &to, bool sidFrom = false, bool sidTo = false)
{
    MigrationUsers user;
    user.UseSIDFrom = sidFrom;
    user.UseSIDTo = sidTo;
    (sidFrom ? user.SIDFrom : user.UsernameFrom) = from;
    (sidTo ? user.SIDTo : user.UsernameTo) = to;
    return user;
}

// Two folders (ID 1 removed), five computers (ID 1 removed), a user list with
// a deleted entry, lists of every kind, an entry that fits no short form,
// records on the root, a folder and a computer.
DatabaseSnapshot sample()
{
    DatabaseSnapshot snapshot;
    snapshot.JobName = QStringLiteral("Migration \u00C4 1");
    snapshot.NextFolderID = 3;
    snapshot.NextComputerID = 6;
    snapshot.Folders = {{0, QStringLiteral("Sales"), -1}, {2, QStringLiteral("London \"HQ\"\t"), 0}};

    auto computer = [](int id, const QString &name, const QString &dns, const QString &ou, int folder, const UserProfilesPtr &users) {
        DatabaseSnapshot::Computer item {id, name, dns, ou, folder, users, {}, {}};
        return item;
    };
    snapshot.Computers = {
        computer(0, QStringLiteral("PC-0001"), QStringLiteral("pc-0001.corp"), QStringLiteral("Sales\\London"), 2,
            list(ListUserToUser, 3,
                {{0, entry(QStringLiteral("jdoe"), QStringLiteral("john.doe"))},
                    {2, entry(QStringLiteral("amy"), QStringLiteral("amy.b"))}})),
        computer(2, QStringLiteral("PC-0003"), QString(), QString(), -1, UserProfiles::create()),
        computer(3, QStringLiteral("PC-0004"), QString(), QString(), 0,
            list(ListSIDToUser, 1, {{0, entry(QStringLiteral("S-1-5-21-1-2-3-1001"), QStringLiteral("kim"), true)}})),
        computer(4, QStringLiteral("PC-0005"), QString(), QString(), 0, list(ListAllUsers, 1, {{0, entry(AllUsersName, AllUsersName)}})),
        // Emptied again (the kind is gone, the IDs stay), then an entry that
        // no add makes: both flags set and a stray user name.
        computer(5, QStringLiteral("PC-0006"), QString(), QString(), -1,
            list(ListSIDToSID, 4,
                {{1, entry(QStringLiteral("S-1-5-21-9-1"), QStringLiteral("S-1-5-21-9-2"), true, true)},
                    {3,
                        [] {
                            MigrationUsers odd = entry(QStringLiteral("S-1-5-21-9-3"), QStringLiteral("S-1-5-21-9-4"), true, true);
                            odd.UsernameFrom = QStringLiteral("left over");
                            return odd;
                        }()}})),
    };

    GlobalSettings global = record(QStringLiteral("G"), -1, QStringLiteral("OLDCORP"));
    global.SetUser(AdminA, QStringLiteral("migadmin"), QStringLiteral("S\u00E9cret-A1"), QStringLiteral("NEWCORP"));
    global.SetUser(DomainJoin, QStringLiteral("joiner"), QStringLiteral("J0in!Pass"), QStringLiteral("NEWCORP"));
    GlobalSettings folder = record(QStringLiteral("F"), 2, QStringLiteral("LONDON"));
    folder.SetUser(AdminA, QStringLiteral("ldnadmin"), QStringLiteral("Ldn-Pa55"), QStringLiteral("NEWCORP"));
    GlobalSettings computerRecord = record(QStringLiteral("C"), 3, QStringLiteral("OLDCORP"));
    computerRecord.Valid = false;
    computerRecord.MinFreeSpace = 2048;
    snapshot.Settings = {global, folder, computerRecord};
    return snapshot;
}

// The sample with two waves, a computer in each and a directory identity.
DatabaseSnapshot sampleWithWaves()
{
    DatabaseSnapshot snapshot = sample();
    snapshot.Waves = {{QStringLiteral("Pilot"), QDateTime(QDate(2026, 12, 9), QTime(21, 0), Qt::UTC), 5, 10},
        {QStringLiteral("Rest \u00C4"), QDateTime(QDate(2026, 12, 10), QTime(6, 30, 0, 250), Qt::UTC), 0, 0}};
    snapshot.Computers[0].Wave = QStringLiteral("Pilot");
    snapshot.Computers[2].Wave = QStringLiteral("Rest \u00C4");
    snapshot.Computers[2].DirectoryID = QStringLiteral("8d1c6f3e-2a41-103f-9a7e-5b1d3e4f6a70");
    return snapshot;
}

// Everything a snapshot holds, as text, so that two can be compared.
QStringList describe(const DatabaseSnapshot &snapshot)
{
    const auto n = [](int value) { return QString::number(value); };
    QStringList lines {snapshot.JobName, n(snapshot.NextFolderID), n(snapshot.NextComputerID)};
    for (const WaveRecord &w : snapshot.Waves)
        lines << QStringList {w.Name, w.NotBefore.toString(Qt::ISODateWithMs), n(w.Concurrency), n(w.FailurePercent)}.join(
            QLatin1Char('|'));
    for (const auto &f : snapshot.Folders)
        lines << QStringList {n(f.ID), f.Name, n(f.ParentID)}.join(QLatin1Char('|'));
    for (const auto &c : snapshot.Computers) {
        const UserProfiles &users = *c.Users;
        QStringList line {n(c.ID), c.Name, c.DNSName, c.OU, n(c.FolderID), c.Wave, c.DirectoryID, n(users.GetType()), n(users.GetMaxID()),
            n(users.EntryCount()), n(users.UserCapacity()),
            snapshot.LastStatus ? snapshot.LastStatus->value(c.ID, QStringLiteral("-")) : QString()};
        for (int id = 0; id < users.GetMaxID(); ++id) {
            if (const std::optional<MigrationUsers> u = users.GetUser(id))
                line << n(id) << u->UsernameFrom << u->UsernameTo << u->SIDFrom << u->SIDTo << n(u->UseSIDFrom) + n(u->UseSIDTo);
        }
        lines << line.join(QLatin1Char('|'));
    }
    for (const GlobalSettings &r : snapshot.Settings) {
        QStringList line {DatabaseSnapshot::OwnerKey(r), n(r.Valid), r.SourceDomain, n(r.MinFreeSpace), n(r.JoinVal), n(r.ActionType)};
        for (int type = 0; type < UserTypeCount; ++type)
            line << r.account(type).Username + QLatin1Char('@') + r.account(type).Domain + QLatin1Char('/') + r.account(type).Password;
        lines << line.join(QLatin1Char('|'));
    }
    return lines;
}

PasswordSealer::Parameters cheap()
{
    return PasswordSealer::NewParameters(PasswordSealer::Cost::Minimum());
}

QByteArray replaced(QByteArray bytes, const QByteArray &before, const QByteArray &after)
{
    if (!bytes.contains(before))
        qFatal("the sample has no \"%s\"", before.constData());
    return bytes.replace(before, after);
}

} // namespace

class TestSettingsFileCodec : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;

private Q_SLOTS:
    void init() { m_presenter.clear(); }

    void fileIsReadableJsonWithStableLayout()
    {
        const QByteArray bytes = SettingsFileCodec::Encode(sample(), nullptr);
        QVERIFY(bytes.startsWith("{\r\n  \"format\": \"varno-osk-settings\",\r\n  \"version\": 1,\r\n  \"contents\": \"settings\",\r\n"
                                 "  \"jobName\": \"Migration \xC3\x84 1\",\r\n  \"passwords\": {\r\n    \"included\": false\r\n  },\r\n"));
        QCOMPARE(bytes.count("\n"), bytes.count("\r\n"));
        // Computers one to a line, defaults left out, each list in the short
        // form of its kind unless an entry fits none.
        QVERIFY(bytes.contains("    {\"id\": 2, \"name\": \"PC-0003\"},\r\n"));
        QVERIFY(bytes.contains(
            "\"userList\": {\"listType\": 1, \"nextID\": 3, \"entries\": [[0, \"jdoe\", \"john.doe\"], [2, \"amy\", \"amy.b\"]]}},\r\n"));
        QVERIFY(bytes.contains("\"userList\": {\"listType\": 5, \"nextID\": 1, \"entries\": [[0]]}},\r\n"));
        QVERIFY(bytes.contains("{\"id\": 3, \"usernameFrom\": \"left over\", \"useSIDFrom\": true, \"useSIDTo\": true, "
                               "\"sidFrom\": \"S-1-5-21-9-3\", \"sidTo\": \"S-1-5-21-9-4\"}]}}\r\n"));
        QVERIFY(!bytes.contains("password\""));

        // Sealed, every account has a box, empty passwords too.
        PasswordSealer sealer;
        QVERIFY(sealer.Derive(kPassphrase, cheap()));
        const QByteArray sealed = SettingsFileCodec::Encode(sample(), &sealer);
        QCOMPARE(sealed.count(", \"password\": \""), 15);
        QVERIFY(sealed.contains("\"included\": true,\r\n    \"kdf\": {\r\n      \"algorithm\": \"argon2id13\",\r\n      \"salt\": \""));
        QVERIFY(
            sealed.contains("\"opsLimit\": 1,\r\n      \"memLimit\": 8192\r\n    },\r\n    \"cipher\": \"xchacha20poly1305-ietf\",\r\n"));
    }

    void decodingGivesBackExactlyWhatWasEncoded_data()
    {
        QTest::addColumn<bool>("sealed");
        QTest::addColumn<bool>("migrationState");
        QTest::newRow("plain settings") << false << false;
        QTest::newRow("sealed migration state") << true << true;
    }

    void decodingGivesBackExactlyWhatWasEncoded()
    {
        QFETCH(bool, sealed);
        QFETCH(bool, migrationState);
        DatabaseSnapshot snapshot = sample();
        if (migrationState)
            snapshot.LastStatus = QMap<int, QString> {{0, QStringLiteral("CL")}, {5, QStringLiteral("N\u00C4")}};
        PasswordSealer sealer;
        QVERIFY(sealer.Derive(kPassphrase, cheap()));
        const QByteArray bytes = SettingsFileCodec::Encode(snapshot, sealed ? &sealer : nullptr);

        const auto decoded = SettingsFileCodec::Decode(bytes, kFile, sealed ? kPassphrase : QString());
        QVERIFY2(decoded.Result.ok(), qPrintable(decoded.Result.Message));
        QStringList expected = describe(snapshot);
        if (!sealed)
            expected.replaceInStrings(QRegularExpression(QStringLiteral("/[^|]+")), QStringLiteral("/"));
        QCOMPARE(describe(decoded.Snapshot), expected);
        QCOMPARE(decoded.Result.LastStatus, snapshot.LastStatus);
        QCOMPARE(decoded.Sealing.has_value(), sealed);
        if (sealed)
            QCOMPARE(*decoded.Sealing, sealer.parameters());
        QCOMPARE(SettingsFileCodec::Encode(decoded.Snapshot, sealed ? &sealer : nullptr), bytes);

        // What a script may do to the file: members in another order, members
        // of its own, a byte-order mark, other white space.
        QByteArray edited = bytes;
        edited.replace("{\"id\": 2, \"name\": \"PC-0003\"}", "{\"note\": {\"x\": [1, {\"y\": null}]}, \"name\": \"PC-0003\", \"id\": 2}");
        edited.replace("{\"listType\": 1, \"nextID\": 3, \"entries\": [[0, \"jdoe\", \"john.doe\"], [2, \"amy\", \"amy.b\"]]}",
            "{\"entries\": [[2, \"amy\", \"amy.b\"], [0, \"jdoe\", \"john.doe\"]],\n\"nextID\": 3, \"listType\": 1}");
        edited.replace("\"nextFolderID\": 3,", "\"extra\": [], \"nextFolderID\": 3,");
        edited.prepend("\xEF\xBB\xBF");
        const auto reordered = SettingsFileCodec::Decode(edited, kFile, sealed ? kPassphrase : QString());
        QVERIFY2(reordered.Result.ok(), qPrintable(reordered.Result.Message));
        QCOMPARE(describe(reordered.Snapshot), expected);
    }

    // Version 1 as long as nothing needs more, so that older consoles keep
    // loading such files; a wave's name on a computer is taken without
    // regard to case and kept as the list spells it.
    void wavesAndDirectoryIdentitiesNeedVersion2()
    {
        QVERIFY(SettingsFileCodec::Encode(sample(), nullptr).contains("\"version\": 1,"));
        DatabaseSnapshot identityOnly = sample();
        identityOnly.Computers[1].DirectoryID = QStringLiteral("x");
        QVERIFY(SettingsFileCodec::Encode(identityOnly, nullptr).contains("\"version\": 2,"));

        const DatabaseSnapshot snapshot = sampleWithWaves();
        const QByteArray bytes = SettingsFileCodec::Encode(snapshot, nullptr);
        QVERIFY(bytes.contains("\"version\": 2,"));
        QVERIFY(bytes.contains("  \"waves\": [\r\n    {\"name\": \"Pilot\", \"notBefore\": \"2026-12-09T21:00:00Z\", \"concurrency\": 5, "
                               "\"failurePercent\": 10},\r\n    {\"name\": \"Rest \xC3\x84\", \"notBefore\": \"2026-12-10T06:30:00.250Z\", "
                               "\"failurePercent\": 0}\r\n  ],\r\n"));
        QVERIFY(bytes.contains("\"folderID\": 2, \"wave\": \"Pilot\", \"userList\""));
        const auto decoded
            = SettingsFileCodec::Decode(QByteArray(bytes).replace("\"wave\": \"Pilot\"", "\"wave\": \"pILOT\""), kFile, QString());
        QVERIFY2(decoded.Result.ok(), qPrintable(decoded.Result.Message));
        QStringList expected = describe(snapshot);
        expected.replaceInStrings(QRegularExpression(QStringLiteral("/[^|]+")), QStringLiteral("/"));
        QCOMPARE(describe(decoded.Snapshot), expected);
        QCOMPARE(SettingsFileCodec::Encode(decoded.Snapshot, nullptr), bytes);
    }

    void sealedBoxesBelongToTheirPlaceAndPassphrase()
    {
        PasswordSealer sealer;
        QVERIFY(sealer.Derive(kPassphrase, cheap()));
        const QByteArray box = sealer.Seal(QStringLiteral("C3"), 1, QStringLiteral("pw"));
        // Another password, another nonce (the first 24 bytes); lengths show only in steps of 16.
        QVERIFY(box.left(24) != sealer.Seal(QStringLiteral("C3"), 1, QStringLiteral("pW")).left(24));
        QCOMPARE(sealer.Seal(QStringLiteral("C3"), 1, QString(15, QLatin1Char('x'))).size(), box.size());
        QCOMPARE(sealer.Open(QStringLiteral("C3"), 1, box), std::optional<QString>(QStringLiteral("pw")));
        QByteArray flipped = box;
        flipped[30] = char(flipped[30] ^ 1);
        QVERIFY(!sealer.Open(QStringLiteral("C3"), 1, flipped));
        PasswordSealer otherSalt;
        QVERIFY(otherSalt.Derive(kPassphrase, cheap()));
        QVERIFY(!otherSalt.Open(QStringLiteral("C3"), 1, box));

        // A box moved to another account in the file does not open there.
        const QByteArray bytes = SettingsFileCodec::Encode(sample(), &sealer);
        const QByteArray adminA = sealer.Seal(QStringLiteral("G-1"), AdminA, QStringLiteral("Sécret-A1")).toBase64();
        const QByteArray domainJoin = sealer.Seal(QStringLiteral("G-1"), DomainJoin, QStringLiteral("J0in!Pass")).toBase64();
        const QByteArray swapped = replaced(replaced(bytes, adminA, "@@"), domainJoin, adminA);
        const auto decoded = SettingsFileCodec::Decode(replaced(swapped, "@@", domainJoin), kFile, kPassphrase);
        QCOMPARE(decoded.Result.status, SettingsFileResult::Damaged);
        QVERIFY2(decoded.Result.Message.endsWith(QLatin1String("settings[0].accounts.AdminA.password does not open with the passphrase.")),
            qPrintable(decoded.Result.Message));
    }

    void refusedFilesNameTheProblem_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");

        const QByteArray good = SettingsFileCodec::Encode(sample(), nullptr);
        PasswordSealer sealer;
        QVERIFY(sealer.Derive(kPassphrase, cheap()));
        const QByteArray sealed = SettingsFileCodec::Encode(sample(), &sealer);
        const QString file = QStringLiteral("\"/srv/jobs/Sales.vos.json\"");
        const QString damaged = QStringLiteral("The settings file %1 is damaged: ").arg(file);
        // A damaged file: `from` in the good file becomes `to`, and the message names `what`.
        const auto bad = [&](const char *name, const QByteArray &from, const QByteArray &to, const char *what) {
            QTest::newRow(name) << replaced(good.contains(from) ? good : sealed, from, to) << int(SettingsFileResult::Damaged)
                                << damaged + QString::fromUtf8(what);
        };

        QTest::newRow("empty") << QByteArray(" \r\n") << int(SettingsFileResult::Truncated)
                               << QStringLiteral("The settings file %1 is empty.").arg(file);
        QTest::newRow("truncated") << good.left(good.size() / 2) << int(SettingsFileResult::Truncated)
                                   << QStringLiteral("The settings file %1 is truncated: its data breaks off at line ").arg(file);
        QTest::newRow("text file") << QByteArray("Computers:\nPC-0001\n") << int(SettingsFileResult::NotSettingsFile)
                                   << QStringLiteral("The file %1 is not a Varno-Osk settings file.").arg(file);
        QTest::newRow("other JSON") << QByteArray("{\"name\": \"package\", \"version\": 1}") << int(SettingsFileResult::NotSettingsFile)
                                    << QStringLiteral("The file %1 is not a Varno-Osk settings file.").arg(file);
        QTest::newRow("newer") << replaced(good, "\"version\": 1,", "\"version\": 3,") << int(SettingsFileResult::NewerVersion)
                               << QStringLiteral("The settings file %1 has format version 3, which is newer than this console can read "
                                                 "(version 2). Load it with a newer Varno-Osk console.")
                                      .arg(file);
        QTest::newRow("huge version") << replaced(good, "\"version\": 1,", "\"version\": 18446744073709551615,")
                                      << int(SettingsFileResult::NewerVersion)
                                      << QStringLiteral("The settings file %1 has format version 18446744073709551615").arg(file);

        const QByteArray waved = SettingsFileCodec::Encode(sampleWithWaves(), nullptr);
        const auto badWave = [&](const char *name, const QByteArray &from, const QByteArray &to, const char *what) {
            QTest::newRow(name) << replaced(waved, from, to) << int(SettingsFileResult::Damaged) << damaged + QString::fromUtf8(what);
        };
        badWave("waves in version 1", "\"version\": 2,", "\"version\": 1,", "waves needs format version 2, but the file says version 1.");
        bad("directory ID in version 1", "\"name\": \"PC-0003\"", "\"name\": \"PC-0003\", \"directoryID\": \"\"",
            "computers[1].directoryID needs format version 2, but the file says version 1.");
        // An older console would take a disabled computer into the job.
        bad("disabled in version 1", "\"name\": \"PC-0003\"", "\"name\": \"PC-0003\", \"enabled\": false",
            "computers[1].enabled needs format version 2, but the file says version 1.");
        badWave("unknown wave", "\"wave\": \"Pilot\"", "\"wave\": \"Pilots\"",
            "computers[0] (PC-0001) is in the wave \"Pilots\", which is not among the waves.");
        badWave("wave twice", "{\"name\": \"Rest \xC3\x84\"", "{\"name\": \"PILOT\"", "waves[1]: There is already a wave named \"Pilot\".");
        badWave("concurrency", "\"concurrency\": 5", "\"concurrency\": 51",
            "waves[0]: The wave \"Pilot\" may run 1 to 50 computers at a time, or 0 for no cap of its own.");
        badWave("local start time", "21:00:00Z", "21:00:00", "waves[0].notBefore must be a time in UTC such as 2026-12-09T21:00:00Z.");
        bad("version 0", "\"version\": 1,", "\"version\": 0,", "version must be a whole number, 1 or more.");
        bad("bad JSON", "\"nextFolderID\": 3,", "\"nextFolderID\": 3,,", "it is not valid JSON at line 9, column 21 (");
        bad("zero byte, then data", "\r\n}\r\n", QByteArray("\r\n}\r\n\0{}", 7), "it is not valid JSON at line ");
        bad("not UTF-8", "PC-0001", "PC-\xFF\xFE\x30\x31", "it is not valid JSON at line ");
        bad("contents", "\"contents\": \"settings\"", "\"contents\": \"backup\"", "contents must be \"settings\" or \"migration state\".");
        bad("field missing", "\"name\": \"PC-0001\", ", "", "computers[0].name is missing.");
        bad("field twice", "\"name\": \"PC-0003\"", "\"name\": \"PC-0003\", \"name\": \"X\"", "computers[1].name is given twice.");
        bad("number as text", "\"nextComputerID\": 6,", "\"nextComputerID\": \"6\",", "nextComputerID must be a whole number.");
        bad("beyond 32 bits", "\"minFreeSpace\": 2048,", "\"minFreeSpace\": 2147483648,",
            "settings[2].minFreeSpace must be a whole number from -2147483648 to 2147483647.");
        bad("flag as number", "\"valid\": false", "\"valid\": 0", "settings[2].valid must be true or false.");
        bad("computer not an object", "{\"id\": 2, \"name\": \"PC-0003\"}", "2", "computers[1] must be a JSON object.");
        bad("ID beyond next", "\"nextComputerID\": 6,", "\"nextComputerID\": 5,",
            "computers[4].id is 5, which is not below nextComputerID (5).");
        bad("ID twice", "{\"id\": 2, \"name\": \"PC-0003\"", "{\"id\": 0, \"name\": \"PC-0003\"",
            "computers[1]: computer 0 is listed twice.");
        bad("unknown parent", "\"parentID\": 0", "\"parentID\": 1", "folder 2 has the parent 1, which is not among the folders.");
        bad("parent loop", "\"name\": \"Sales\"}", "\"name\": \"Sales\", \"parentID\": 2}",
            "folder 0 is inside itself (its parents form a loop).");
        bad("unknown folder", "\"folderID\": 2,", "\"folderID\": 1,", "computers[0] is in folder 1, which is not among the folders.");
        bad("owner missing", "\"associatedID\": 3,", "\"associatedID\": 1,",
            "settings[2] belongs to computer 1, which is not among the computers.");
        bad("two records", "\"objectType\": \"C\",\r\n      \"associatedID\": 3,", "\"objectType\": \"F\",\r\n      \"associatedID\": 2,",
            "settings[2] is a second settings record of F2.");
        bad("global not first", "\"objectType\": \"G\",", "\"objectType\": \"F\",",
            "settings[0] must be the global record (objectType \"G\", associatedID -1).");
        bad("second global", "\"objectType\": \"C\",", "\"objectType\": \"G\",",
            "settings[2].objectType must be \"F\" or \"C\" (only settings[0] is global).");
        bad("status in settings", "\"name\": \"PC-0003\"", "\"name\": \"PC-0003\", \"lastStatus\": \"CL\"",
            "computers[1].lastStatus is only allowed in a migration state file.");
        bad("password in a file without passwords", "{\"username\": \"migadmin\", ", "{\"username\": \"migadmin\", \"password\": \"x\", ",
            "settings[0].accounts.AdminA.password is given although the file says passwords are left out");
        bad("list type", "\"listType\": 3,", "\"listType\": 6,", "computers[2].userList.listType must be -1 or 1 to 5.");
        bad("short entry cut", "[0, \"jdoe\", \"john.doe\"]", "[0, \"jdoe\"]",
            "computers[0].userList.entries[0] must be a list of the ID and two texts.");
        bad("all users with names", "\"entries\": [[0]]", "\"entries\": [[0, \"a\", \"b\"]]",
            "computers[3].userList.entries[0] must be a list of the ID alone.");
        bad("entry neither", "[0, \"jdoe\", \"john.doe\"]", "\"jdoe\"",
            "computers[0].userList.entries[0] must be a list or a JSON object.");
        bad("entry twice", "[2, \"amy\", \"amy.b\"]", "[0, \"amy\", \"amy.b\"]",
            "computers[0].userList.entries[1]: entry 0 is listed twice.");
        bad("negative entry", "[2, \"amy\", \"amy.b\"]", "[-2, \"amy\", \"amy.b\"]",
            "computers[0].userList.entries[1].id must be a whole number from 0 to 2147483647.");
        bad("entries without kind", "{\"id\": 2, \"name\": \"PC-0003\"}",
            "{\"id\": 2, \"name\": \"PC-0003\", \"userList\": {\"listType\": -1, \"nextID\": 1, \"entries\": [[0, \"a\", \"b\"]]}}",
            "computers[1].userList.listType is -1 (no entries) but the list has entries.");
        bad("kind without entries", "\"entries\": [[0]]", "\"entries\": []",
            "computers[3].userList.listType is 5 but the list has no entries.");
        bad("huge user list", "\"nextID\": 3,", "\"nextID\": 65537,",
            "computers[0].userList.nextID must be a whole number from 0 to 65536.");
        bad("IDs beyond the bound", "\"nextComputerID\": 6,", "\"nextComputerID\": 1048577,",
            "nextComputerID must be a whole number from 0 to 1048576.");
        const QByteArray text32768(32768, 'x');
        bad("job name of 32768 bytes", "Migration \xC3\x84 1", text32768, "jobName is longer than 32767 bytes.");
        bad("user name of 32768 bytes", "[0, \"jdoe\"", "[0, \"" + text32768 + '"',
            "computers[0].userList.entries[0][1] is longer than 32767 bytes.");
        // A long text stops the read where it stands: the broken text after it is never reached.
        const QByteArray text40000(40000, 'x');
        bad("long name, then junk", "[0, \"jdoe\"", "[0, \"" + text40000 + "\"{{{", "computers[0].userList.entries[0][1] is longer than");
        bad("long member name", "\"jobName\":", "\"" + text40000 + "\": {{{, \"jobName\":", "a member name in the top level is longer");
        bad("long unknown value", "\"jobName\":", "\"note\": [\"" + text40000 + "\"{{{, \"jobName\":",
            "a text inside the top level is longer");
        // The sealing parameters are checked before any work is spent on them.
        bad("salt", "\"salt\": \"", "\"salt\": \"AA", "passwords.kdf.salt must be 16 bytes in Base64.");
        bad("memory", "\"memLimit\": 8192", "\"memLimit\": 1073741825",
            "passwords.kdf: the memory limit 1073741825 is outside 8192 to 1073741824.");
        bad("passes", "\"opsLimit\": 1", "\"opsLimit\": 13", "passwords.kdf: the operations limit 13 is outside 1 to 12.");
        bad("passes times memory", "\"opsLimit\": 1,\r\n      \"memLimit\": 8192", "\"opsLimit\": 12,\r\n      \"memLimit\": 268435457",
            "passwords.kdf: 12 passes over 268435457 bytes are more than 4 times the work of 3 passes over 268435456 bytes.");
        QByteArray manyEntries = "\"entries\": [";
        for (int i = 0; i < 65537; ++i)
            manyEntries += "[0], ";
        manyEntries.chop(2);
        bad("too many entries", "\"entries\": [[0]]", manyEntries + "]", "computers[3].userList.entries holds more than 65536 entries.");
        // The text goes through the reader a megabyte at a time: a mistake
        // beyond the first piece is placed as exactly.
        QTest::newRow("bad JSON beyond a megabyte")
            << replaced(replaced(good, "\"nextFolderID\": 3,", "\"nextFolderID\": 3,,"), "\"jobName\": ", "\"jobName\": " + QByteArray(3 << 20, ' '))
            << int(SettingsFileResult::Damaged) << damaged + QStringLiteral("it is not valid JSON at line 9, column 21 (");
    }

    void refusedFilesNameTheProblem()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        QFETCH(QString, message);
        const auto decoded = SettingsFileCodec::Decode(bytes, kFile, QString());
        QCOMPARE(int(decoded.Result.status), status);
        QVERIFY2(decoded.Result.Message.startsWith(message), qPrintable(decoded.Result.Message));
        QVERIFY(decoded.Result.Message.endsWith(QLatin1Char('.')));
        QCOMPARE(m_presenter.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFileCodec)
#include "tst_SettingsFileCodec.moc"
