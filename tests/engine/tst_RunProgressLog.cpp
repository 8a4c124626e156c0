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
    void statusTexts_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *tag, const char *code, const char *text) { QTest::newRow(tag) << code << text; };
        row("AP", "AP", "Abort pending");
        row("XE", "XE", "Migration complete with errors");
        row("XW", "XW", "Migration complete with warnings");
        row("ID", "ID", "Idle");
        row("PE", "PE", "Client process finished with errors");
        row("L0", "L0", "Loading in progress");
        row("L9", "L9", "Loading in progress");
        row("L", "L", "Loading in progress");
        row("A4", "A4", "Aborting in progress");
        row("U", "U", "Unloading in progress");
        row("U7", "U7", "Unloading in progress");
        row("L10", "L10", "Unspecified status = L10");
        row("LX", "LX", "Unspecified status = LX");
        row("lower case", "xs", "Unspecified status = xs");
        row("empty", "", "Unspecified status = ");
    }

    void statusTexts()
    {
        QFETCH(QString, code);
        QFETCH(QString, text);
        QCOMPARE(RunProgressLog::StatusText(code), text);
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
