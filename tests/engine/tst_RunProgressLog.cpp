#include "engine/ClientStatus.h"
#include "engine/QXEInterface.h"
#include "engine/RunProgressLog.h"

#include "EngineFixture.h"
#include "FakeEngine.h"
#include "JobFixture.h"

#include <memory>

class TestRunProgressLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Text and image of the codes at the edges of the families; both come
    // from one lookup, so each row checks that they agree.
    void statusCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("image");
        using namespace TreeImage;
        const auto row = [](const char *code, const char *text, int image) { QTest::addRow("'%s'", code) << code << text << image; };
        row("ID", "Idle", StatusNotProcessed);
        row("NP", "Not processed", StatusNotProcessed);
        row("CL", "Client executing", StatusExecuting);
        row("PS", "Client process successful", StatusSuccess);
        row("XW", "Migration complete with warnings", StatusWarnings);
        row("PE", "Client process finished with errors", StatusErrors);
        row("XC", "Migration canceled", StatusCanceled);
        row("XA", "Migration aborted", StatusAborted);
        row("AP", "Abort pending", StatusAborting);
        row("L", "Loading in progress", StatusLoading);
        row("L0", "Loading in progress", StatusLoading);
        row("L5x", "Loading in progress", StatusLoading);
        row("L9", "Loading in progress", StatusLoading);
        row("L9x", "Unspecified status = L9x", StatusUnknown);
        row("L10", "Loading in progress", StatusLoading);
        row("L/", "Unspecified status = L/", StatusUnknown);
        row("LX", "Unspecified status = LX", StatusUnknown);
        row("A", "Aborting in progress", StatusAborting);
        row("A4", "Aborting in progress", StatusAborting);
        row("U", "Unloading in progress", StatusUnloading);
        row("U7", "Unloading in progress", StatusUnloading);
        row("Q1", "Unspecified status = Q1", StatusUnknown);
        row("xs", "Unspecified status = xs", StatusUnknown);
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

    void linesAndTally()
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
        FakeExport job;
        job.computers = {{1, QStringLiteral("PC-A")}, {2, QStringLiteral("PC-B")}};

        RunProgressLog log(db, qxe);
        QStringList lines;
        connect(&log, &RunProgressLog::Line, &log, [&lines](const QString &line) { lines << line; });
        qxe.Run(job);

        Q_EMIT fake->ClientStatusChanged(2, QStringLiteral("L3"));
        Q_EMIT fake->ClientStatusChanged(1, QStringLiteral("XW"));
        Q_EMIT fake->ClientStatusChanged(2, QStringLiteral("XS"));
        // A repeated end is counted once.
        Q_EMIT fake->ClientStatusChanged(2, QStringLiteral("XS"));
        Q_EMIT fake->ProcessingComplete();

        QCOMPARE(lines,
            (QStringList {"Building migration list...", "Processing entries...", "PC-B: Loading in progress",
                "PC-A: Migration complete with warnings", "PC-B: Migration successful", "PC-B: Migration successful",
                "Processing complete."}));
        QCOMPARE(log.Clients().Successful, 1);
        QCOMPARE(log.Clients().Warnings, 1);
        QCOMPARE(log.Clients().Ended(), 2);
        QCOMPARE(log.LastStatus(2), QStringLiteral("XS"));
        QCOMPARE(log.LastStatus(0), QString());
    }
};

QTEST_GUILESS_MAIN(TestRunProgressLog)
#include "tst_RunProgressLog.moc"
