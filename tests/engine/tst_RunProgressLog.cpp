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
        QTest::newRow("AP") << "AP"
                            << "Abort pending";
        QTest::newRow("CL") << "CL"
                            << "Client executing";
        QTest::newRow("XA") << "XA"
                            << "Migration aborted";
        QTest::newRow("XC") << "XC"
                            << "Migration canceled";
        QTest::newRow("XE") << "XE"
                            << "Migration complete with errors";
        QTest::newRow("XS") << "XS"
                            << "Migration successful";
        QTest::newRow("XW") << "XW"
                            << "Migration complete with warnings";
        QTest::newRow("ID") << "ID"
                            << "Idle";
        QTest::newRow("L0") << "L0"
                            << "Loading in progress";
        QTest::newRow("L3") << "L3"
                            << "Loading in progress";
        QTest::newRow("L9") << "L9"
                            << "Loading in progress";
        QTest::newRow("L") << "L"
                           << "Loading in progress";
        QTest::newRow("NP") << "NP"
                            << "Not processed";
        QTest::newRow("PE") << "PE"
                            << "Client process finished with errors";
        QTest::newRow("PS") << "PS"
                            << "Client process successful";
        QTest::newRow("PW") << "PW"
                            << "Client process finished with warnings";
        QTest::newRow("A4") << "A4"
                            << "Aborting in progress";
        QTest::newRow("U") << "U"
                           << "Unloading in progress";
        QTest::newRow("U7") << "U7"
                            << "Unloading in progress";
        QTest::newRow("Q1") << "Q1"
                            << "Unspecified status = Q1";
        QTest::newRow("L10") << "L10"
                             << "Unspecified status = L10";
        QTest::newRow("LX") << "LX"
                            << "Unspecified status = LX";
        QTest::newRow("lower case") << "xs"
                                    << "Unspecified status = xs";
        QTest::newRow("empty") << ""
                               << "Unspecified status = ";
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
        JobFixture::addComputer(db, QStringLiteral("GONE"));
        JobFixture::addComputer(db, QStringLiteral("PC-A"));
        JobFixture::addComputer(db, QStringLiteral("PC-B"));
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
