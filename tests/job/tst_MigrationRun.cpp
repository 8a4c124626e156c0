#include "common/RunHistory.h"
#include "common/modRehearsal.h"
#include "common/modRollback.h"
#include "engine/JobColumns.h"
#include "job/RollbackJob.h"
#include "database/MemoryTreeDisplay.h"
#include "engine/ClientStatus.h"
#include "job/MigrationRun.h"
#include "engine/QXEInterface.h"
#include "job/RunTreeStatus.h"

#include "engine/EngineFixture.h"
#include "engine/FakeEngine.h"
#include "JobFixture.h"

#include <QFile>

#include <memory>

class TestMigrationRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Text and image of the codes at the edges of the families, and of one
    // code of the table; both come from one lookup, so each row checks that
    // they agree.
    void statusCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("image");
        using namespace TreeImage;
        const auto row = [](const char *code, const char *text, int image) { QTest::addRow("'%s'", code) << code << text << image; };
        row("CL", "Client executing", StatusExecuting);
        row("L", "Loading in progress", StatusLoading);
        row("L5x", "Loading in progress", StatusLoading);
        row("L9", "Loading in progress", StatusLoading);
        row("L9x", "Unspecified status = L9x", StatusUnknown);
        row("L10", "Loading in progress", StatusLoading);
        row("L/", "Unspecified status = L/", StatusUnknown);
        row("A", "Aborting in progress", StatusAborting);
        row("U7", "Unloading in progress", StatusUnloading);
        row("Q1", "Unspecified status = Q1", StatusUnknown);
        row("", "Unspecified status = ", StatusUnknown);
    }

    void statusCodes()
    {
        QFETCH(QString, code);
        QFETCH(QString, text);
        QFETCH(int, image);
        QCOMPARE(ClientStatus::Text(code), text);
        QCOMPARE(ClientStatus::Image(code), image);
    }

    // A run of computers 1 and 2 (computer 0 removed) through the fake
    // engine: the log's lines, the tally, the last statuses and the commands
    // on offer as the run goes on.
    void aRunFromStartToCompletion()
    {
        EngineFixture fixture;
        auto engine = std::make_unique<FakeEngine>();
        FakeEngine *fake = engine.get();
        QXEInterface qxe(std::move(engine));
        ComputerDB db;
        JobFixture::makeSound(JobFixture::global(db));
        for (const char *name : {"GONE", "PC-A", "PC-B"})
            JobFixture::addComputer(db, QString::fromLatin1(name));
        db.RemoveComputer(0);
        db.AddWave({QStringLiteral("Pilot"), {}, 0, -1});
        db.SetComputerWave(1, QStringLiteral("Pilot"));
        db.SetComputerDirectoryID(1, QStringLiteral("ID-A"));

        MigrationRun run(db);
        run.LastStatuses().insert(0, QStringLiteral("XS")); // from a loaded state
        QStringList lines;
        QList<int> statusIds;
        connect(&run, &MigrationRun::Line, &run, [&lines](const QString &line) { lines << line; });
        connect(&run, &MigrationRun::StatusChanged, &run, [&statusIds](int id, const QString &) { statusIds << id; });
        run.Start(qxe);
        QCOMPARE(run.ClientCount(), 2);
        QVERIFY(run.LastStatuses().isEmpty());

        Q_EMIT fake->ClientStatusChanged(2, QStringLiteral("L3"));
        Q_EMIT fake->ClientStatusChanged(2, QStringLiteral("L4")); // the same text: no second line
        QVERIFY(run.Clients().NotStarted == 1 && run.Clients().InProgress == 1);
        Q_EMIT fake->ClientStatusChanged(1, QStringLiteral("CL"));
        run.CancelClient(QStringLiteral("C1"));
        Q_EMIT fake->LastClient();
        run.CancelAll();
        run.AbortClient(QStringLiteral("C1"));
        run.AbortAll();
        run.AbortAll();
        Q_EMIT fake->ClientStatusChanged(1, QStringLiteral("XW"));
        Q_EMIT fake->ClientStatusChanged(2, QStringLiteral("XS"));
        Q_EMIT fake->ClientStatusChanged(2, QStringLiteral("XS"));
        Q_EMIT fake->ProcessingComplete();
        Q_EMIT fake->ProcessingComplete(); // said twice, completed once

        QCOMPARE(lines,
            (QStringList {modRehearsal::SshFirstLine(), "Building migration list...", "Processing entries...", "PC-B: Loading in progress",
                "PC-A: Client executing", "PC-A: Migration complete with warnings", "PC-B: Migration successful", "Processing complete."}));
        QCOMPARE(statusIds, (QList<int> {2, 1, 1, 2}));
        QVERIFY(run.Clients().Successful == 1 && run.Clients().Warnings == 1 && run.Clients().Ended() == 2);
        QVERIFY(run.Clients().NotStarted == 0 && run.Clients().InProgress == 0);
        QCOMPARE(run.LastStatuses(), (QMap<int, QString> {{1, "XW"}, {2, "XS"}}));
        QVERIFY(run.Complete());
        // Each end went into the run history once, under the job's name,
        // with the computer's wave and identity; the engine's own codes do
        // not make a client seen.
        QHash<QString, RunHistory::Summary> history;
        QString problem;
        QVERIFY2(RunHistory().summary(history, problem), qPrintable(problem));
        QCOMPARE(history.size(), 2);
        const RunHistory::Outcome a = history.value("id:id-a").latest;
        QVERIFY(a.Status == "XW" && a.Wave == "Pilot" && a.DirectoryID == "ID-A" && a.Seen);
        QVERIFY(history.value("name:pc-b").latest.Run == "Job1" && history.value("name:pc-b").latest.Kind == "migration");
        QList<RunHistory::Outcome> ofB;
        QVERIFY(RunHistory().outcomesOf("PC-B", QString(), ofB, problem) && ofB.size() == 1 && !ofB.first().Seen);
        QCOMPARE(RunState::instance().state(), RunState::State::MigrationComplete);
        // The cancel after the last client and the second abort never reached the engine.
        QCOMPARE(fake->calls.filter(QStringLiteral("Cancel")), (QStringList {"CancelClient=1"}));
        QCOMPARE(fake->calls.filter(QStringLiteral("Abort")), (QStringList {"AbortClient=1", "AbortAll"}));
        QCOMPARE(fixture.presenter.count(), 0);
    }

    // A rollback sends only its computers, each told to join its source
    // domain again with the rollback's account (a local source has none
    // to go back to, and no workgroup goes out), into its own results
    // folder; its lines and labels say "Rollback" from first to last.
    void aRollbackOfChosenComputers()
    {
        EngineFixture fixture;
        auto engine = std::make_unique<FakeEngine>();
        FakeEngine *fake = engine.get();
        QXEInterface qxe(std::move(engine));
        ComputerDB db;
        JobFixture::makeSound(JobFixture::global(db));
        JobFixture::global(db).JoinVal = JoinWorkgroup;
        JobFixture::global(db).JoinName = QStringLiteral("WORKGROUP");
        for (const char *name : {"PC-A", "PC-B", "PC-C"})
            JobFixture::addComputer(db, QString::fromLatin1(name));
        JobFixture::own(db, 2).SourceDomain = LocalAccountDomain;

        RollbackJob job;
        job.Computers = {0, 2};
        job.JoinAccount = QStringLiteral("rejoin");
        job.JoinPassword = QStringLiteral("pwr");
        const QString results = fixture.logs.path() + QStringLiteral("/Spring rollback");
        MigrationRun run(db);
        QStringList lines;
        connect(&run, &MigrationRun::Line, &run, [&lines](const QString &line) { lines << line; });
        run.StartRollback(qxe, job, QStringLiteral("Spring rollback"), results);
        QCOMPARE(run.ClientIds(), (QList<qint32> {0, 2}));
        QVERIFY(fake->calls.contains(QStringLiteral("LogPath=") + results));
        const JobArray &settings = qxe.SettingsArray();
        QCOMPARE(settings.Value(SettingsColumn::JoinDomain, 1).toString(), QStringLiteral("OLDCORP"));
        QCOMPARE(settings.Value(SettingsColumn::JoinDCName, 1).toString(), QStringLiteral("OLD-DC1"));
        QCOMPARE(settings.Value(SettingsColumn::JoinAccount, 1).toString(), QStringLiteral("OLDCORP\\rejoin"));
        QCOMPARE(settings.Value(SettingsColumn::JoinPassword, 1).toString(), QStringLiteral("pwr"));
        for (int row : {1, 2})
            QVERIFY(settings.Value(SettingsColumn::Workgroup, row).toString().isEmpty());
        QVERIFY(settings.Value(SettingsColumn::JoinDomain, 2).toString().isEmpty());
        QVERIFY(QFile::exists(results + QStringLiteral("/rollback.txt")));

        Q_EMIT fake->ClientStatusChanged(1, QStringLiteral("XS"));
        Q_EMIT fake->ClientStatusChanged(2, QStringLiteral("XE"));
        Q_EMIT fake->ProcessingComplete();
        QCOMPARE(lines,
            (QStringList {modRollback::FirstLine(false), "Building migration list...", "Processing entries...", "PC-A: Rollback successful",
                "PC-C: Rollback complete with errors", "Processing complete.", modRollback::LastLine(false)}));
        QCOMPARE(run.Label(QStringLiteral("Done")), QStringLiteral("Done [Rollback]"));
        QHash<QString, RunHistory::Summary> history;
        QString problem;
        QVERIFY(RunHistory().summary(history, problem));
        const RunHistory::Summary c = history.value("name:pc-c");
        QVERIFY(c.latest.Kind == "rollback" && c.latest.Run == "Spring rollback" && c.tries == 0);
        QCOMPARE(run.JobName(), QStringLiteral("Spring rollback"));
        QVERIFY(!run.Rehearsal());
    }

    // Groups show the worst state below them, and only from the run's
    // preparation on; the computers outside a group do not touch it.
    void groupsShowTheWorstStateBelow()
    {
        using namespace TreeImage;
        MemoryTreeDisplay tree;
        tree.resetWithRoot();
        ComputerDB db;
        const int lab = db.AddFolder(QStringLiteral("Lab"), -1);
        const int inner = db.AddFolder(QStringLiteral("Inner"), lab);
        const int a = db.AddComputer(QStringLiteral("A"), QString(), inner, -1);
        const int b = db.AddComputer(QStringLiteral("B"), QString(), lab, -1);
        const int c = db.AddComputer(QStringLiteral("C"), QString(), -1, -1);
        db.LinkTreeView(&tree, Computer, Folder, nullptr);
        RunTreeStatus status(tree);
        status.SetColorsForRun();
        const QString labKey = QStringLiteral("F%1").arg(lab), innerKey = QStringLiteral("F%1").arg(inner);
        const auto key = [](int id) { return QStringLiteral("C%1").arg(id); };
        QCOMPARE(tree.icon(key(c)), int(StatusNotProcessed));
        QCOMPARE(tree.icon(labKey), int(Folder));

        const auto step = [&](int id, const char *code, int labImage, int innerImage) {
            status.SetNodeStatus(key(id), QString::fromLatin1(code));
            QCOMPARE(tree.icon(labKey), labImage);
            QCOMPARE(tree.expandedIcon(labKey), labImage == Folder ? int(FolderOpen) : labImage);
            QCOMPARE(tree.icon(innerKey), innerImage);
        };
        step(c, "XE", Folder, Folder);
        step(a, "L2", StatusExecuting, StatusExecuting);
        step(a, "XS", Folder, StatusSuccess); // B has not started
        step(b, "CL", StatusExecuting, StatusSuccess);
        step(b, "XW", StatusWarnings, StatusSuccess);
        step(a, "XA", StatusAborted, StatusAborted);
        QCOMPARE(tree.icon(key(a)), int(StatusAborted));
        QCOMPARE(status.Status(key(b)), QStringLiteral("XW"));
        QCOMPARE(tree.icon(QStringLiteral("F-1")), int(StatusErrors));
    }

    // Nothing to migrate: the engine interface says so, and the run stops.
    // A progress line after that is an internal error, not a line.
    void aRunThatCannotStart()
    {
        EngineFixture fixture;
        QXEInterface qxe(std::make_unique<FakeEngine>());
        ComputerDB db;
        MigrationRun run(db);
        QStringList messages;
        int stopped = 0;
        connect(
            &run, &MigrationRun::Message, &run, [&messages](int level, const QString &text) { messages << QString::number(level) + text; });
        connect(&run, &MigrationRun::Stopped, &run, [&stopped] { ++stopped; });
        run.Start(qxe);
        QCOMPARE(messages, (QStringList {"48The migration list is empty."}));
        QCOMPARE(stopped, 1);
        QVERIFY(!run.Complete() && !run.CanAbort() && !run.CanCancel());

        QStringList lines;
        connect(&run, &MigrationRun::Line, &run, [&lines](const QString &line) { lines << line; });
        fixture.presenter.clear();
        qxe.NetworkTestEnd();
        QVERIFY(lines.isEmpty());
        QCOMPARE(fixture.presenter.count(), 1);
        QVERIFY(fixture.presenter.last().text.contains(QStringLiteral("Function: wintQXE_Progress\r")));
        QVERIFY(fixture.presenter.last().text.endsWith(QStringLiteral("Progress message when not running")));
    }
};

QTEST_GUILESS_MAIN(TestMigrationRun)
#include "tst_MigrationRun.moc"
