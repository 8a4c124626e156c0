#include "validation/JobValidator.h"

#include "job/JobFixture.h"
#include "network/modNetwork.h"

#include "support/RecordingPresenter.h"

#include <QSysInfo>
#include <QTest>

#include <algorithm>
#include <functional>
#include <type_traits>
#include <vector>

using namespace JobFixture;

namespace {

using Change = std::function<void(ComputerDB &, GlobalSettings &)>;

const QString kLocal = LocalAccountDomain;
const QString kLong127(127, QLatin1Char('x'));
const QString kLong128(128, QLatin1Char('x'));

Change acc(int type, const QString &user, const QString &password, const QString &domain)
{
    return [=](ComputerDB &, GlobalSettings &s) { s.SetUser(type, user, password, domain); };
}

template<class T> Change set(T GlobalSettings::*field, std::type_identity_t<T> value)
{
    return [=](ComputerDB &, GlobalSettings &s) { s.*field = value; };
}

Change list(int type, const QList<MigrationUsers> &entries)
{
    return [=](ComputerDB &db, GlobalSettings &) { setList(db, 0, type, entries); };
}

Change sids(const QList<MigrationUsers> &entries)
{
    return [=](ComputerDB &db, GlobalSettings &s) {
        makeSoundForSIDs(s);
        setList(db, 0, ListSIDToUser, entries);
    };
}

Change all(const std::vector<Change> &changes)
{
    return [=](ComputerDB &db, GlobalSettings &s) {
        for (const Change &change : changes)
            change(db, s);
    };
}

// A list whose entries were all deleted has still handed out IDs (code 105
// without a destination domain); a fresh list is one without profiles.
const Change noProfiles = [](ComputerDB &db, GlobalSettings &) { db.SetComputerUserList(0, UserProfiles::create()); };

const Change noList = [](ComputerDB &db, GlobalSettings &) { const_cast<ComputerRecord *>(db.Computers(0))->UserList.reset(); };

Change join(int type, const QString &name, const QString &dc = QString(), const QString &ip = QString())
{
    return all({set(&GlobalSettings::JoinVal, type), set(&GlobalSettings::JoinName, name), set(&GlobalSettings::JoinDCName, dc),
        set(&GlobalSettings::JoinDCIP, ip)});
}

const Change joinReady = join(JoinDomain, "NEWCORP", "NEW-DC1", "10.0.1.1");
const Change localSource = set(&GlobalSettings::SourceDomain, kLocal);
const Change localDestination = set(&GlobalSettings::DestinationDomain, kLocal);
const Change noDestination = set(&GlobalSettings::DestinationDomain, QString());
const Change noSource = set(&GlobalSettings::SourceDomain, QString());

// One way a sound single-computer database (computer 0, settings from the
// root, one user-to-user migration) is bent or broken, and the code it must
// give; 0 for the variants that must pass.
struct Case
{
    const char *name;
    int code;
    Change apply;
    // For the codes of texts the clients cannot read: the character named.
    QString character = QString();
};

const std::vector<Case> &cases()
{
    using GS = GlobalSettings;
    static const std::vector<Case> all_ = {
        // Sound variants.
        {"sound: user to user", 0, [](ComputerDB &, GS &) {}},
        {"sound: all users", 0, list(ListAllUsers, {entry("*ALL", "*ALL", false, "")})},
        {"sound: SID to user", 0, sids({entry("", "alice.new", true, kSid1), entry("", "bob.new", true, kSid2)})},
        {"sound: local accounts both sides", 0,
            all({localSource, localDestination, acc(AdminA, "varno", "", kLocal), acc(SourceSIDLookup, "", "", ""),
                acc(DestinationSIDLookup, "", "", "")})},
        {"sound: join a domain", 0, all({joinReady, acc(DomainJoin, "joiner", "pw", "NEWCORP")})},
        {"sound: join a workgroup", 0, join(JoinWorkgroup, "WORKGROUP")},
        {"sound: domain change only", 0,
            all({noProfiles, noSource, set(&GS::SourceDCName, QString()), set(&GS::SourceDCIP, QString()), noDestination,
                set(&GS::DestinationDCName, QString()), set(&GS::DestinationDCIP, QString()), acc(SourceSIDLookup, "", "", ""),
                acc(DestinationSIDLookup, "", "", ""), joinReady, acc(DomainJoin, "joiner", "pw", kLocal)})},
        // Not the join account: without a join it must have no password.
        {"sound: passwords of 127 characters", 0,
            all({acc(AdminA, "varno", kLong127, "OLDCORP"), acc(AdminB, "osk", kLong127, "NEWCORP"),
                acc(SourceSIDLookup, "lookup-old", kLong127, "OLDCORP"), acc(DestinationSIDLookup, "lookup-new", kLong127, "NEWCORP")})},
        {"sound: euro sign and Ç (199)", 0, acc(AdminA, "varno", QStringLiteral("€uro-Ç"), "OLDCORP")},
        {"sound: hexadecimal SID authority", 0, sids({entry("", "alice.new", true, "S-1-0x0000000000FF-4294967295")})},
        {"sound: fifteen sub-authorities", 0, sids({entry("", "alice.new", true, "S-1-5-21-1-2-3-4-5-6-7-8-9-10-11-12-13-14")})},
        {"sound: computer name of 15 characters", 0, [](ComputerDB &db, GS &) { db.RenameComputer(0, QString(15, 'P')); }},
        {"sound: domains and controllers by their DNS names", 0,
            all({set(&GS::SourceDomain, "old.corp.example.com"), set(&GS::SourceDCName, "dc01.old.corp.example.com"),
                set(&GS::DestinationDomain, "new.corp.example.com"), set(&GS::DestinationDCName, "dc01.new.corp.example.com")})},

        // The computer's own name, before its settings.
        {"computer name with a blank and !", 309,
            all({[](ComputerDB &db, GS &) { db.RenameComputer(0, QStringLiteral("BAD NAME!")); }, acc(AdminA, "varno", "p", "")})},
        {"computer name of 16 characters", 309, [](ComputerDB &db, GS &) { db.RenameComputer(0, QString(16, 'P')); }},

        // Accounts.
        {"Local Admin A domain empty", 1, acc(AdminA, "varno", "p", "")},
        {"Local Admin A user empty", 3, acc(AdminA, "", "p", "OLDCORP")},
        {"Local Admin B domain with *", 9, acc(AdminB, "osk", "p", "NEW*")},
        {"Local Admin B user 21 characters", 11, acc(AdminB, QString(21, 'u'), "p", "NEWCORP")},
        {"Local Admin A password 128", 2, acc(AdminA, "varno", kLong128, "OLDCORP")},
        {"Destination SID Lookup password 128", 6, acc(DestinationSIDLookup, "lookup-new", kLong128, "NEWCORP")},
        {"Local Admin B password 128", 10, acc(AdminB, "osk", kLong128, "NEWCORP")},
        {"Domain Join password 128", 20, acc(DomainJoin, "", kLong128, "")},
        {"Source SID Lookup password 128", 14, acc(SourceSIDLookup, "lookup-old", kLong128, "OLDCORP")},

        // User list.
        {"profiles without destination domain", 105, noDestination},
        {"deleted profiles still need a destination domain", 105,
            all({[](ComputerDB &db, GS &) { db.GetComputerUserList(0)->DeleteUser(0); }, noDestination})},
        {"destination user invalid", 200, list(ListUserToUser, {entry("alice", "a|b", false, "")})},
        {"source user invalid", 204, list(ListUserToUser, {entry("al=ice", "alice.new", false, "")})},
        {"all users with a one-sided *ALL", 204, list(ListAllUsers, {entry("*ALL", "bob", false, "")})},
        {"SID on a user-to-user entry", 203, list(ListUserToUser, {entry("alice", "alice.new", false, kSid1)})},
        {"user-to-SID list", 902, list(ListUserToSID, {entry("alice", "alice.new", false, "", true, kSid2)})},
        // A destination SID is not sent, so its text is not looked at.
        {"user-to-SID list with an unsendable SID", 902, list(ListUserToSID, {entry("alice", "alice.new", false, "", true, "S-1-5-É")})},
        // No operation drops a computer's list; a damaged record can lack one.
        {"no list object, no join", 308, noList},
        {"no list object, joining a domain: on to the domains", 106, all({noList, joinReady, acc(DomainJoin, "joiner", "", "NEWCORP")})},
        {"SID list: sub-authority of 2^32", 201, sids({entry("", "alice.new", true, "S-1-5-4294967296")})},
        {"SID list: sixteen sub-authorities", 201, sids({entry("", "alice.new", true, "S-1-5-21-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15")})},
        {"SID list: entry sourced by a user name", 202, sids({entry("", "bob", true, kSid1), entry("alice", "alice.new", false, "")})},
        {"SID list: user name beside the SID", 205, sids({entry("alice", "alice.new", true, kSid1)})},

        // Destination domain.
        {"destination domain invalid", 104, set(&GS::DestinationDomain, "NEW;CORP")},
        {"destination DC missing", 102, set(&GS::DestinationDCName, QString())},
        {"destination DC address invalid", 100, set(&GS::DestinationDCIP, "10.0.1")},
        {"destination domain without profiles", 106, noProfiles},
        {"destination DC without domain", 103, all({noProfiles, noDestination})},

        // Source domain.
        {"source domain invalid", 112, set(&GS::SourceDomain, "OLD<CORP>")},
        {"source DC missing", 109, set(&GS::SourceDCName, QString())},
        {"source DC address invalid", 107, set(&GS::SourceDCIP, "10.0.0.256")},
        {"source domain without profiles", 114, all({noProfiles, localDestination})},
        {"source domain missing for user profiles", 113, noSource},
        {"source DC without domain", 111, all({noProfiles, localDestination, noSource})},

        // Source SID Lookup.
        {"source lookup user invalid", 16, acc(SourceSIDLookup, "look/up", "pw3", "OLDCORP")},
        {"source lookup domain invalid", 12, acc(SourceSIDLookup, "lookup-old", "pw3", "")},
        {"source lookup missing for user profiles", 16, acc(SourceSIDLookup, "", "", "")},
        {"source lookup password without user", 15, all({localSource, acc(SourceSIDLookup, "", "pw3", "")})},
        {"source lookup domain without user", 13, all({localSource, acc(SourceSIDLookup, "", "", "OLDCORP")})},
        {"source lookup given for SID sources", 17,
            all({sids({entry("", "alice.new", true, kSid1)}), acc(SourceSIDLookup, "lookup-old", "pw3", "OLDCORP")})},

        // Destination SID Lookup.
        {"destination lookup user invalid", 8, acc(DestinationSIDLookup, "look+up", "pw4", "NEWCORP")},
        {"destination lookup domain invalid", 4, acc(DestinationSIDLookup, "lookup-new", "pw4", "NEW\"CORP")},
        {"destination lookup missing for user profiles", 8, acc(DestinationSIDLookup, "", "", "")},
        {"destination lookup missing for SID profiles", 8,
            all({sids({entry("", "alice.new", true, kSid1)}), acc(DestinationSIDLookup, "", "", "")})},
        {"destination lookup password without user", 7, all({localDestination, acc(DestinationSIDLookup, "", "pw4", "")})},
        {"destination lookup domain without user", 5, all({localDestination, acc(DestinationSIDLookup, "", "", "NEWCORP")})},

        // Domain join.
        {"join type -1", 903, set(&GS::JoinVal, -1)},
        {"join domain: name missing", 306, set(&GS::JoinVal, int(JoinDomain))},
        {"join domain: DC invalid", 303, join(JoinDomain, "NEWCORP", "DC:1")},
        {"join domain: DNS name with a blank", 306, join(JoinDomain, "new corp.example.local", "NEW-DC1")},
        {"join domain: DC address missing", 301, join(JoinDomain, "NEWCORP", "NEW-DC1")},
        {"join domain: account missing", 22, joinReady},
        {"join domain: account domain invalid", 18, all({joinReady, acc(DomainJoin, "joiner", "pw", "")})},
        {"join workgroup: name invalid", 306, join(JoinWorkgroup, "WORK[GROUP]")},
        {"join workgroup: DC given", 305, join(JoinWorkgroup, "WORKGROUP", "NEW-DC1")},
        {"no join: name given", 905, set(&GS::JoinName, "NEWCORP")},
        {"no join: account user given", 23, acc(DomainJoin, "joiner", "", "")},
        {"no join: account password given", 21, acc(DomainJoin, "", "pw", "")},
        {"no join: account domain given", 19, acc(DomainJoin, "", "", "NEWCORP")},

        // Options.
        {"reboot permitted not set", 904, set(&GS::RebootPermitted, -1)},
        {"force reboot 2", 901, set(&GS::ForceReboot, 2)},
        {"minimum free space -2", 300, set(&GS::MinFreeSpace, -2)},

        // Texts the clients cannot read, field by field, in the order checked.
        {"computer name with é", 310, [](ComputerDB &db, GS &) { db.RenameComputer(0, QStringLiteral("José-PC")); }, "é"},
        {"Local Admin A domain with È, the first code refused", 311, acc(AdminA, "varno", "p", QStringLiteral("CORPÈ")), "È"},
        {"Local Admin A password with CR", 313, acc(AdminA, "varno", "a\rb", "OLDCORP"), "\r"},
        {"Local Admin B password outside the BMP", 319, acc(AdminB, "osk", QStringLiteral("p\U0001F600"), "NEWCORP"),
            QStringLiteral("\U0001F600")},
        {"Source SID Lookup password with DEL", 325, acc(SourceSIDLookup, "lookup-old", "a\x7f", "OLDCORP"), "\x7f"},
        {"workgroup name", 336, join(JoinWorkgroup, QStringLiteral("GRÜPPE")), "Ü"},
        {"source user", 340, list(ListUserToUser, {entry(QStringLiteral("josé"), "jose", false, "")}), "é"},
        {"source SID", 341, sids({entry("", "alice.new", true, QStringLiteral("S-1-5-21-É"))}), "É"},
        {"destination user", 342, list(ListUserToUser, {entry("jose", QStringLiteral("josé"), false, "")}), "é"},
    };
    return all_;
}

ValidationResult verify(const ComputerDB &db, int first = 0)
{
    return JobValidator(db).Verify(first);
}

// Computers PC-0 .. PC-<count-1> under the root, settings from the root;
// one of them is the sound database every case starts from.
void buildMany(ComputerDB &db, int count = 1)
{
    makeSound(global(db));
    for (int i = 0; i < count; ++i)
        addComputer(db, QStringLiteral("PC-%1").arg(i));
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestJobValidator : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;

private Q_SLOTS:
    void init()
    {
        AppState::Reset();
        m_presenter.clear();
    }

    void everyCode_data()
    {
        QTest::addColumn<int>("index");
        for (size_t i = 0; i < cases().size(); ++i)
            QTest::newRow(cases().at(i).name) << static_cast<int>(i);
    }

    void everyCode()
    {
        QFETCH(int, index);
        const Case &c = cases().at(static_cast<size_t>(index));
        ComputerDB db;
        buildMany(db);
        c.apply(db, global(db));
        const ValidationResult result = verify(db);
        QCOMPARE(result.Code, c.code);
        QCOMPARE(result.ComputerKey, c.code == 0 ? QString() : QStringLiteral("C0"));
        if (c.code != 0)
            QCOMPARE(result.SettingsSourceKey, QStringLiteral("F-1"));
        QCOMPARE(result.Character, c.character);
        QCOMPARE(m_presenter.count(), 0);
    }

    void order_data()
    {
        QTest::addColumn<QList<int>>("faults");
        QTest::addColumn<int>("code");
        // Faults of different fields, each the first row of its code in
        // everyCode; together the earlier check wins.
        QTest::newRow("accounts before the list") << QList<int> {105, 14} << 14;
        QTest::newRow("list before destination domain") << QList<int> {104, 200} << 200;
        QTest::newRow("destination before source") << QList<int> {112, 102} << 102;
        QTest::newRow("source domain before lookups") << QList<int> {16, 107} << 107;
        QTest::newRow("source lookup before destination lookup") << QList<int> {8, 12} << 12;
        QTest::newRow("lookups before the join") << QList<int> {905, 4} << 4;
        QTest::newRow("join before options") << QList<int> {904, 305} << 305;
        QTest::newRow("texts before any field") << QList<int> {112, 313} << 313;
    }

    void order()
    {
        QFETCH(QList<int>, faults);
        QFETCH(int, code);
        ComputerDB db;
        buildMany(db);
        for (const int fault : faults) {
            const auto c = std::find_if(cases().begin(), cases().end(), [fault](const Case &k) { return k.code == fault; });
            QVERIFY(c != cases().end());
            c->apply(db, global(db));
        }
        QCOMPARE(verify(db).Code, code);
    }

    void computersInIdOrderFromTheStartIndex()
    {
        ComputerDB db;
        buildMany(db, 3);
        own(db, 1).DestinationDCName.clear();
        own(db, 2).SourceDomain = QStringLiteral("bad/name");
        QCOMPARE(verify(db, 0).Code, 102);
        const ValidationResult result = verify(db, 2);
        QCOMPARE((QStringList {QString::number(result.Code), QString::number(result.Index), result.ComputerKey, result.SettingsSourceKey}),
            (QStringList {"112", "2", "C2", "C2"}));
    }

    // Computers are checked one after the other, texts first on each. Only
    // a warning lets the pass look further, for texts alone: ignoring the
    // warning must not carry a text the clients cannot read into the run.
    void twoComputers_data()
    {
        QTest::addColumn<Change>("first");
        QTest::addColumn<Change>("second");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("index");
        const Change pc1Text = acc(AdminA, QStringLiteral("varnö"), "p", "OLDCORP");
        QTest::newRow("a field of PC-0 before a text of PC-1") << acc(AdminA, "varno", "p", "") << pc1Text << 1 << 0;
        QTest::newRow("a warning of PC-0 gives way to a text of PC-1") << noProfiles << pc1Text << 312 << 1;
        QTest::newRow("a warning of PC-0 before a field of PC-1") << noProfiles << acc(AdminA, "varno", "p", "") << 106 << 0;
    }

    void twoComputers()
    {
        QFETCH(Change, first);
        QFETCH(Change, second);
        QFETCH(int, code);
        QFETCH(int, index);
        ComputerDB db;
        buildMany(db, 2);
        first(db, own(db, 0));
        second(db, own(db, 1));
        const ValidationResult result = verify(db);
        QCOMPARE(result.Code, code);
        QCOMPARE(result.Index, index);
        QCOMPARE(result.SettingsSourceKey, QStringLiteral("C%1").arg(index));
    }

    // A loopback listener serves this machine alone: every other computer
    // is warned about, after its own faults, and this machine never is.
    void loopbackListener_data()
    {
        QTest::addColumn<QString>("listener");
        QTest::addColumn<QString>("computer");
        QTest::addColumn<int>("code");
        QTest::newRow("another computer") << "127.0.0.1"
                                          << "PC-0" << 307;
        QTest::newRow("anywhere in 127/8") << "127.9.8.7"
                                           << "PC-0" << 307;
        QTest::newRow("localhost") << "127.0.0.1"
                                   << "LOCALHOST" << 0;
        QTest::newRow("this machine by name") << "127.0.0.1" << QSysInfo::machineHostName().section('.', 0, 0).toUpper() << 0;
        QTest::newRow("a listener others reach") << "10.0.0.5"
                                                 << "PC-0" << 0;
    }

    void loopbackListener()
    {
        QFETCH(QString, listener);
        QFETCH(QString, computer);
        QFETCH(int, code);
        ComputerDB db;
        buildMany(db, 2);
        db.RenameComputer(0, computer);
        own(db, 1).SourceDomain = QStringLiteral("bad/name");
        const JobValidator validator(db, listener);
        QCOMPARE(validator.Verify().Code, code == 0 ? 112 : code);
        const QList<ValidationResult> faults = validator.Faults(0);
        QCOMPARE(faults.isEmpty() ? 0 : faults.constFirst().Code, code);
        QCOMPARE(validator.Faults(1).size(), modNetwork::IsLoopbackAddress(listener) ? 2 : 1);
    }

    void computersNotTakingPartAreSkipped()
    {
        ComputerDB db;
        buildMany(db, 2);
        own(db, 0).SourceDomain = QStringLiteral("bad/name");
        own(db, 1).SourceDomain = QStringLiteral("bad/name");
        // A removed computer, and one whose record says it is not in use.
        db.RemoveComputer(0);
        own(db, 1).Valid = false;
        QCOMPARE(verify(db).Code, 0);
        QCOMPARE(verify(ComputerDB()).Code, 0);
    }
};

QTEST_GUILESS_MAIN(TestJobValidator)
#include "tst_JobValidator.moc"
