#include "SlapdServer.h"

#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"
#include "support/TestRegistry.h"
#include "support/VoProcess.h"

#include <QFile>
#include <QTest>

class tst_voImportComputers : public QObject
{
    Q_OBJECT

private:
    QStringList arguments(const QString &passwordFile, const QString &into) const
    {
        return {QStringLiteral("import-computers"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QString::number(m_slapd.port()),
            QStringLiteral("--starttls"), QStringLiteral("--ca"), m_slapd.caFile(), QStringLiteral("--user"),
            QLatin1String(SlapdServer::User), QStringLiteral("--domain"), QStringLiteral("CORP"), QStringLiteral("--password-file"),
            m_registry.folder() + QLatin1Char('/') + passwordFile, QStringLiteral("--into"), into};
    }

    TestRegistry m_registry;
    SlapdServer m_slapd;

private Q_SLOTS:
    void initTestCase()
    {
        QByteArray ldif;
        QStringList made;
        const QStringList units {QStringLiteral("Europe"), QStringLiteral("Sales")};
        ldif += SlapdServer::unitEntries(units, made);
        for (int n = 1; n <= 30; ++n)
            ldif += SlapdServer::computerEntry(QStringLiteral("PC%1").arg(n), units);
        QVERIFY2(m_slapd.start(ldif), qPrintable(m_slapd.error()));
        QFile password(m_registry.folder() + QStringLiteral("/password"));
        QVERIFY(password.open(QIODevice::WriteOnly));
        password.write(QByteArray(SlapdServer::Password) + "\n");
        QFile wrong(m_registry.folder() + QStringLiteral("/wrong"));
        QVERIFY(wrong.open(QIODevice::WriteOnly));
        wrong.write("not the password\n");
    }

    void importsIntoSettingsFile()
    {
        const QString path = m_registry.folder() + QStringLiteral("/new.vos.json");
        const VoRun run = vo(arguments(QStringLiteral("password"), path));
        QVERIFY2(run.status == 0, run.err.constData());
        QVERIFY(run.out.contains("Added 30 computers and 2 groups; 0 computers were already there."));

        ComputerDB database;
        SettingsFile file;
        QVERIFY(file.Load(path, QString(), database).ok());
        QCOMPARE(database.GetComputerCount(), 30);
        const int sales = database.FindFolder(QStringLiteral("Sales"), database.FindFolder(QStringLiteral("Europe"), -1));
        QCOMPARE(database.Computers(database.FindComputer(QStringLiteral("PC30")))->FolderID, sales);
    }

    void failureLeavesFileAsItWas()
    {
        const QString path = m_registry.folder() + QStringLiteral("/kept.vos.json");
        ComputerDB database;
        database.AddComputer(QStringLiteral("MINE"), QString(), -1, -1);
        SettingsFile file;
        QVERIFY(file.Save(database, path, {}).ok());
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray before = saved.readAll();
        saved.close();

        const VoRun run = vo(arguments(QStringLiteral("wrong"), path));
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("Invalid username or password given. Please try again."), run.err.constData());
        QVERIFY(!run.err.contains("not the password"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), before);
    }
};

QTEST_GUILESS_MAIN(tst_voImportComputers)
#include "tst_voImportComputers.moc"
