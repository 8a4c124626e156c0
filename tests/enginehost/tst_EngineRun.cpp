#include "common/modRehearsal.h"
#include "enginehost/ClientChannel.h"
#include "enginehost/DeliveryPlan.h"
#include "enginehost/EngineRun.h"
#include "enginehost/TransferorPool.h"
#include "protocol/modFindings.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Stands for the listener: records what the run asks of the clients.
class FakeChannel final : public ClientChannel
{
public:
    bool listen(const QString &, quint16, int &, QString &) override { return true; }
    QString admit(const QString &computer) override { return QStringLiteral("token-") + computer; }
    QString fingerprint() const override { return QStringLiteral("ab"); }
    void cancel(const QString &computer) override { said.append(QStringLiteral("cancel ") + computer); }
    void abort(const QString &computer) override { said.append(QStringLiteral("abort ") + computer); }
    void end(const QString &computer) override { said.append(QStringLiteral("end ") + computer); }
    void report(const QString &computer, const QStringList &codes)
    {
        for (const QString &code : codes)
            Q_EMIT status(computer, code);
    }
    QStringList said;
};

TransferorStep step(const QString &name, const QStringList &argv)
{
    TransferorStep made;
    made.name = name;
    made.argv = argv;
    return made;
}

// Delivers with a shell line per computer (given by the test), collects
// with `true`, and diagnoses every failure as a refused connection.
class ShellPlan final : public DeliveryPlan
{
public:
    TransferorTask deliver(const modEngineLink::JobClient &client, const QByteArray &runFile) override
    {
        runFiles.insert(client.name, runFile);
        TransferorTask task;
        task.steps.append(step(QStringLiteral("deliver"), {"/bin/sh", "-c", scripts.value(client.name, QStringLiteral("sleep 0.1"))}));
        task.environment = {QStringLiteral("PATH=/usr/bin:/bin")};
        return task;
    }
    TransferorTask collect(const modEngineLink::JobClient &client, const QString &, const QString &statusFile) override
    {
        TransferorTask task;
        task.steps.append(step(QStringLiteral("collect"), {"/usr/bin/printf", "%s", left.value(client.name)}));
        task.steps.last().outputFile = statusFile;
        return task;
    }
    int diagnose(const TransferorOutcome &, QString &reason) const override
    {
        reason = QStringLiteral("refused");
        return modFindings::ConnectionRefused;
    }
    bool cleanedUp(const TransferorOutcome &outcome) const override { return outcome.ok; }
    TransferorTask ask(const modEngineLink::JobClient &client) override
    {
        TransferorTask task;
        task.steps.append(step(QStringLiteral("ask"), {"/bin/sh", "-c", answers.value(client.name, QStringLiteral("echo not-started"))}));
        task.environment = {QStringLiteral("PATH=/usr/bin:/bin")};
        return task;
    }
    State stateOf(const TransferorOutcome &outcome) const override
    {
        const QByteArray said = outcome.results.isEmpty() ? QByteArray() : outcome.results.last().output.trimmed();
        return said == "ended" ? State::Ended : said == "at-work" ? State::AtWork : said == "not-started" ? State::NotStarted : State::Unknown;
    }

    QHash<QString, QString> scripts;
    QHash<QString, QString> answers;
    QHash<QString, QString> left; // the status file each client leaves
    QHash<QString, QByteArray> runFiles;
};

