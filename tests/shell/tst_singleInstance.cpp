#include "shell/modStartup.h"

#include "support/TestRegistry.h"

#include <QLockFile>
#include <QProcess>
#include <QTest>

// Starts the real console as separate processes, on a store and lock of the test's own.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private:
    TestRegistry m_registry;

    void start(QProcess &process)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("VARNO_OSK_REGISTRY"), m_registry.path());
        // The console is ended from outside; what it leaves unfreed is not this test's concern.
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VO_CONSOLE), {});
        QVERIFY(process.waitForStarted());
    }

    // True once `process` holds the console's lock.
    bool holdsLock(const QProcess &process) const
    {
        qint64 pid = 0;
        return QLockFile(modStartup::InstanceLockPath()).getLockInfo(&pid, nullptr, nullptr) && pid == process.processId();
    }

private Q_SLOTS:
    void secondStartEndsAtOnceWhileTheFirstRuns()
    {
        QProcess first;
        start(first);
        QTRY_VERIFY_WITH_TIMEOUT(holdsLock(first), 60000);

        QProcess second;
        start(second);
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardOutput() + second.readAllStandardError(), QByteArray());
        QCOMPARE(first.state(), QProcess::Running);

        // A console that crashed (SIGKILL: no chance to remove its lock file) does not block the next.
        first.kill();
        QVERIFY(first.waitForFinished(30000));
        QVERIFY(QFile::exists(modStartup::InstanceLockPath()));
        QProcess next;
        start(next);
        QTRY_VERIFY_WITH_TIMEOUT(holdsLock(next) || next.state() == QProcess::NotRunning, 60000);
        QVERIFY(holdsLock(next));
        next.kill();
        QVERIFY(next.waitForFinished(30000));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleInstance.moc"
