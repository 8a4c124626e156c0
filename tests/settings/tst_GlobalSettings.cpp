#include "settings/GlobalSettings.h"

#include "support/RecordingPresenter.h"

#include <QTest>

namespace {

// The text and number fields of a record, so that a test can fill or list them all.
std::pair<QList<QString *>, QList<int *>> fieldsOf(GlobalSettings &s)
{
    return {{&s.JoinDCIP, &s.JoinDCName, &s.JoinName, &s.DestinationDCIP, &s.DestinationDCName, &s.DestinationDomain, &s.SourceDCIP,
                &s.SourceDCName, &s.SourceDomain, &s.ObjectType},
        {&s.JoinVal, &s.CopyProfile, &s.ForceReboot, &s.IgnoreTempInternetFiles, &s.MinFreeSpace, &s.OverwriteProfile, &s.RebootPermitted,
            &s.ActionType, &s.MigrationType, &s.AssociatedID}};
}

// Every field and slot of a record as text, so that two records compare in one line.
QStringList describe(GlobalSettings s)
{
    QStringList out {QString::number(s.Valid)};
    const auto [texts, numbers] = fieldsOf(s);
    for (const QString *text : texts)
        out << *text;
    for (const int *number : numbers)
        out << QString::number(*number);
    for (int t = 0; t < UserTypeCount; ++t)
        out << QStringLiteral("%1\\%2/%3").arg(s.account(t).Domain, s.account(t).Username, s.account(t).Password);
    return out;
}

// A record in which no two fields hold the same value and none holds its initial one.
GlobalSettingsPtr populated()
{
    GlobalSettingsPtr s = GlobalSettings::create();
    const auto [texts, numbers] = fieldsOf(*s);
    int n = 0;
    for (QString *text : texts)
        *text = QStringLiteral("text %1").arg(++n);
    for (int *number : numbers)
        *number = ++n;
    s->Valid = false;
    for (int t = 0; t < UserTypeCount; ++t)
        s->SetUser(t, QStringLiteral("user%1").arg(t), QStringLiteral("pw%1").arg(t), QStringLiteral("DOM%1").arg(t));
    return s;
}

} // namespace

class TestGlobalSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults()
    {
        GlobalSettings s;
        QVERIFY(s.Valid);
        for (int v : {s.ActionType, s.MigrationType, s.JoinVal, s.MinFreeSpace, s.CopyProfile, s.ForceReboot, s.IgnoreTempInternetFiles,
                 s.OverwriteProfile, s.RebootPermitted})
            QCOMPARE(v, -1);
        // Options that are not set count as off.
        QCOMPARE(s.GetProfileActions(), 0);

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

    void copyCloneAndClearCarryEveryField()
    {
        GlobalSettingsPtr source = populated();
        QString domain, user, password;
        QVERIFY(source->GetUserSettings(AdminA, domain, user, password));
        QCOMPARE(QStringList({domain, user, password}), QStringList({"DOM1", "user1", "pw1"}));

        GlobalSettings target;
        target.SetUser(AdminB, QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("OLD"));
        source->CopySettings(target);
        QCOMPARE(describe(target), describe(*source));
        source->CopySettings(*source);
        QCOMPARE(describe(*source), describe(*populated()));

        GlobalSettingsPtr clone = source->Clone();
        QCOMPARE(describe(*clone), describe(*source));
        clone->SetUser(AdminA, QStringLiteral("other"), QString(), QString());
        QCOMPARE(describe(*source), describe(*populated()));

        // ClearUsers empties the five slots and nothing else.
        QStringList expected = describe(*source);
        for (int t = 0; t < UserTypeCount; ++t)
            expected[expected.size() - UserTypeCount + t] = QStringLiteral("\\/");
        source->ClearUsers();
        QCOMPARE(describe(*source), expected);
    }

    void fullUsername()
    {
        GlobalSettings s;
        const auto full = [&s](const QString &domain, const QString &user) {
            s.SetUser(DomainJoin, user, QStringLiteral("pw"), domain);
            QString out = QStringLiteral("stale");
            s.GetFullUsername(DomainJoin, out);
            return out;
        };
        QCOMPARE(full(QStringLiteral("CORP"), QStringLiteral("jsmith")), QStringLiteral("CORP\\jsmith"));
        QCOMPARE(full(QString(), QStringLiteral("jsmith")), QStringLiteral("jsmith")); // not "\\jsmith"
        QCOMPARE(full(QStringLiteral("CORP"), QString()), QString()); // a domain alone is no account
    }

    void outOfRangeUserTypesChangeNothing()
    {
        for (int userType : {-1, UserTypeCount}) {
            RecordingPresenter presenter;
            GlobalSettingsPtr s = populated();
            s->SetUser(userType, QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z"));
            QCOMPARE(presenter.last().text, QStringLiteral("Invalid user type specified while saving settings."));
            QString domain = QStringLiteral("d"), user = QStringLiteral("u"), password = QStringLiteral("p");
            QVERIFY(!s->GetUserSettings(userType, domain, user, password));
            QCOMPARE(presenter.last().text, QStringLiteral("Invalid user type specified."));
            QCOMPARE(presenter.last().icon, Presenter::Icon::Information);
            QCOMPARE(domain + user + password, QStringLiteral("dup"));
            QCOMPARE(s->GetFullUsername(userType), QString());
            QCOMPARE(presenter.count(), 3);
            QCOMPARE(describe(*s), describe(*populated()));
        }
    }
};

QTEST_GUILESS_MAIN(TestGlobalSettings)
#include "tst_GlobalSettings.moc"
