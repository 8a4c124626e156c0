#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"

#include "support/RecordingPresenter.h"
#include "support/VoProcess.h"

#include <QTemporaryDir>
#include <QTest>

// `vo ping-test` over a settings file whose one computer is this machine by
// its name in the hosts file, so nothing leaves it.
class TestVoPing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pingTest()
    {
        RecordingPresenter presenter;
        QTemporaryDir dir;
        ComputerDB db;
        db.AddComputer(QStringLiteral("localhost"), QString(), db.AddFolder(QStringLiteral("Lab"), -1), -1);
        const QString file = dir.filePath(QStringLiteral("job.vo"));
        QVERIFY(SettingsFile().Save(db, file, {}).ok());

        const VoRun run = vo({"ping-test", file, "--parallel", "3"});
        const QList<QByteArray> lines = run.out.split('\n');
        QCOMPARE(lines.size(), 6);
        QVERIFY2(lines.at(3).startsWith("Resolving IP address for localhost ... 127.0.0.1 ... pinging ... "), lines.at(3));
        QCOMPARE(run.status, lines.at(3).contains("Response received") ? 0 : 2);
        QCOMPARE(lines.at(4),
            run.status ? QByteArray("Ping test complete.  The computer did not answer.")
                       : QByteArray("Ping test complete.  The computer answered."));

        QCOMPARE(vo({"ping-test", file, "--parallel", "257"}).status, 1);
    }
};

QTEST_GUILESS_MAIN(TestVoPing)
#include "tst_voPing.moc"
