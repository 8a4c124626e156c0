#include "engine/JobArray.h"
#include "engine/JobColumns.h"
#include "engine/RemoteEngine.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

JobArray clients(int count)
{
    JobArray array;
    array.Create(ClientColumn::Count, count);
    for (int row = 1; row <= count; ++row) {
        array.Set(ClientColumn::ComputerName, row, QStringLiteral("PC%1").arg(row));
        array.Set(ClientColumn::AdminAUsername, row, QStringLiteral("varno"));
        array.Set(ClientColumn::GeneratedFiles, row, QVariantList {QVariantList {QStringLiteral("varnoosk.cfg"), QByteArray(300, 'S')}});
    }
    return array;
}

} // namespace

// The console's side of the engine program: the job reaches the program,
// its events come back as the handler's, and a program that is missing or
// goes away leaves no client looking as if it were still at work.
class TestRemoteEngine : public QObject
{
    Q_OBJECT

    struct Events
    {
        explicit Events(RemoteEngine &engine)
        {
            connect(&engine, &QXEHandler::ClientStatusChanged, [this](int n, const QString &code) { statuses[n].append(code); });
            connect(&engine, &QXEHandler::ClientFinding, [this](int, int, const QString &text) { findings.append(text); });
            connect(&engine, &QXEHandler::Error, [this](int number) { errors.append(number); });
            connect(&engine, &QXEHandler::ProcessingComplete, [this] { complete = true; });
        }
        QHash<int, QStringList> statuses;
        QStringList findings;
        QList<int> errors;
        bool complete = false;
    };

    static void start(RemoteEngine &engine, const char *behaviour, int count = 3)
    {
        qputenv("FAKE_ENGINE", behaviour);
        qputenv(RemoteEngine::ProgramVariable, VO_FAKE_ENGINE);
        engine.SetClients(clients(count));
        engine.StartProcessing();
    }

    QTemporaryDir m_runtime;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit()); }
    void cleanup() { qunsetenv(RemoteEngine::ProgramVariable); }

    void aWholeRun()
    {
        RemoteEngine engine;
        Events events(engine);
        start(engine, "complete");
        QVERIFY(QTest::qWaitFor([&] { return events.complete; }, 10'000));
        QCOMPARE(events.statuses.value(2), QStringList({"L", "CL", "XS"}));
        QCOMPARE(events.findings, QStringList({"PC1/varno/varnoosk.cfg/300", "PC2/varno/varnoosk.cfg/300", "PC3/varno/varnoosk.cfg/300"}));
        QVERIFY(events.errors.isEmpty());
        QCOMPARE(engine.GetClientStatus(3).StatusCode, QStringLiteral("XS"));
        QVERIFY(!engine.Processing());
        // The job, passwords and all, does not outlive the run.
        QVERIFY(QTest::qWaitFor(
            [&] { return QDir(m_runtime.filePath("varno-osk")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty(); }, 5000));
    }

    void cancelReachesTheProgram()
    {
        RemoteEngine engine;
        Events events(engine);
        start(engine, "wait", 2);
        QVERIFY(QTest::qWaitFor([&] { return events.statuses.value(2).contains("CL"); }, 10'000));
        engine.CancelAll();
        QVERIFY(QTest::qWaitFor([&] { return events.complete; }, 10'000));
        QCOMPARE(events.statuses.value(1).last(), QStringLiteral("XC"));
    }

    void aProgramThatGoesOrNeverCame_data()
    {
        QTest::addColumn<QByteArray>("program");
        QTest::addColumn<int>("error");
        QTest::newRow("goes mid-run") << QByteArray(VO_FAKE_ENGINE) << RemoteEngine::ErrorEnded;
        QTest::newRow("missing") << QByteArray("/nonexistent/varno-osk-engine") << RemoteEngine::ErrorNotStarted;
    }

    void aProgramThatGoesOrNeverCame()
    {
        QFETCH(QByteArray, program);
        QFETCH(int, error);
        RemoteEngine engine;
        Events events(engine);
        qputenv("FAKE_ENGINE", "vanish");
        qputenv(RemoteEngine::ProgramVariable, program);
        engine.SetClients(clients(2));
        engine.StartProcessing();
        QVERIFY(QTest::qWaitFor([&] { return !events.errors.isEmpty(); }, 10'000));
        QCOMPARE(events.errors, QList<int> {error});
        QCOMPARE(events.statuses.value(1).last(), QStringLiteral("XE"));
        QCOMPARE(events.statuses.value(2).last(), QStringLiteral("XE"));
        QVERIFY(!engine.Processing());
    }
};

QTEST_GUILESS_MAIN(TestRemoteEngine)
#include "tst_RemoteEngine.moc"
