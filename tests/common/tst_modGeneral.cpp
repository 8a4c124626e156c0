#include "common/AppState.h"
#include "common/modGeneral.h"
#include "common/modRegistry.h"

#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace modGeneral;

class TestGeneral : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestRegistry> m_registry;
    std::unique_ptr<QTemporaryDir> m_logs;

    QString logRoot() const { return m_logs->path() + QLatin1Char('/'); }

    void putFile(const QString &job)
    {
        QVERIFY(QDir().mkpath(logRoot() + job));
        QFile file(logRoot() + job + QStringLiteral("/handler.log"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

private Q_SLOTS:
    void init()
    {
        AppState::Reset();
        m_registry = std::make_unique<TestRegistry>();
        m_logs = std::make_unique<QTemporaryDir>();
        RegKey key = Reg::NoKey;
        QCOMPARE(modRegistry::CreateKey(QStringLiteral("Brindlewood\\Varno-Osk"), Reg::NoKey, QStringLiteral("HKCU\\Software"), QString(), key), 0L);
        modRegistry::CloseKey(key);
        QVERIFY(modRegistry::SaveSettingString(AppState::Get().AppKeyPath, QStringLiteral("LogPath"), m_logs->path()));
    }

    void cleanup()
    {
        m_registry.reset();
        AppState::Reset();
    }

    void nodeKeys_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("valid");

        QTest::newRow("computer") << QStringLiteral("C12") << int(NodeInfo::Computer) << 12 << true;
        QTest::newRow("folder") << QStringLiteral("F0") << int(NodeInfo::Folder) << 0 << true;
        QTest::newRow("root") << QStringLiteral("F-1") << int(NodeInfo::Folder) << -1 << true;
        QTest::newRow("below -1") << QStringLiteral("F-2") << int(NodeInfo::None) << -2 << false;
        QTest::newRow("too short") << QStringLiteral("C") << int(NodeInfo::None) << 0 << false;
        QTest::newRow("not numeric") << QStringLiteral("Cx1") << int(NodeInfo::None) << 0 << false;
        QTest::newRow("other letter") << QStringLiteral("G1") << int(NodeInfo::None) << 0 << false;
        QTest::newRow("lower case letter") << QStringLiteral("c1") << int(NodeInfo::None) << 0 << false;
        QTest::newRow("empty") << QString() << int(NodeInfo::None) << 0 << false;
    }

    void nodeKeys()
    {
        QFETCH(QString, key);
        QFETCH(int, type);
        QFETCH(int, id);
        QFETCH(bool, valid);
        const NodeInfo info = ParseNodeKey(key);
        QCOMPARE(info.Valid, valid);
        QCOMPARE(info.Type, type);
        if (valid)
            QCOMPARE(info.ID, id);
    }

    void logRootComesFromTheRegistryWithASlash()
    {
        QCOMPARE(GetLogRoot(), logRoot());
        AppState::Get().CurrentJobName = QStringLiteral("Payroll");
        QCOMPARE(GetLogPath(), logRoot() + QStringLiteral("Payroll/"));
    }

    // Every program of the console (the window and vo) writes a job's logs
    // into one per-user folder, wherever the program itself is installed.
    void unusableLogPathFallsBackToTheUsersDataFolder_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QString();
        QTest::newRow("relative") << QStringLiteral("logs");
        QTest::newRow("Windows path") << QStringLiteral("C:\\Logs\\");
    }

    void unusableLogPathFallsBackToTheUsersDataFolder()
    {
        QFETCH(QString, value);
        QVERIFY(modRegistry::SaveSettingString(AppState::Get().AppKeyPath, QStringLiteral("LogPath"), value));
        qputenv("XDG_DATA_HOME", m_logs->path().toLocal8Bit());
        const QString root = GetLogRoot();
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(root, m_logs->path() + QStringLiteral("/varno-osk/Log/"));
        QVERIFY(!QFileInfo::exists(root));
    }

    void nextJobName_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("foldersWithFiles");
        QTest::addColumn<QString>("expected");

        QTest::newRow("fresh console") << QString() << QStringList() << QStringLiteral("Migration1");
        QTest::newRow("fresh, first taken") << QString() << QStringList{QStringLiteral("Migration1")} << QStringLiteral("Migration2");
        QTest::newRow("current still empty") << QStringLiteral("Migration3") << QStringList() << QStringLiteral("Migration3");
        QTest::newRow("current has logs") << QStringLiteral("Migration3") << QStringList{QStringLiteral("Migration3")} << QStringLiteral("Migration4");
        QTest::newRow("next taken too") << QStringLiteral("Migration3") << QStringList{QStringLiteral("Migration3"), QStringLiteral("Migration4")}
                                        << QStringLiteral("Migration5");
        QTest::newRow("own name with logs") << QStringLiteral("Payroll") << QStringList{QStringLiteral("Payroll")} << QStringLiteral("Migration1");
        QTest::newRow("own name, empty") << QStringLiteral("Payroll") << QStringList() << QStringLiteral("Payroll");
        QTest::newRow("number not at the end") << QStringLiteral("Migration3b") << QStringList{QStringLiteral("Migration3b")}
                                               << QStringLiteral("Migration1");
    }

    void nextJobName()
    {
        QFETCH(QString, current);
        QFETCH(QStringList, foldersWithFiles);
        QFETCH(QString, expected);
        for (const QString &job : std::as_const(foldersWithFiles))
            putFile(job);
        QCOMPARE(GetNextMigJobName(current), expected);
    }

    void emptyResultsFolderCountsAsFree()
    {
        QVERIFY(QDir().mkpath(logRoot() + QStringLiteral("Migration1")));
        QCOMPARE(GetNextMigJobName(QString()), QStringLiteral("Migration1"));
    }
};

QTEST_GUILESS_MAIN(TestGeneral)
#include "tst_modGeneral.moc"
