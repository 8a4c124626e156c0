#include "engine/JobValidator.h"
#include "engine/ValidationCode.h"

#include "JobFixture.h"

#include "support/RecordingPresenter.h"

#include <QTest>

#include <functional>
#include <vector>

using namespace JobFixture;

namespace {

const QString kLocal = LocalAccountDomain;
const QString kLong127(127, QLatin1Char('x'));
const QString kLong128(128, QLatin1Char('x'));

// One way a sound single-computer database (computer 0, settings from the
// root, one user-to-user migration) is broken, and the code it must give.
struct Case
{
    const char *name;
    int code;
    std::function<void(ComputerDB &, GlobalSettings &)> apply;
};

void account(GlobalSettings &s, int type, const QString &user, const QString &password, const QString &domain)
{
    s.SetUser(type, user, password, domain);
}

// A list whose entries were all deleted has still handed out IDs (code 105
// without a destination domain); a fresh list is one without profiles.
void noProfiles(ComputerDB &db)
{
    db.SetComputerUserList(0, UserProfiles::create());
}

void sidList(ComputerDB &db, GlobalSettings &s, const QList<MigrationUsers> &entries)
{
    makeSoundForSIDs(s);
    setList(db, 0, ListSIDToUser, entries);
}

const std::vector<Case> &cases()
{
    using namespace ValidationCode;
    static const std::vector<Case> all = {
        // A. Accounts.
        {"Local Admin A domain empty", 1, [](ComputerDB &, GlobalSettings &s) { account(s, AdminA, "varno", "p", ""); }},
        {"Local Admin A domain with backslash", 1, [](ComputerDB &, GlobalSettings &s) { account(s, AdminA, "varno", "p", "A\\B"); }},
        {"Local Admin A domain and user both bad", 1, [](ComputerDB &, GlobalSettings &s) { account(s, AdminA, "", "p", ""); }},
        {"Local Admin A user empty", 3, [](ComputerDB &, GlobalSettings &s) { account(s, AdminA, "", "p", "OLDCORP"); }},
        {"Local Admin B domain with *", 9, [](ComputerDB &, GlobalSettings &s) { account(s, AdminB, "osk", "p", "NEW*"); }},
        {"Local Admin B user 21 characters", 11,
            [](ComputerDB &, GlobalSettings &s) { account(s, AdminB, QString(21, 'u'), "p", "NEWCORP"); }},
        {"Local Admin A password 128", 2, [](ComputerDB &, GlobalSettings &s) { account(s, AdminA, "varno", kLong128, "OLDCORP"); }},
        {"Destination SID Lookup password 128", 6,
            [](ComputerDB &, GlobalSettings &s) { account(s, DestinationSIDLookup, "lookup-new", kLong128, "NEWCORP"); }},
        {"Local Admin B password 128", 10, [](ComputerDB &, GlobalSettings &s) { account(s, AdminB, "osk", kLong128, "NEWCORP"); }},
        {"Domain Join password 128", 20, [](ComputerDB &, GlobalSettings &s) { account(s, DomainJoin, "", kLong128, ""); }},
        {"Source SID Lookup password 128", 14,
            [](ComputerDB &, GlobalSettings &s) { account(s, SourceSIDLookup, "lookup-old", kLong128, "OLDCORP"); }},

        // B. User list.
        {"profiles without destination domain", 105, [](ComputerDB &, GlobalSettings &s) { s.DestinationDomain.clear(); }},
        {"deleted profiles still need a destination domain", 105,
            [](ComputerDB &db, GlobalSettings &s) {
                db.GetComputerUserList(0)->DeleteUser(0);
                s.DestinationDomain.clear();
            }},
        {"destination user invalid", 200,
            [](ComputerDB &db, GlobalSettings &) { setList(db, 0, ListUserToUser, {entry("alice", "a|b", false, "")}); }},
        {"destination user empty", 200,
            [](ComputerDB &db, GlobalSettings &) { setList(db, 0, ListUserToUser, {entry("alice", "", false, "")}); }},
        {"destination user checked before source user", 200,
            [](ComputerDB &db, GlobalSettings &) { setList(db, 0, ListUserToUser, {entry("al=ice", "a|b", false, "")}); }},
        {"source user invalid", 204,
            [](ComputerDB &db, GlobalSettings &) { setList(db, 0, ListUserToUser, {entry("al=ice", "alice.new", false, "")}); }},
        {"all users with a one-sided *ALL", 204,
            [](ComputerDB &db, GlobalSettings &) { setList(db, 0, ListAllUsers, {entry("*ALL", "bob", false, "")}); }},
        {"SID on a user-to-user entry", 203,
            [](ComputerDB &db, GlobalSettings &) { setList(db, 0, ListUserToUser, {entry("alice", "alice.new", false, sid1())}); }},
        {"user-to-SID list", 902,
            [](ComputerDB &db, GlobalSettings &) {
                setList(db, 0, ListUserToSID, {entry("alice", "alice.new", false, "", true, sid2())});
            }},
        {"SID-to-SID list", 902,
            [](ComputerDB &db, GlobalSettings &) { setList(db, 0, ListSIDToSID, {entry("", "alice.new", true, sid1(), true, sid2())}); }},
        {"SID list: source SID not a SID", 201,
            [](ComputerDB &db, GlobalSettings &s) { sidList(db, s, {entry("", "alice.new", true, "alice")}); }},
        {"SID list: source SID empty", 201, [](ComputerDB &db, GlobalSettings &s) { sidList(db, s, {entry("", "alice.new", true, "")}); }},
        {"SID list: revision 2", 201,
            [](ComputerDB &db, GlobalSettings &s) { sidList(db, s, {entry("", "alice.new", true, "S-2-5-21-1")}); }},
        {"SID list: no sub-authority", 201,
            [](ComputerDB &db, GlobalSettings &s) { sidList(db, s, {entry("", "alice.new", true, "S-1-5")}); }},
        {"SID list: sub-authority of 2^32", 201,
            [](ComputerDB &db, GlobalSettings &s) { sidList(db, s, {entry("", "alice.new", true, "S-1-5-4294967296")}); }},
        {"SID list: 16 sub-authorities", 201,
            [](ComputerDB &db, GlobalSettings &s) {
                sidList(db, s, {entry("", "alice.new", true, "S-1-5" + QString("-1").repeated(16))});
            }},
        {"SID list: blank inside", 201,
            [](ComputerDB &db, GlobalSettings &s) { sidList(db, s, {entry("", "alice.new", true, "S-1-5-21- 7")}); }},
        {"SID list: entry sourced by a user name", 202,
            [](ComputerDB &db, GlobalSettings &s) {
                sidList(db, s, {entry("", "bob", true, sid1()), entry("alice", "alice.new", false, "")});
            }},
        {"SID list: user name beside the SID", 205,
            [](ComputerDB &db, GlobalSettings &s) { sidList(db, s, {entry("alice", "alice.new", true, sid1())}); }},
        {"SID list: destination user invalid", 200,
            [](ComputerDB &db, GlobalSettings &s) { sidList(db, s, {entry("", "a?b", true, sid1())}); }},

        // C. Destination domain.
        {"destination domain invalid", 104, [](ComputerDB &, GlobalSettings &s) { s.DestinationDomain = "NEW;CORP"; }},
        {"destination DC missing", 102, [](ComputerDB &, GlobalSettings &s) { s.DestinationDCName.clear(); }},
        {"destination DC address invalid", 100, [](ComputerDB &, GlobalSettings &s) { s.DestinationDCIP = "10.0.1"; }},
        {"destination domain without profiles", 106, [](ComputerDB &db, GlobalSettings &) { noProfiles(db); }},
        {"destination DC without domain", 103,
            [](ComputerDB &db, GlobalSettings &s) {
                noProfiles(db);
                s.DestinationDomain.clear();
            }},
        {"destination DC address without domain", 101,
            [](ComputerDB &db, GlobalSettings &s) {
                noProfiles(db);
                s.DestinationDomain.clear();
                s.DestinationDCName.clear();
            }},

        // D. Source domain.
        {"source domain invalid", 112, [](ComputerDB &, GlobalSettings &s) { s.SourceDomain = "OLD<CORP>"; }},
        {"source DC missing", 109, [](ComputerDB &, GlobalSettings &s) { s.SourceDCName.clear(); }},
        {"source DC address invalid", 107, [](ComputerDB &, GlobalSettings &s) { s.SourceDCIP = "10.0.0.256"; }},
        {"source domain without profiles", 114,
            [](ComputerDB &db, GlobalSettings &s) {
                noProfiles(db);
                s.DestinationDomain = kLocal;
            }},
        {"source domain missing for user profiles", 113, [](ComputerDB &, GlobalSettings &s) { s.SourceDomain.clear(); }},
        {"source DC without domain", 111,
            [](ComputerDB &db, GlobalSettings &s) {
                noProfiles(db);
                s.DestinationDomain = kLocal;
                s.SourceDomain.clear();
            }},
        {"source DC address without domain", 108,
            [](ComputerDB &db, GlobalSettings &s) {
                noProfiles(db);
                s.DestinationDomain = kLocal;
                s.SourceDomain.clear();
                s.SourceDCName.clear();
            }},

        // E. Source SID Lookup.
        {"source lookup user invalid", 16,
            [](ComputerDB &, GlobalSettings &s) { account(s, SourceSIDLookup, "look/up", "pw3", "OLDCORP"); }},
        {"source lookup user invalid before its domain", 16,
            [](ComputerDB &, GlobalSettings &s) { account(s, SourceSIDLookup, "look/up", "pw3", ""); }},
        {"source lookup domain invalid", 12, [](ComputerDB &, GlobalSettings &s) { account(s, SourceSIDLookup, "lookup-old", "pw3", ""); }},
        {"source lookup missing for user profiles", 16, [](ComputerDB &, GlobalSettings &s) { account(s, SourceSIDLookup, "", "", ""); }},
        {"source lookup password without user", 15,
            [](ComputerDB &, GlobalSettings &s) {
                s.SourceDomain = kLocal;
                account(s, SourceSIDLookup, "", "pw3", "");
            }},
        {"source lookup domain without user", 13,
            [](ComputerDB &, GlobalSettings &s) {
                s.SourceDomain = kLocal;
                account(s, SourceSIDLookup, "", "", "OLDCORP");
            }},
        {"source lookup given for SID sources", 17,
            [](ComputerDB &db, GlobalSettings &s) {
                sidList(db, s, {entry("", "alice.new", true, sid1())});
                account(s, SourceSIDLookup, "lookup-old", "pw3", "OLDCORP");
            }},

        // F. Destination SID Lookup.
        {"destination lookup user invalid", 8,
            [](ComputerDB &, GlobalSettings &s) { account(s, DestinationSIDLookup, "look+up", "pw4", "NEWCORP"); }},
        {"destination lookup domain invalid", 4,
            [](ComputerDB &, GlobalSettings &s) { account(s, DestinationSIDLookup, "lookup-new", "pw4", "NEW\"CORP"); }},
        {"destination lookup missing for user profiles", 8,
            [](ComputerDB &, GlobalSettings &s) { account(s, DestinationSIDLookup, "", "", ""); }},
        {"destination lookup missing for SID profiles", 8,
            [](ComputerDB &db, GlobalSettings &s) {
                sidList(db, s, {entry("", "alice.new", true, sid1())});
                account(s, DestinationSIDLookup, "", "", "");
            }},
        {"destination lookup password without user", 7,
            [](ComputerDB &, GlobalSettings &s) {
                s.DestinationDomain = kLocal;
                account(s, DestinationSIDLookup, "", "pw4", "");
            }},
        {"destination lookup domain without user", 5,
            [](ComputerDB &, GlobalSettings &s) {
                s.DestinationDomain = kLocal;
                account(s, DestinationSIDLookup, "", "", "NEWCORP");
            }},

        // G. Domain join.
        {"join type 3", 903, [](ComputerDB &, GlobalSettings &s) { s.JoinVal = 3; }},
        {"join type -1", 903, [](ComputerDB &, GlobalSettings &s) { s.JoinVal = -1; }},
        {"join domain: name missing", 306, [](ComputerDB &, GlobalSettings &s) { s.JoinVal = JoinDomain; }},
        {"join domain: DC invalid", 303,
            [](ComputerDB &, GlobalSettings &s) {
                s.JoinVal = JoinDomain;
                s.JoinName = "NEWCORP";
                s.JoinDCName = "DC:1";
            }},
        {"join domain: DC address missing", 301,
            [](ComputerDB &, GlobalSettings &s) {
                s.JoinVal = JoinDomain;
                s.JoinName = "NEWCORP";
                s.JoinDCName = "NEW-DC1";
            }},
        {"join domain: account missing", 22,
            [](ComputerDB &, GlobalSettings &s) {
                s.JoinVal = JoinDomain;
                s.JoinName = "NEWCORP";
                s.JoinDCName = "NEW-DC1";
                s.JoinDCIP = "10.0.1.1";
            }},
        {"join domain: account user invalid", 22,
            [](ComputerDB &, GlobalSettings &s) {
                s.JoinVal = JoinDomain;
                s.JoinName = "NEWCORP";
                s.JoinDCName = "NEW-DC1";
                s.JoinDCIP = "10.0.1.1";
                account(s, DomainJoin, "join,er", "pw", "NEWCORP");
            }},
        {"join domain: account domain invalid", 18,
            [](ComputerDB &, GlobalSettings &s) {
                s.JoinVal = JoinDomain;
                s.JoinName = "NEWCORP";
                s.JoinDCName = "NEW-DC1";
                s.JoinDCIP = "10.0.1.1";
                account(s, DomainJoin, "joiner", "pw", "");
            }},
        {"join workgroup: name invalid", 306,
            [](ComputerDB &, GlobalSettings &s) {
                s.JoinVal = JoinWorkgroup;
                s.JoinName = "WORK[GROUP]";
            }},
        {"join workgroup: DC given", 305,
            [](ComputerDB &, GlobalSettings &s) {
                s.JoinVal = JoinWorkgroup;
                s.JoinName = "WORKGROUP";
                s.JoinDCName = "NEW-DC1";
            }},
        {"no join: name given", 905, [](ComputerDB &, GlobalSettings &s) { s.JoinName = "NEWCORP"; }},
        {"no join: DC given", 305, [](ComputerDB &, GlobalSettings &s) { s.JoinDCName = "NEW-DC1"; }},
        {"no join: DC address given", 302, [](ComputerDB &, GlobalSettings &s) { s.JoinDCIP = "10.0.1.1"; }},
        {"no join: account user given", 23, [](ComputerDB &, GlobalSettings &s) { account(s, DomainJoin, "joiner", "", ""); }},
        {"no join: account password given", 21, [](ComputerDB &, GlobalSettings &s) { account(s, DomainJoin, "", "pw", ""); }},
        {"no join: account domain given", 19, [](ComputerDB &, GlobalSettings &s) { account(s, DomainJoin, "", "", "NEWCORP"); }},

        // H. Options.
        {"reboot permitted not set", 904, [](ComputerDB &, GlobalSettings &s) { s.RebootPermitted = -1; }},
        {"reboot permitted 2", 904, [](ComputerDB &, GlobalSettings &s) { s.RebootPermitted = 2; }},
        {"force reboot 2", 901, [](ComputerDB &, GlobalSettings &s) { s.ForceReboot = 2; }},
        {"force reboot not set", 901, [](ComputerDB &, GlobalSettings &s) { s.ForceReboot = -1; }},
        {"minimum free space -2", 300, [](ComputerDB &, GlobalSettings &s) { s.MinFreeSpace = -2; }},

        // Texts the clients cannot read, field by field, in the order checked.
        {"computer name with é", 310, [](ComputerDB &db, GlobalSettings &) { db.RenameComputer(0, QStringLiteral("José-PC")); }},
        {"Local Admin A domain with È (200)", 311,
            [](ComputerDB &, GlobalSettings &s) { account(s, AdminA, "varno", "p", QStringLiteral("CORPÈ")); }},
        {"Local Admin A user with ł", 312,
            [](ComputerDB &, GlobalSettings &s) { account(s, AdminA, QStringLiteral("pawł"), "p", "OLDCORP"); }},
        {"Local Admin A password with é", 313,
            [](ComputerDB &, GlobalSettings &s) { account(s, AdminA, "varno", QStringLiteral("café"), "OLDCORP"); }},
        {"Destination SID Lookup domain", 314,
            [](ComputerDB &, GlobalSettings &s) { account(s, DestinationSIDLookup, "lookup-new", "pw4", QStringLiteral("NÉW")); }},
        {"Destination SID Lookup user", 315,
            [](ComputerDB &, GlobalSettings &s) { account(s, DestinationSIDLookup, QStringLiteral("ñame"), "pw4", "NEWCORP"); }},
        {"Destination SID Lookup password with line feed", 316,
            [](ComputerDB &, GlobalSettings &s) { account(s, DestinationSIDLookup, "lookup-new", QStringLiteral("a\nb"), "NEWCORP"); }},
        {"Local Admin B domain", 317, [](ComputerDB &, GlobalSettings &s) { account(s, AdminB, "osk", "p", QStringLiteral("ÿ")); }},
        {"Local Admin B user", 318, [](ComputerDB &, GlobalSettings &s) { account(s, AdminB, QStringLiteral("øsk"), "p", "NEWCORP"); }},
        {"Local Admin B password with an emoji", 319,
            [](ComputerDB &, GlobalSettings &s) { account(s, AdminB, "osk", QStringLiteral("p\U0001F600"), "NEWCORP"); }},
        {"Domain Join domain", 320, [](ComputerDB &, GlobalSettings &s) { account(s, DomainJoin, "", "", QStringLiteral("Ü")); }},
        {"Domain Join user", 321, [](ComputerDB &, GlobalSettings &s) { account(s, DomainJoin, QStringLiteral("Ü"), "", ""); }},
        {"Domain Join password with a tab", 322,
            [](ComputerDB &, GlobalSettings &s) { account(s, DomainJoin, "", QStringLiteral("a\tb"), ""); }},
        {"Source SID Lookup domain", 323,
            [](ComputerDB &, GlobalSettings &s) { account(s, SourceSIDLookup, "lookup-old", "pw3", QStringLiteral("Ö")); }},
        {"Source SID Lookup user", 324,
            [](ComputerDB &, GlobalSettings &s) { account(s, SourceSIDLookup, QStringLiteral("Ö"), "pw3", "OLDCORP"); }},
        {"Source SID Lookup password with DEL", 325,
            [](ComputerDB &, GlobalSettings &s) { account(s, SourceSIDLookup, "lookup-old", QStringLiteral("a\x7f"), "OLDCORP"); }},
        {"destination domain", 333, [](ComputerDB &, GlobalSettings &s) { s.DestinationDomain = QStringLiteral("NEWÇORPÉ"); }},
        {"destination DC", 334, [](ComputerDB &, GlobalSettings &s) { s.DestinationDCName = QStringLiteral("DÇ-É"); }},
        {"destination DC address", 335, [](ComputerDB &, GlobalSettings &s) { s.DestinationDCIP = QStringLiteral("10.0.1.١"); }},
        {"source domain", 330, [](ComputerDB &, GlobalSettings &s) { s.SourceDomain = QStringLiteral("ÖLD"); }},
        {"source DC", 331, [](ComputerDB &, GlobalSettings &s) { s.SourceDCName = QStringLiteral("ÖLD-DC"); }},
        {"source DC address", 332, [](ComputerDB &, GlobalSettings &s) { s.SourceDCIP = QStringLiteral("10.0.0.1\r"); }},
        {"workgroup name", 336,
            [](ComputerDB &, GlobalSettings &s) {
                s.JoinVal = JoinWorkgroup;
                s.JoinName = QStringLiteral("GRÜPPE");
            }},
        {"join DC", 337, [](ComputerDB &, GlobalSettings &s) { s.JoinDCName = QStringLiteral("DÉ"); }},
        {"join DC address", 338, [](ComputerDB &, GlobalSettings &s) { s.JoinDCIP = QStringLiteral("1.2.3.4é"); }},
        {"source user", 340,
            [](ComputerDB &db, GlobalSettings &) { setList(db, 0, ListUserToUser, {entry(QStringLiteral("josé"), "jose", false, "")}); }},
        {"source SID", 341,
            [](ComputerDB &db, GlobalSettings &s) { sidList(db, s, {entry("", "alice.new", true, QStringLiteral("S-1-5-21-É"))}); }},
        {"destination user", 342,
            [](ComputerDB &db, GlobalSettings &) { setList(db, 0, ListUserToUser, {entry("jose", QStringLiteral("josé"), false, "")}); }},
    };
    return all;
}

ValidationResult verify(const ComputerDB &db, int first = 0)
{
    return JobValidator(db).Verify(first);
}

} // namespace

