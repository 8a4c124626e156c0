#include "settings/GlobalSettings.h"

#include "support/RecordingPresenter.h"

#include <QTest>

namespace {

const QString kBadTypeOnSave = QStringLiteral("Invalid user type specified while saving settings.");
const QString kBadType = QStringLiteral("Invalid user type specified.");

// Every field and slot of a record as text, so two records compare in one line
// and a field forgotten by CopySettings shows up by name.
QStringList describe(const GlobalSettings &s)
{
    QStringList out;
    auto add = [&out](const char *name, const QString &value) { out << QString::fromLatin1(name) + QLatin1Char('=') + value; };
    auto num = [&add](const char *name, int value) { add(name, QString::number(value)); };
    num("JoinVal", s.JoinVal);
    add("JoinDCIP", s.JoinDCIP);
    add("JoinDCName", s.JoinDCName);
    add("JoinName", s.JoinName);
    num("CopyProfile", s.CopyProfile);
    num("ForceReboot", s.ForceReboot);
    num("IgnoreTempInternetFiles", s.IgnoreTempInternetFiles);
    num("MinFreeSpace", s.MinFreeSpace);
    num("OverwriteProfile", s.OverwriteProfile);
    num("RebootPermitted", s.RebootPermitted);
    add("DestinationDCIP", s.DestinationDCIP);
    add("DestinationDCName", s.DestinationDCName);
    add("DestinationDomain", s.DestinationDomain);
    add("SourceDCIP", s.SourceDCIP);
    add("SourceDCName", s.SourceDCName);
    add("SourceDomain", s.SourceDomain);
    num("ActionType", s.ActionType);
    num("MigrationType", s.MigrationType);
    num("Valid", s.Valid);
    num("AssociatedID", s.AssociatedID);
    add("ObjectType", s.ObjectType);
    for (int t = 0; t < UserTypeCount; ++t) {
        const AccountRecord &a = s.account(t);
        out << QStringLiteral("slot%1=%2|%3|%4").arg(t).arg(a.Domain, a.Username, a.Password);
    }
    return out;
}

// A record in which no two fields hold the same value and none holds its initial one.
GlobalSettingsPtr populated()
{
    GlobalSettingsPtr s = GlobalSettings::create();
    s->JoinVal = JoinWorkgroup;
    s->JoinDCIP = QStringLiteral("10.0.0.3");
    s->JoinDCName = QStringLiteral("JDC");
    s->JoinName = QStringLiteral("WORKGROUP");
    s->CopyProfile = 0;
    s->ForceReboot = 1;
    s->IgnoreTempInternetFiles = 0;
    s->MinFreeSpace = 512;
    s->OverwriteProfile = 1;
    s->RebootPermitted = 0;
    s->DestinationDCIP = QStringLiteral("10.0.0.2");
    s->DestinationDCName = QStringLiteral("DDC");
    s->DestinationDomain = LocalAccountDomain;
    s->SourceDCIP = QStringLiteral("10.0.0.1");
    s->SourceDCName = QStringLiteral("SDC");
    s->SourceDomain = QStringLiteral("OLDCORP");
    s->ActionType = ProfileMigrationAndDomainChange;
    s->MigrationType = LocalToLocal;
    s->Valid = false;
    s->AssociatedID = 17;
    s->ObjectType = QStringLiteral("C");
    for (int t = 0; t < UserTypeCount; ++t)
        s->SetUser(t, QStringLiteral("user%1").arg(t), QStringLiteral("pw%1").arg(t), QStringLiteral("DOM%1").arg(t));
    return s;
}

} // namespace

class TestGlobalSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newRecordAndDefaults()
    {
        GlobalSettings s;
        QVERIFY(s.Valid);
        QCOMPARE(s.AssociatedID, 0);
        QCOMPARE(s.ObjectType, QString());
        for (int v : {s.ActionType, s.MigrationType, s.JoinVal, s.MinFreeSpace, s.CopyProfile, s.ForceReboot, s.IgnoreTempInternetFiles,
                 s.OverwriteProfile, s.RebootPermitted})
            QCOMPARE(v, -1);

        // SetDefaults gives the options their values and leaves texts, accounts, Valid and the owner.
        GlobalSettingsPtr record = populated();
        record->SetDefaults();
        GlobalSettingsPtr expected = populated();
        expected->ActionType = expected->MigrationType = expected->MinFreeSpace = -1;
        expected->JoinVal = JoinNone;
        expected->RebootPermitted = expected->ForceReboot = expected->CopyProfile = expected->IgnoreTempInternetFiles = 1;
        expected->OverwriteProfile = 0;
        QCOMPARE(describe(*record), describe(*expected));
        QCOMPARE(record->GetProfileActions(), ProfileActionCopy | ProfileActionSkipTempInternetFiles);
    }

    void userSlotsAreSeparateAndReadDomainFirst()
    {
        RecordingPresenter presenter;
        GlobalSettings s;
        s.SetUser(AdminA, QStringLiteral("alice"), QStringLiteral("secret"), QStringLiteral("CORP"));
        s.SetUser(DestinationSIDLookup, QStringLiteral("dave"), QString(), QStringLiteral("NEW"));

        QString domain, user, password;
        QVERIFY(s.GetUserSettings(AdminA, domain, user, password));
        QCOMPARE(domain, QStringLiteral("CORP"));
        QCOMPARE(user, QStringLiteral("alice"));
        QCOMPARE(password, QStringLiteral("secret"));
        QVERIFY(s.GetUserSettings(AdminB, domain, user, password));
        QCOMPARE(domain + user + password, QString());
        QCOMPARE(s.GetFullUsername(DestinationSIDLookup), QStringLiteral("NEW\\dave"));

        s.ClearUsers();
        for (int t = 0; t < UserTypeCount; ++t) {
            const AccountRecord &a = s.account(t);
            QCOMPARE(a.Domain + a.Username + a.Password, QString());
        }
        QCOMPARE(presenter.count(), 0);
    }

    void fullUsername_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("expected");

        QTest::newRow("domain and user") << QStringLiteral("CORP") << QStringLiteral("jsmith") << QStringLiteral("CORP\\jsmith");
        QTest::newRow("local account") << LocalAccountDomain << QStringLiteral("admin") << QStringLiteral("*LOCAL ACCOUNT*\\admin");
        QTest::newRow("no domain: bare name") << QString() << QStringLiteral("jsmith") << QStringLiteral("jsmith");
        QTest::newRow("domain without user: nothing") << QStringLiteral("CORP") << QString() << QString();
        QTest::newRow("neither") << QString() << QString() << QString();
    }

    void fullUsername()
    {
        QFETCH(QString, domain);
        QFETCH(QString, username);
        QFETCH(QString, expected);

        GlobalSettings s;
        s.SetUser(DomainJoin, username, QStringLiteral("pw"), domain);
        QString out = QStringLiteral("stale");
        s.GetFullUsername(DomainJoin, out);
        QCOMPARE(out, expected);
        QCOMPARE(s.GetFullUsername(DomainJoin), expected);
    }

    void outOfRangeUserTypes_data()
    {
        QTest::addColumn<int>("userType");
        QTest::newRow("-1") << -1;
        QTest::newRow("5") << 5;
    }

    void outOfRangeUserTypes()
    {
        QFETCH(int, userType);
        RecordingPresenter presenter;
        GlobalSettingsPtr s = populated();
        const QStringList before = describe(*s);

        s->SetUser(userType, QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z"));
        QCOMPARE(presenter.count(), 1);
        QCOMPARE(presenter.last().text, kBadTypeOnSave);
        QCOMPARE(presenter.last().icon, Presenter::Icon::Information);

        QString domain = QStringLiteral("d"), user = QStringLiteral("u"), password = QStringLiteral("p");
        QVERIFY(!s->GetUserSettings(userType, domain, user, password));
        QCOMPARE(presenter.count(), 2);
        QCOMPARE(presenter.last().text, kBadType);
        QCOMPARE(presenter.last().icon, Presenter::Icon::Information);
        QCOMPARE(domain + user + password, QStringLiteral("dup"));

        QString full = QStringLiteral("stale");
        s->GetFullUsername(userType, full);
        QCOMPARE(full, QString());
        QCOMPARE(s->GetFullUsername(userType), QString());
        QCOMPARE(presenter.count(), 4);
        QCOMPARE(presenter.last().text, kBadType);

        QCOMPARE(describe(*s), before);
    }

    void profileActions_data()
    {
        QTest::addColumn<int>("copyProfile");
        QTest::addColumn<int>("ignoreTemp");
        QTest::addColumn<int>("expected");

        QTest::newRow("not set counts as off") << -1 << -1 << 0;
        QTest::newRow("both on") << 1 << 1 << 3;
        QTest::newRow("only ignore temp files") << 0 << 1 << 2;
        QTest::newRow("only copy, other not set") << 1 << -1 << 1;
        QTest::newRow("both off") << 0 << 0 << 0;
    }

    void profileActions()
    {
        QFETCH(int, copyProfile);
        QFETCH(int, ignoreTemp);
        QFETCH(int, expected);
        GlobalSettings s;
        s.CopyProfile = copyProfile;
        s.IgnoreTempInternetFiles = ignoreTemp;
        QCOMPARE(s.GetProfileActions(), expected);
    }

    void copySettingsCarriesEveryFieldAndValid()
    {
        GlobalSettingsPtr source = populated();
        GlobalSettings target;
        target.SetUser(AdminB, QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("OLD"));
        QVERIFY(target.Valid);

        source->CopySettings(target);
        QCOMPARE(describe(target), describe(*source));
        QVERIFY(!target.Valid);

        // Copying a record onto itself changes nothing.
        source->CopySettings(*source);
        QCOMPARE(describe(*source), describe(*populated()));
    }

    void cloneIsIndependent()
    {
        GlobalSettingsPtr source = populated();
        GlobalSettingsPtr clone = source->Clone();
        QVERIFY(clone);
        QVERIFY(clone != source);
        QCOMPARE(describe(*clone), describe(*source));

        clone->SourceDomain = QStringLiteral("ELSEWHERE");
        clone->SetUser(AdminA, QStringLiteral("other"), QString(), QString());
        QCOMPARE(source->SourceDomain, QStringLiteral("OLDCORP"));
        QCOMPARE(source->account(AdminA).Username, QStringLiteral("user1"));
    }
};

QTEST_GUILESS_MAIN(TestGlobalSettings)
#include "tst_GlobalSettings.moc"
