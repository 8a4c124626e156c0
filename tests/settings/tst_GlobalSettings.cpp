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
    const auto n = [](int value) { return QString::number(value); };
    out << QStringLiteral("Join=%1|%2|%3|%4").arg(n(s.JoinVal), s.JoinDCIP, s.JoinDCName, s.JoinName)
        << QStringLiteral("Options=%1|%2|%3|%4|%5|%6")
               .arg(n(s.CopyProfile), n(s.ForceReboot), n(s.IgnoreTempInternetFiles), n(s.MinFreeSpace), n(s.OverwriteProfile),
                   n(s.RebootPermitted))
        << QStringLiteral("Destination=%1|%2|%3").arg(s.DestinationDCIP, s.DestinationDCName, s.DestinationDomain)
        << QStringLiteral("Source=%1|%2|%3").arg(s.SourceDCIP, s.SourceDCName, s.SourceDomain)
        << QStringLiteral("Types=%1|%2").arg(n(s.ActionType), n(s.MigrationType))
        << QStringLiteral("Owner=%1|%2|%3").arg(n(s.Valid), n(s.AssociatedID), s.ObjectType);
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
        // Options that are not set count as off.
        QCOMPARE(s.GetProfileActions(), 0);
        s.IgnoreTempInternetFiles = 1;
        QCOMPARE(s.GetProfileActions(), ProfileActionSkipTempInternetFiles);

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

        QString domain, user, password;
        QVERIFY(s.GetUserSettings(AdminA, domain, user, password));
        QCOMPARE(QStringList({domain, user, password}),
            QStringList({QStringLiteral("CORP"), QStringLiteral("alice"), QStringLiteral("secret")}));
        QVERIFY(s.GetUserSettings(AdminB, domain, user, password));
        QCOMPARE(domain + user + password, QString());

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

        QString domain = QStringLiteral("d"), user = QStringLiteral("u"), password = QStringLiteral("p");
        QVERIFY(!s->GetUserSettings(userType, domain, user, password));
        QCOMPARE(presenter.count(), 2);
        QCOMPARE(presenter.last().text, kBadType);
        QCOMPARE(presenter.last().icon, Presenter::Icon::Information);
        QCOMPARE(domain + user + password, QStringLiteral("dup"));

        QCOMPARE(s->GetFullUsername(userType), QString());
        QCOMPARE(presenter.count(), 3);

        QCOMPARE(describe(*s), before);
    }

    void copyAndCloneCarryEveryField()
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

        GlobalSettingsPtr clone = source->Clone();
        QCOMPARE(describe(*clone), describe(*source));

        clone->SourceDomain = QStringLiteral("ELSEWHERE");
        clone->SetUser(AdminA, QStringLiteral("other"), QString(), QString());
        QCOMPARE(source->SourceDomain, QStringLiteral("OLDCORP"));
        QCOMPARE(source->account(AdminA).Username, QStringLiteral("user1"));
    }
};

QTEST_GUILESS_MAIN(TestGlobalSettings)
#include "tst_GlobalSettings.moc"