class TestJobValidator : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;

    // The sound database every case starts from.
    static void build(ComputerDB &db)
    {
        makeSound(global(db));
        addComputer(db, QStringLiteral("PC-1"));
    }

private Q_SLOTS:
    void init()
    {
        AppState::Reset();
        m_presenter.clear();
    }

    void soundDatabasesPass_data()
    {
        QTest::addColumn<int>("variant");
        QTest::newRow("user to user") << 0;
        QTest::newRow("all users") << 1;
        QTest::newRow("SID to user") << 2;
        QTest::newRow("local accounts both sides") << 3;
        QTest::newRow("join a domain") << 4;
        QTest::newRow("join a workgroup") << 5;
        QTest::newRow("domain change only") << 6;
        QTest::newRow("passwords of 127 characters") << 7;
        QTest::newRow("euro sign and Ç (199)") << 8;
        QTest::newRow("hexadecimal SID authority") << 9;
    }

    void soundDatabasesPass()
    {
        QFETCH(int, variant);
        ComputerDB db;
        build(db);
        GlobalSettings &s = global(db);
        switch (variant) {
        case 1:
            setList(db, 0, ListAllUsers, {entry("*ALL", "*ALL", false, "")});
            break;
        case 2:
            makeSoundForSIDs(s);
            setList(db, 0, ListSIDToUser, {entry("", "alice.new", true, sid1()), entry("", "bob.new", true, sid2())});
            break;
        case 3:
            s.SourceDomain = LocalAccountDomain;
            s.DestinationDomain = LocalAccountDomain;
            s.SetUser(AdminA, QStringLiteral("varno"), QString(), LocalAccountDomain);
            s.SetUser(SourceSIDLookup, QString(), QString(), QString());
            s.SetUser(DestinationSIDLookup, QString(), QString(), QString());
            break;
        case 4:
            s.JoinVal = JoinDomain;
            s.JoinName = QStringLiteral("NEWCORP");
            s.JoinDCName = QStringLiteral("NEW-DC1");
            s.JoinDCIP = QStringLiteral("10.0.1.1");
            s.SetUser(DomainJoin, QStringLiteral("joiner"), QStringLiteral("pw"), QStringLiteral("NEWCORP"));
            break;
        case 5:
            s.JoinVal = JoinWorkgroup;
            s.JoinName = QStringLiteral("WORKGROUP");
            break;
        case 6:
            db.SetComputerUserList(0, UserProfiles::create());
            s.SourceDomain.clear();
            s.SourceDCName.clear();
            s.SourceDCIP.clear();
            s.DestinationDomain.clear();
            s.DestinationDCName.clear();
            s.DestinationDCIP.clear();
            s.SetUser(SourceSIDLookup, QString(), QString(), QString());
            s.SetUser(DestinationSIDLookup, QString(), QString(), QString());
            s.JoinVal = JoinDomain;
            s.JoinName = QStringLiteral("NEWCORP");
            s.JoinDCName = QStringLiteral("NEW-DC1");
            s.JoinDCIP = QStringLiteral("10.0.1.1");
            s.SetUser(DomainJoin, QStringLiteral("joiner"), QStringLiteral("pw"), LocalAccountDomain);
            break;
        case 7:
            // Not the join account: without a join it must have no password.
            for (const int type : {AdminA, AdminB, SourceSIDLookup, DestinationSIDLookup}) {
                QString domain, user, password;
                s.GetUserSettings(type, domain, user, password);
                s.SetUser(type, user, kLong127, domain);
            }
            break;
        case 8:
            s.SetUser(AdminA, QStringLiteral("varno"), QStringLiteral("€uro-Ç"), QStringLiteral("OLDCORP"));
            break;
        case 9:
            makeSoundForSIDs(s);
            setList(db, 0, ListSIDToUser, {entry("", "alice.new", true, QStringLiteral("S-1-0x0000000000FF-4294967295"))});
            break;
        default:
            break;
        }
        const ValidationResult result = verify(db);
        QCOMPARE(result.Code, 0);
        QCOMPARE(result.Index, -1);
        QCOMPARE(result.ComputerKey, QString());
        QVERIFY(result.passed());
        QCOMPARE(m_presenter.count(), 0);
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
        build(db);
        c.apply(db, global(db));
        const ValidationResult result = verify(db);
        QCOMPARE(result.Code, c.code);
        QCOMPARE(result.Index, 0);
        QCOMPARE(result.ComputerKey, QStringLiteral("C0"));
        QCOMPARE(result.SettingsSourceKey, QStringLiteral("F-1"));
        if (c.code >= ValidationCode::TextFirst && c.code <= ValidationCode::TextLast)
            QVERIFY(!result.Character.isEmpty());
        else
            QVERIFY(result.Character.isEmpty());
        // The check reads; a second pass finds the same.
        QCOMPARE(verify(db).Code, c.code);
        QCOMPARE(m_presenter.count(), 0);
    }

    void refusedCharacterIsNamed_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("character");
        QTest::newRow("é") << QStringLiteral("café!") << QStringLiteral("é");
        QTest::newRow("È, the first code refused") << QStringLiteral("ÈÇ") << QStringLiteral("È");
        QTest::newRow("outside the code page") << QStringLiteral("Ωmega") << QStringLiteral("Ω");
        QTest::newRow("outside the BMP") << QStringLiteral("x\U0001F600") << QStringLiteral("\U0001F600");
        QTest::newRow("carriage return") << QStringLiteral("a\rb") << QStringLiteral("\r");
    }

    void refusedCharacterIsNamed()
    {
        QFETCH(QString, password);
        QFETCH(QString, character);
        ComputerDB db;
        build(db);
        global(db).SetUser(AdminA, QStringLiteral("varno"), password, QStringLiteral("OLDCORP"));
        const ValidationResult result = verify(db);
        QCOMPARE(result.Code, int(ValidationCode::TextAdminAPassword));
        QCOMPARE(result.Character, character);
    }

    // A local-account marker is sent as the computer's name, so the marker
    // itself is never looked at, and an unset join name is not sent.
    void textsNotSentAreNotChecked()
    {
        ComputerDB db;
        build(db);
        global(db).SetUser(AdminA, QStringLiteral("varno"), QString(), LocalAccountDomain);
        QCOMPARE(verify(db).Code, 0);
        setList(db, 0, ListUserToSID, {entry("alice", "alice.new", false, "", true, QStringLiteral("S-1-5-É"))});
        QCOMPARE(verify(db).Code, int(ValidationCode::InternalListType));
    }

    void order_data()
    {
        QTest::addColumn<QList<int>>("faults");
        QTest::addColumn<int>("code");
        // Faults of different fields, each giving its own code alone
        // (everyCode); together the earlier check wins. Two faults of one
        // field are rows of everyCode.
        QTest::newRow("Admin B user before Admin A password") << QList<int> {2, 11} << 11;
        QTest::newRow("passwords: Admin A, Dest lookup, Admin B, join, Source lookup") << QList<int> {14, 20, 10, 6} << 6;
        QTest::newRow("accounts before the list") << QList<int> {105, 14} << 14;
        QTest::newRow("list before destination domain") << QList<int> {104, 200} << 200;
        QTest::newRow("destination before source") << QList<int> {112, 102} << 102;
        QTest::newRow("source domain before lookups") << QList<int> {16, 107} << 107;
        QTest::newRow("source lookup before destination lookup") << QList<int> {8, 12} << 12;
        QTest::newRow("lookups before the join") << QList<int> {905, 4} << 4;
        QTest::newRow("join before options") << QList<int> {904, 302} << 302;
        QTest::newRow("reboot permitted before force reboot") << QList<int> {901, 904} << 904;
        QTest::newRow("force reboot before free space") << QList<int> {300, 901} << 901;
        QTest::newRow("texts before any field") << QList<int> {112, 313} << 313;
    }

    void order()
    {
        QFETCH(QList<int>, faults);
        QFETCH(int, code);
        ComputerDB db;
        build(db);
        for (const int fault : faults) {
            for (const Case &c : cases()) {
                if (c.code == fault) {
                    c.apply(db, global(db));
                    break;
                }
            }
        }
        QCOMPARE(verify(db).Code, code);
    }

    void computersInIdOrderFromTheStartIndex()
    {
        ComputerDB db;
        makeSound(global(db));
        addComputer(db, QStringLiteral("PC-0"));
        addComputer(db, QStringLiteral("PC-1"));
        addComputer(db, QStringLiteral("PC-2"));
        own(db, 1).DestinationDCName.clear();
        own(db, 2).SourceDomain = QStringLiteral("bad/name");

        int code = -5;
        QString sourceKey;
        int index = 0;
        int scope = -2;
        QString computerKey;
        JobValidator(db).VerifyRecords(code, sourceKey, index, scope, computerKey);
        QCOMPARE(code, 102);
        QCOMPARE(index, 1);
        QCOMPARE(computerKey, QStringLiteral("C1"));
        QCOMPARE(sourceKey, QStringLiteral("C1"));

        index = 2;
        JobValidator(db).VerifyRecords(code, sourceKey, index, scope, computerKey);
        QCOMPARE(code, 112);
        QCOMPARE(index, 2);
        QCOMPARE(scope, -2);

        db.RemoveComputer(1);
        db.RemoveComputer(2);
        index = 0;
        JobValidator(db).VerifyRecords(code, sourceKey, index, scope, computerKey);
        QCOMPARE(code, 0);
        QCOMPARE(index, -1);
        QCOMPARE(computerKey, QString());
    }

    // A text that cannot be sent is found on any computer before a field
    // fault of an earlier one, so an ignored warning never lets it through.
    void textsOfEveryComputerComeFirst()
    {
        ComputerDB db;
        makeSound(global(db));
        addComputer(db, QStringLiteral("PC-0"));
        addComputer(db, QStringLiteral("PC-1"));
        db.SetComputerUserList(0, UserProfiles::create()); // warning 106 on PC-0
        own(db, 1).SetUser(AdminB, QStringLiteral("osk"), QStringLiteral("naïve"), QStringLiteral("NEWCORP"));
        const ValidationResult result = verify(db);
        QCOMPARE(result.Code, int(ValidationCode::TextAdminBPassword));
        QCOMPARE(result.Index, 1);
        QCOMPARE(result.Character, QStringLiteral("ï"));
        QCOMPARE(result.SettingsSourceKey, QStringLiteral("C1"));
    }

    void inheritedSettingsNameTheirSource()
    {
        ComputerDB db;
        makeSound(global(db));
        const int outer = db.AddFolder(QStringLiteral("Sales"), -1);
        const int inner = db.AddFolder(QStringLiteral("East"), outer);
        const GlobalSettingsPtr groupRecord = global(db).Clone();
        db.AddSettings(groupRecord, outer, QStringLiteral("F"));
        addComputer(db, QStringLiteral("PC-0"), inner);
        groupRecord->DestinationDCIP = QStringLiteral("x");
        const ValidationResult result = verify(db);
        QCOMPARE(result.Code, 100);
        QCOMPARE(result.SettingsSourceKey, QStringLiteral("F%1").arg(outer));
        QCOMPARE(result.ComputerKey, QStringLiteral("C0"));
    }

    void computersNotTakingPartAreSkipped()
    {
        ComputerDB db;
        makeSound(global(db));
        addComputer(db, QStringLiteral("PC-0"));
        addComputer(db, QStringLiteral("PC-1"));
        own(db, 0).SourceDomain = QStringLiteral("bad/name");
        own(db, 1).SourceDomain = QStringLiteral("bad/name");
        // A removed computer, and one whose record says it is not in use.
        db.RemoveComputer(0);
        own(db, 1).Valid = false;
        QCOMPARE(verify(db).Code, 0);

        ComputerDB empty;
        QCOMPARE(verify(empty).Code, 0);
    }

    void missingUserListObject_data()
    {
        QTest::addColumn<int>("join");
        QTest::addColumn<int>("code");
        QTest::newRow("no join") << int(JoinNone) << 308;
        QTest::newRow("workgroup") << int(JoinWorkgroup) << 308;
        QTest::newRow("domain: goes on to the domains") << int(JoinDomain) << 106;
    }

    void missingUserListObject()
    {
        QFETCH(int, join);
        QFETCH(int, code);
        ComputerDB db;
        build(db);
        GlobalSettings &s = global(db);
        s.JoinVal = join;
        s.JoinName = QStringLiteral("NEWCORP");
        s.JoinDCName = QStringLiteral("NEW-DC1");
        s.JoinDCIP = QStringLiteral("10.0.1.1");
        s.SetUser(DomainJoin, QStringLiteral("joiner"), QString(), QStringLiteral("NEWCORP"));
        // No operation drops a computer's list; a damaged record can lack one.
        const_cast<ComputerRecord *>(db.Computers(0))->UserList.reset();
        QCOMPARE(verify(db).Code, code);
    }

    void warningsAreTheFourCodes()
    {
        // Warnings are decided by the report; the check only stops at them.
        ComputerDB db;
        build(db);
        db.SetComputerUserList(0, UserProfiles::create());
        QCOMPARE(verify(db).Code, 106);
    }
};

QTEST_GUILESS_MAIN(TestJobValidator)
#include "tst_JobValidator.moc"
