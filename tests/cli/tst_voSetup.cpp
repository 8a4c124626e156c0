#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"

#include "support/RecordingPresenter.h"
#include "support/VoProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// vo setup: the easy setup wizard's pages answered from the command line.
class TestVoSetup : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;
    QTemporaryDir m_dir;
    QString m_job;

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    // A group and a computer with settings of their own.
    void init()
    {
        ComputerDB db;
        const int group = db.AddFolder(QStringLiteral("Sales"), -1);
        const int computer = db.AddComputer(QStringLiteral("SAL-01"), QString(), group, -1);
        GlobalSettingsPtr own = GlobalSettings::create();
        own->JoinVal = JoinDomain;
        own->JoinName = QStringLiteral("OWN");
        db.AddSettings(own, group, QStringLiteral("F"));
        db.AddSettings(own->Clone(), computer, QStringLiteral("C"));
        m_job = m_dir.filePath(QStringLiteral("job.vos.json"));
        QVERIFY(SettingsFile().Save(db, m_job, {}).ok());
    }

    void replacesEverySettingAndKeepsTheComputers()
    {
        const VoRun run = vo({QStringLiteral("setup"), m_job, QStringLiteral("--action"), QStringLiteral("both"),
            QStringLiteral("--migration=domain-local"), QStringLiteral("--source-domain"), QStringLiteral("old.corp.example.com"),
            QStringLiteral("--source-dc"), QStringLiteral("dc01.old.corp.example.com"), QStringLiteral("--source-dc-ip"),
            QStringLiteral("10.20.0.5"), QStringLiteral("--join-workgroup"), QStringLiteral("WG"), QStringLiteral("--rename-profiles")});
        QVERIFY2(run.status == 0, run.err.constData());
        ComputerDB db;
        QVERIFY(SettingsFile().Load(m_job, QString(), db).ok());
        QCOMPARE(db.GetComputerCount(), 1);
        QCOMPARE(db.SettingsCount(), 1);
        const GlobalSettingsPtr root = db.GetSettings(QStringLiteral("G"), 0);
        QCOMPARE(root->JoinVal, int(JoinWorkgroup));
        QCOMPARE(root->DestinationDomain, LocalAccountDomain);
        QCOMPARE(root->SourceDCName, QStringLiteral("dc01.old.corp.example.com"));
        QCOMPARE(root->CopyProfile, 0);
        QCOMPARE(root->RebootPermitted, 1);
    }

    // The wizard's own checks and the options a page does not have; the
    // file stays as it was.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("error");
        const QStringList dd {"--action", "profile", "--migration", "domain-domain"};
        QTest::newRow("no action") << QStringList() << "Invalid syntax. A settings file and --action are needed.";
        QTest::newRow("unknown action") << QStringList {"--action", "move"} << "--action takes domain-change, profile or both";
        QTest::newRow("join for a profile migration")
            << (dd + QStringList {"--join-workgroup", "WG"}) << "--join-workgroup applies only to an action with a domain change.";
        QTest::newRow("no reboot with a domain change") << QStringList {"--action", "domain-change", "--join-workgroup", "WG",
            "--no-reboot"} << "--no-reboot applies only to a profile migration without a domain change";
        QTest::newRow("destination of a migration to local accounts") << QStringList {"--action", "profile", "--migration", "domain-local",
            "--dest-domain", "NEW"} << "--dest-domain applies only to a migration to domain accounts.";
        QTest::newRow("page 3 check") << (dd + QStringList {"--source-domain", "OLD", "--source-dc", "dc", "--source-dc-ip", "1.2.3.4"})
                                      << "Please enter a destination domain.";
        QTest::newRow("page 4 check") << QStringList {"--action", "domain-change", "--join-domain", "NEW", "--join-dc", "d*c",
            "--join-dc-ip", "1.2.3.4"} << "Invalid domain controller name entered.";
    }

    void refusals()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, error);
        const QByteArray before = read(m_job);
        const VoRun run = vo(QStringList {QStringLiteral("setup"), m_job} + options);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.startsWith("ERROR: " + error.toUtf8()), run.err.constData());
        QCOMPARE(read(m_job), before);
    }
};

QTEST_GUILESS_MAIN(TestVoSetup)
#include "tst_voSetup.moc"