struct Run
{
    explicit Run(int clients, int transferors = 4, const QHash<QString, QString> &scripts = {}, const QJsonObject &more = {})
    {
        settings = {{"LogPath", results.path()}, {"ReportingPeriod", 1}, {"KeepAliveIncrement", 1}, {"StatusCheckPeriod", 1},
            {"Mode", "check"}};
        for (auto it = more.begin(); it != more.end(); ++it)
            settings.insert(it.key(), it.value());
        auto fakeChannel = std::make_unique<FakeChannel>();
        auto shellPlan = std::make_unique<ShellPlan>();
        channel = fakeChannel.get();
        plan = shellPlan.get();
        plan->scripts = scripts;
        auto workers = std::make_unique<TransferorPool>(QStringLiteral(VO_ENGINE_PROGRAM),
            QStringList {"--transferor", "%1", "--log", results.filePath("transferor%1.log")}, transferors);
        pool = workers.get();
        run = std::make_unique<EngineRun>(settings, std::move(fakeChannel), std::move(shellPlan), std::move(workers));
        QObject::connect(run.get(), &EngineRun::status, [this](int n, const QString &code) { statuses[n].append(code); });
        QObject::connect(run.get(), &EngineRun::finding, [this](int n, int code, const QString &) { findings[n].append(code); });
        QObject::connect(run.get(), &EngineRun::wave, [this](const QString &text, bool line) {
            if (line)
                waveLines.append(text);
        });
        for (int n = 1; n <= clients; ++n)
            job.append({n, QStringLiteral("PC%1").arg(n), QStringLiteral("varno"), {}});
    }
    bool start()
    {
        int number = 0;
        return run->start(job, number);
    }
    // Waits until the client was delivered, then has it report `codes` and hang up.
    bool works(int n, const QStringList &codes)
    {
        if (!QTest::qWaitFor([&] { return statuses[n].contains(QStringLiteral("L")) && pool->busy() == 0; }, 10'000))
            return false;
        channel->report(QStringLiteral("PC%1").arg(n), codes);
        Q_EMIT channel->gone(QStringLiteral("PC%1").arg(n));
        return true;
    }
    QString last(int n) const { return statuses.value(n).value(statuses.value(n).size() - 1); }

    QTemporaryDir results;
    QJsonObject settings;
    QList<modEngineLink::JobClient> job;
    FakeChannel *channel = nullptr;
    ShellPlan *plan = nullptr;
    TransferorPool *pool = nullptr;
    std::unique_ptr<EngineRun> run;
    QHash<int, QStringList> statuses;
    QHash<int, QList<int>> findings;
    QStringList waveLines;
};

} // namespace

class TestEngineRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void transferorsNeverExceedTheirNumber()
    {
        Run r(12, 4);
        QSignalSpy last(r.run.get(), &EngineRun::lastClient);
        QVERIFY(r.start());
        QVERIFY(QTest::qWaitFor([&] { return r.pool->busy() == 0 && r.pool->queued() == 0; }, 20'000));
        QCOMPARE(r.pool->mostBusy(), 4);
        QCOMPARE(last.size(), 1);
        QVERIFY(r.plan->runFiles.value("PC3").contains("TOKEN=token-PC3\r\n"));
        for (int n = 1; n <= 12; ++n)
            QVERIFY(r.works(n, {"CL", "PS"}));
        QVERIFY(QTest::qWaitFor([&] { return r.run->complete(); }, 20'000));
        QCOMPARE(r.statuses.value(1), QStringList({"L", "CL", "PS", "U", "XS"}));
    }

    void clientsThatFailOrFallSilent()
    {
        // One refuses, one is never heard of, one dies with its transferor twice, one once.
        QTemporaryDir marks;
        Run r(5, 2,
            {{"PC1", "exit 1"}, {"PC3", "kill -9 $PPID"},
                {"PC4", QStringLiteral("[ -e %1/once ] || { touch %1/once; kill -9 $PPID; }").arg(marks.path())}});
        QVERIFY(r.start());
        QVERIFY(r.works(4, {"CL", "PW"}));
        QVERIFY(r.works(5, {"CL", "PE"}));
        QVERIFY(QTest::qWaitFor([&] { return r.run->complete(); }, 20'000));
        QCOMPARE(r.last(1), "XE");
        QCOMPARE(r.findings.value(1), QList<int> {modFindings::ConnectionRefused});
        QCOMPARE(r.last(2), "XE");
        QCOMPARE(r.findings.value(2), QList<int> {modFindings::NoReport});
        QVERIFY(r.channel->said.contains("end PC2"));
        QCOMPARE(r.findings.value(3), QList<int> {modFindings::SshFailed});
        QCOMPARE(r.last(4), "XW");
        QCOMPARE(r.last(5), "XE");
    }

    void cancelAndAbort()
    {
        Run r(3, 1, {{"PC1", "sleep 0.3"}});
        QVERIFY(r.start());
        r.run->cancel(3); // still queued: never delivered
        QCOMPARE(r.statuses.value(3), QStringList {"XC"});
        QVERIFY(QTest::qWaitFor([&] { return r.statuses[1].contains("L"); }, 5000));
        r.run->abort(1); // on its way: told when it first reports
        QVERIFY(r.works(1, {"CL"}));
        QCOMPARE(r.channel->said.filter("abort"), QStringList {"abort PC1"});
        r.channel->report("PC1", {"XA"});
        Q_EMIT r.channel->gone("PC1");
        QVERIFY(r.works(2, {"XC"}));
        QVERIFY(QTest::qWaitFor([&] { return r.run->complete(); }, 20'000));
        QCOMPARE(r.statuses.value(1), QStringList({"L", "AP", "CL", "XA", "U", "XA"}));
        QCOMPARE(r.last(2), "XC");
    }

    // A client that reboots closes its link after 1303 and a keep-alive: it
    // is waited for as long as the keep-alive asks, one without it is not.
    // A migration's handler log says first which engine ran it.
    void aRebootingClientIsWaitedFor()
    {
        Run r(2, 2, {}, {{"Mode", "migrate"}, {"KeepAliveIncrement", 4}});
        QVERIFY(r.start());
        QVERIFY(QTest::qWaitFor([&] { return r.statuses[2].contains("L") && r.pool->busy() == 0; }, 10'000));
        for (const QString &computer : {QStringLiteral("PC1"), QStringLiteral("PC2")}) {
            r.channel->report(computer, {"CL"});
            Q_EMIT r.channel->finding(computer, modFindings::Rebooting, QString());
            if (computer == "PC1")
                Q_EMIT r.channel->keepAlive(computer, 4);
            Q_EMIT r.channel->gone(computer);
        }
        QTRY_COMPARE_WITH_TIMEOUT(r.last(2), "XE", 4000);
        QCOMPARE(r.last(1), "CL");
        r.channel->report("PC1", {"PS"});
        Q_EMIT r.channel->gone("PC1");
        QTRY_VERIFY(r.run->complete());
        QCOMPARE(r.statuses.value(1), QStringList({"L", "CL", "PS", "U", "XS"}));
        QFile log(r.results.filePath("handler.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readLine().trimmed().endsWith(modRehearsal::SshFirstLine().toUtf8()));
    }

    // Waves go in order, each with its cap; more than its threshold failed
    // cancels the rest of it and every wave after it, and aborts none.
    void wavesInOrderUntilOneFailsTooOften()
    {
        const QJsonArray waves = modEngineLink::EncodeWaves({{"Pilot", {}, 1, 30}, {"Rest", {}, 0, -1}});
        Run r(6, 4, {{"PC2", "exit 1"}}, {{"Waves", waves}});
        for (int n = 1; n <= 6; ++n)
            r.job[n - 1].wave = n <= 3 ? 1 : (n <= 5 ? 2 : 0);
        QVERIFY(r.start());
        QVERIFY(r.works(1, {"CL"}));
        QVERIFY(!r.statuses.contains(2)); // one at a time
        r.channel->report("PC1", {"PS"});
        Q_EMIT r.channel->gone("PC1");
        QTRY_COMPARE(r.last(2), "XE");
        QTRY_VERIFY(r.run->complete());
        QCOMPARE(r.last(1), "XS");
        for (int n = 3; n <= 6; ++n)
            QCOMPARE(r.statuses.value(n), QStringList {"XC"});
        QCOMPARE(r.waveLines.value(0), "Wave 1 of 2 \"Pilot\" starts: 3 computers, 1 at a time, stopped when more than 30 % fail.");
        QVERIFY2(r.waveLines.last().startsWith("Wave 1 of 2 \"Pilot\" stopped: 1 of its 3 computers failed"), qPrintable(r.waveLines.last()));
        QVERIFY(r.channel->said.filter("abort").isEmpty());
    }

    // A client not reached is tried again until the pending timeout: one
    // comes online at its second try, one never does.
    void offlineClientsAreTriedAgain()
    {
        QTemporaryDir marks;
        Run r(2, 2, {{"PC1", QStringLiteral("[ -e %1/on ] || { touch %1/on; exit 1; }").arg(marks.path())}, {"PC2", "exit 1"}},
            {{"RetryInterval", 1}, {"PendingTimeout", 3}});
        QHash<int, int> tries;
        QObject::connect(r.run.get(), &EngineRun::pending, [&](int n, int t, const QDateTime &next, const QString &) {
            tries[n] = t;
            QVERIFY(next > QDateTime::currentDateTimeUtc());
        });
        QVERIFY(r.start());
        QTRY_VERIFY(r.statuses[1].count("L") == 2);
        QVERIFY(r.works(1, {"CL", "PS"}));
        QTRY_VERIFY_WITH_TIMEOUT(r.run->complete(), 10'000);
        QCOMPARE(r.statuses.value(1), QStringList({"L", "NP", "L", "CL", "PS", "U", "XS"}));
        QCOMPARE(tries.value(1), 1);
        QCOMPARE(r.last(2), "XE");
        QVERIFY(tries.value(2) >= 2);
        QCOMPARE(r.findings.value(2).size(), tries.value(2) + 1);
    }

    // A delivered client that goes quiet waits instead of failing, and its
    // report is taken when it comes in time.
    void aQuietClientIsWaitedFor()
    {
        Run r(1, 1, {}, {{"PendingTimeout", 6}});
        QVERIFY(r.start());
        QVERIFY(QTest::qWaitFor([&] { return r.statuses[1].contains("L") && r.pool->busy() == 0; }, 10'000));
        r.channel->report("PC1", {"CL"});
        QTRY_COMPARE_WITH_TIMEOUT(r.last(1), "WR", 5000);
        r.channel->report("PC1", {"PS"});
        Q_EMIT r.channel->gone("PC1");
        QTRY_VERIFY(r.run->complete());
        QCOMPARE(r.statuses.value(1), QStringList({"L", "CL", "WR", "PS", "U", "XS"}));
    }

    // Clients an engine that died was at work on: nothing is delivered
    // before the client says its service never began, what an ended one
    // left gives its outcome, and one still at work is asked again.
    void clientsAreAskedBeforeTheyAreDeliveredAgain()
    {
        QTemporaryDir marks;
        Run r(5, 2);
        for (modEngineLink::JobClient &client : r.job)
            client.askFirst = true;
        r.plan->answers = {{"PC2", "echo ended"}, {"PC3", "echo ended"}, {"PC4", "echo at-work"},
            {"PC5", QStringLiteral("[ -e %1/m ] && echo ended || { touch %1/m; echo at-work; }").arg(marks.path())}};
        r.plan->left = {{"PC2", "STATUS=PW\r\nFINDING=1010 alice: /home/alice\r\nFINDING=77 forged\r\n"}, {"PC3", "STATUS=CL\r\n"},
            {"PC5", "STATUS=PS\r\n"}};
        QVERIFY(r.start());
        QVERIFY(r.works(1, {"CL", "PS"}));
        QVERIFY(QTest::qWaitFor([&] { return r.run->complete(); }, 20'000));
        QCOMPARE(r.plan->runFiles.keys(), QStringList {"PC1"});
        QCOMPARE(r.last(1), "XS");
        QCOMPARE(r.statuses.value(2), QStringList({"U", "XW"}));
        QCOMPARE(r.findings.value(2), QList<int> {modFindings::ProfileMigrated});
        QCOMPARE(r.last(3), "XE");
        QCOMPARE(r.findings.value(3), QList<int> {modFindings::WorkCutOff});
        QCOMPARE(r.statuses.value(4), QStringList({"WR", "XE"}));
        QCOMPARE(r.findings.value(4), QList<int> {modFindings::NoReport});
        QCOMPARE(r.statuses.value(5), QStringList({"WR", "U", "XS"}));
    }
};

QTEST_GUILESS_MAIN(TestEngineRun)
#include "tst_EngineRun.moc"
