#include "common/RunState.h"
#include "job/ClientCheck.h"
#include "protocol/modFindings.h"
#include "validation/ReadinessReport.h"

#include "engine/EngineFixture.h"
#include "engine/FakeEngine.h"
#include "JobFixture.h"

#include <QTimer>

// The check on the clients as the readiness report runs it, over an engine
// that answers as the test says.
class TestClientCheck : public QObject
{
    Q_OBJECT

    struct Check
    {
        Check()
        {
            JobFixture::makeSound(JobFixture::global(db));
            for (const char *name : {"PC-A", "PC-B"})
                JobFixture::addComputer(db, QString::fromLatin1(name));
            report = ReadinessReport::Build(db);
            report.JobName = QStringLiteral("Job1");
            report.Time = QDateTime(QDate(2026, 12, 7), QTime(10, 15, 0));
            auto engine = std::make_unique<FakeEngine>();
            fake = engine.get();
            check = std::make_unique<ClientCheck>(db, std::move(engine));
        }
        EngineFixture fixture;
        ComputerDB db;
        ReadinessReport report;
        FakeEngine *fake = nullptr;
        std::unique_ptr<ClientCheck> check;
    };

private Q_SLOTS:
    void findingsReachTheReport()
    {
        Check c;
        QTimer::singleShot(10, [&] {
            QCOMPARE(RunState::instance().state(), RunState::State::ClientCheck);
            Q_EMIT c.fake->ClientFinding(2, modFindings::ProfileInUse, QStringLiteral("jdoe"));
            Q_EMIT c.fake->ClientStatusChanged(2, QStringLiteral("XE"));
            Q_EMIT c.fake->ClientStatusChanged(1, QStringLiteral("XS"));
            Q_EMIT c.fake->ProcessingComplete();
        });
        QString problem;
        QVERIFY2(c.check->Run(c.report, {}, problem), qPrintable(problem));
        QCOMPARE(RunState::instance().state(), RunState::State::Editing);
        QCOMPARE(c.report.Computers.at(1).Faults.value(0).Code, modFindings::ProfileInUse);
        QCOMPARE(*c.report.Computers.at(0).CheckStatus, QStringLiteral("XS"));
        // Beside the job's results folder, never in it.
        QVERIFY2(c.report.CheckFolder.endsWith(QStringLiteral("/Job1.checks/20261207-101500/")), qPrintable(c.report.CheckFolder));
        QVERIFY(c.fake->calls.contains(QStringLiteral("LogPath=") + c.report.CheckFolder));
    }

    void stoppedOrFailing()
    {
        Check c;
        // Stopped by the administrator: the clients are aborted, and the
        // engine's end is awaited.
        QTimer::singleShot(300, [&] { Q_EMIT c.fake->ProcessingComplete(); });
        QString problem;
        QVERIFY(c.check->Run(c.report, [](int, int) { return false; }, problem));
        QVERIFY(c.fake->calls.contains(QStringLiteral("AbortAll")));

        Check failing;
        QTimer::singleShot(10, [&] { Q_EMIT failing.fake->Error(1027); });
        QVERIFY(!failing.check->Run(failing.report, {}, problem));
        QVERIFY2(problem.contains(QStringLiteral("listener port")), qPrintable(problem));
        QCOMPARE(RunState::instance().state(), RunState::State::Editing);
    }
};

QTEST_GUILESS_MAIN(TestClientCheck)
#include "tst_ClientCheck.moc"
