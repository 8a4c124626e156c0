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

private Q_SLOTS:
    void init()
    {
        AppState::Reset();
        m_registry = std::make_unique<TestRegistry>();
        m_logs = std::make_unique<QTemporaryDir>();
        RegKey key = Reg::NoKey;
        QCOMPARE(
            modRegistry::CreateKey(QStringLiteral("Brindlewood\\Varno-Osk"), Reg::NoKey, QStringLiteral("HKCU\\Software"), QString(), key),
            0L);
        modRegistry::CloseKey(key);
        QVERIFY(modRegistry::SaveSettingString(AppState::Get().AppKeyPath, QStringLiteral("LogPath"), m_logs->path()));
    }

    void cleanup()
    {
        m_registry.reset();
        AppState::Reset();
    }

    void nodeKeys()
    {
        struct Case
        {
            const char *key;
            int type;
            int id;
        };
        for (const Case &c : {Case {"C12", NodeInfo::Computer, 12}, Case {"F-1", NodeInfo::Folder, -1}, Case {"F-2", NodeInfo::None, 0},
                 Case {"C", NodeInfo::None, 0}, Case {"Cx1", NodeInfo::None, 0}, Case {"c1", NodeInfo::None, 0}}) {
            const NodeInfo info = ParseNodeKey(QString::fromLatin1(c.key));
            QVERIFY2(info.Type == c.type && info.Valid == (c.type != NodeInfo::None), c.key);
            QVERIFY2(!info.Valid || info.ID == c.id, c.key);
        }
    }

    // "LogPath" wins; without a usable one every program of the console (the
    // window and vo) writes a job's logs into one per-user folder, wherever
    // the program itself is installed.
    void logRootAndItsDefault()
    {
        AppState::Get().CurrentJobName = QStringLiteral("Payroll");
        QCOMPARE(GetLogPath(), logRoot() + QStringLiteral("Payroll/"));
        qputenv("XDG_DATA_HOME", m_logs->path().toLocal8Bit());
        for (const char *value : {"", "logs", "C:\\Logs\\"}) {
            QVERIFY(modRegistry::SaveSettingString(AppState::Get().AppKeyPath, QStringLiteral("LogPath"), QString::fromLatin1(value)));
            QCOMPARE(GetLogRoot(), m_logs->path() + QStringLiteral("/varno-osk/Log/"));
        }
        qunsetenv("XDG_DATA_HOME");
        QVERIFY(!QFileInfo::exists(m_logs->path() + QStringLiteral("/varno-osk")));
    }

    void nextJobName_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("folders"); // "-" before a name: an empty folder
        QTest::addColumn<QString>("expected");

        QTest::newRow("an empty folder is free") << QString() << QStringList {"-Migration1"} << QStringLiteral("Migration1");
        QTest::newRow("current still empty") << QStringLiteral("Migration3") << QStringList() << QStringLiteral("Migration3");
        QTest::newRow("current and next taken")
            << QStringLiteral("Migration3") << QStringList {"Migration3", "Migration4"} << QStringLiteral("Migration5");
        QTest::newRow("own name with logs") << QStringLiteral("Payroll") << QStringList {"Payroll"} << QStringLiteral("Migration1");
        QTest::newRow("number not at the end") << QStringLiteral("Migration3b") << QStringList {"Migration3b"}
                                               << QStringLiteral("Migration1");
    }

    void nextJobName()
    {
        QFETCH(QString, current);
        QFETCH(QStringList, folders);
        QFETCH(QString, expected);
        for (const QString &job : std::as_const(folders)) {
            QVERIFY(QDir().mkpath(logRoot() + job.mid(job.startsWith(QLatin1Char('-')) ? 1 : 0)));
            if (!job.startsWith(QLatin1Char('-')))
                QVERIFY(QFile(logRoot() + job + QStringLiteral("/handler.log")).open(QIODevice::WriteOnly));
        }
        QCOMPARE(GetNextMigJobName(current), expected);
    }
};

QTEST_GUILESS_MAIN(TestGeneral)
#include "tst_modGeneral.moc"
