#include "common/modRollback.h"
#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"
#include "engine/EngineJournal.h"
#include "settingsfile/SettingsFile.h"

#include "job/JobFixture.h"
#include "support/LabComputers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/types.h>
#include <functional>
#include <memory>

using namespace JobFixture;

// The check on the clients as an administrator runs it, `vo check --clients`,
// against twenty computers of their own: each a network namespace with its
// own sshd and a private root for the client service. Some are switched off
// or cut off in the middle of their check, one runs no sshd, one has a host
// key nobody trusted, one has a slow realm tool; the others check themselves
// and leave nothing behind.
class TestRealClients : public QObject
{
    Q_OBJECT

    enum class Role { Clean, Slow, Killed, Cut, NoService, Untrusted };

    static Role role(int n)
    {
        switch (n) {
        case 3:
        case 4:
            return Role::Killed;
        case 5:
        case 6:
            return Role::Cut;
        case 7:
            return Role::NoService;
        case 8:
            return Role::Untrusted;
        case 9:
            return Role::Slow;
        default:
            return Role::Clean;
        }
    }

    static constexpr int Clients = 20;

    static QString name(int n) { return LabComputers::name(n); }

    // The computers of a lab, each with an sshd and a realm tool that takes
    // `slow(n)` seconds; the console trusts those `trusted(n)` says, and a
    // job of them all waits in home/lab.vos.json.
    std::unique_ptr<LabComputers> makeComputers(int count, const std::function<bool(int)> &serves, const std::function<int(int)> &slow,
        const std::function<bool(int)> &trusted, int transferors)
    {
        LabComputers::Options options;
        options.count = count;
        options.transferors = transferors;
        options.serves = serves;
        options.slow = slow;
        options.trusted = trusted;
        auto made = std::make_unique<LabComputers>(QStringLiteral(VO_EXECUTABLE), options);
        if (!made->problem().isEmpty())
            return made;
        ComputerDB db;
        makeSound(global(db));
        for (int n = 1; n <= count; ++n)
            addComputer(db, name(n));
        SettingsFile::SaveOptions saved;
        saved.JobName = QStringLiteral("Lab");
        m_ready = SettingsFile().Save(db, made->home.filePath("lab.vos.json"), saved).ok();
        return made;
    }

    static void startCheck(const LabComputers &computers, QProcess &check)
    {
        check.start("ip",
            computers.voCommand({"check", computers.home.filePath("lab.vos.json"), "--clients", "--csv", computers.home.filePath("report.csv"),
                "--html", computers.home.filePath("report.html")}));
    }

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Nothing of the run is left on the computer: no configuration, token or program.
    static QStringList leftovers(const SshdServer &server)
    {
        QStringList found;
        QDirIterator files(server.clientRoot(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString file = QFileInfo(files.next()).fileName();
            if (file == "varnoosk.cfg" || file == "varnoosk.run" || file == "varno-osk-client")
                found << file;
        }
        return found;
    }

    // A job of the computers' own accounts: re-owned in place, no reboot.
    static void localAccounts(ComputerDB &db)
    {
        makeSound(global(db));
        global(db).SourceDomain = global(db).DestinationDomain = LocalAccountDomain;
        global(db).RebootPermitted = global(db).ForceReboot = 0;
        global(db).CopyProfile = 0;
    }

    // The ssh engine, trying a computer that is off every 10 s for a minute.
    static bool waitsForComputersThatAreOff(const LabComputers &computers)
    {
        for (const QStringList &value : {QStringList {"Engine", "ssh"}, {"RetryInterval", "10 s"}, {"PendingTimeout", "1 min"}}) {
            if (computers.vo(QStringList {"config", "set"} + value).status != 0)
                return false;
        }
        return true;
    }

    // Reads `process` into `out` until `text` is there; false at the deadline.
    static bool readUntil(QProcess &process, QByteArray &out, const QByteArray &text, int ms)
    {
        QDeadlineTimer deadline(ms);
        while (!out.contains(text) && !deadline.hasExpired()) {
            process.waitForReadyRead(200);
            out += process.readAllStandardOutput();
        }
        return out.contains(text);
    }

    // Three lab computers with a profile of `files` files each and a job of
    // their own accounts in home/job.vos.json, the third switched off, the
    // engine waiting for it; nullptr (after a skip or a failure) when the lab
    // cannot stand.
    std::unique_ptr<LabComputers> threeComputersTheThirdOff(int files)
    {
        auto computers = makeComputers(3, [](int) { return true; }, [](int) { return 0; }, [](int) { return true; }, 3);
        if (computers->unavailable()) {
            QTest::qSkip(qPrintable(computers->lab.problem()), __FILE__, __LINE__);
            return nullptr;
        }
        bool ready = m_ready && waitsForComputersThatAreOff(*computers);
        for (int n = 1; n <= 3; ++n)
            ready = ready && computers->giveProfile(n, files);
        ComputerDB db;
        localAccounts(db);
        for (int n = 1; n <= 3; ++n)
            addComputer(db, name(n));
        SettingsFile::SaveOptions options;
        options.JobName = QStringLiteral("Job");
        ready = ready && SettingsFile().Save(db, computers->home.filePath("job.vos.json"), options).ok();
        if (!QTest::qVerify(ready, "the lab", qPrintable(computers->problem()), __FILE__, __LINE__))
            return nullptr;
        computers->lab.killClient(3);
        return computers;
    }

    bool m_ready = false;

private Q_SLOTS:
    void init()
    {
        if (const QString why = SshdServer::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        m_ready = false;
    }

    void checkOfTwentyClients()
    {
        const auto computers = makeComputers(
            Clients, [](int n) { return role(n) != Role::NoService; },
            [](int n) { return role(n) == Role::Killed || role(n) == Role::Cut ? 20 : role(n) == Role::Slow ? 8 : 0; },
            [](int n) { return role(n) != Role::Untrusted; }, 8);
        if (computers->unavailable())
            QSKIP(qPrintable(computers->lab.problem()));
        QVERIFY2(m_ready, qPrintable(computers->problem()));
        const NamespaceLab &lab = computers->lab;
        const auto &servers = computers->servers;

        QProcess check;
        startCheck(*computers, check);
        // Switched off or cut off once their check is under way.
        QDeadlineTimer deadline(60'000);
        for (int n = 3; n <= 6; ++n) {
            while (!QFile::exists(computers->asked(n)) && !deadline.hasExpired())
                QThread::msleep(50);
            if (role(n) == Role::Killed)
                lab.killClient(n);
            else
                QVERIFY(lab.setLinkUp(n, false));
        }
        QVERIFY(check.waitForFinished(120'000));
        const QByteArray out = check.readAllStandardOutput();
        const QByteArray report = readAll(computers->home.filePath("report.csv"));
        QVERIFY2(!report.isEmpty(), out.constData());

        // The report in the computers' own words: the codes of their faults.
        const auto codes = [&](int n) {
            QStringList found;
            static const QRegularExpression fault(
                QStringLiteral("^([^,]*),[^,]*,(?:error|warning),(\\d+),"), QRegularExpression::MultilineOption);
            for (auto match = fault.globalMatch(QString::fromUtf8(report)); match.hasNext();) {
                const QRegularExpressionMatch row = match.next();
                if (row.captured(1) == name(n))
                    found << row.captured(2);
            }
            return found;
        };
        for (int n = 1; n <= Clients; ++n) {
            const QStringList found = codes(n);
            const QByteArray seen = (name(n) + QStringLiteral(": ") + found.join(QLatin1Char(' '))).toUtf8();
            switch (role(n)) {
            case Role::Killed:
            case Role::Cut:
                QVERIFY2(found.contains("2010"), seen.constData());
                break;
            case Role::NoService:
                QVERIFY2(found.contains("2002"), seen.constData());
                break;
            case Role::Untrusted:
                QVERIFY2(found.contains("2005"), seen.constData());
                break;
            case Role::Slow: // its realm tool outlasts the reporting period several times
            case Role::Clean: {
                // The account the job names is not on these computers: the client's own finding.
                // Reached and heard to the end: no fault of reaching it or of cleaning up.
                QVERIFY2(found.contains("1001"), seen.constData());
                for (const QString &code : found)
                    QVERIFY2(!code.startsWith("20"), seen.constData());
                QCOMPARE(leftovers(*servers[static_cast<size_t>(n)]), QStringList());
                break;
            }
            }
        }
    }

    // A migration of three computers' local accounts through the engine:
    // one switched off while it re-owns its profile, then switched on and
    // rolled back with one that had finished; every profile ends wholly
    // old or wholly new, and the rollback's results say "Rollback".
    void migrateKillAndRollBack()
    {
        constexpr int Count = 3;
        const auto computers = makeComputers(Count, [](int) { return true; }, [](int) { return 0; }, [](int) { return true; }, 3);
        if (computers->unavailable())
            QSKIP(qPrintable(computers->lab.problem()));
        QVERIFY2(m_ready, qPrintable(computers->problem()));
        for (int n = 1; n <= Count; ++n)
            QVERIFY(computers->giveProfile(n, n == 2 ? 30000 : 300));
        QCOMPARE(computers->vo({"config", "set", "Engine", "ssh"}).status, 0);
        ComputerDB db;
        localAccounts(db);
        for (int n = 1; n <= Count; ++n)
            addComputer(db, name(n));
        const QString job = computers->home.filePath("move.vos.json");
        SettingsFile::SaveOptions options;
        options.JobName = QStringLiteral("Move");
        QVERIFY(SettingsFile().Save(db, job, options).ok());

        QProcess run;
        run.start("ip", computers->voCommand({"run", job, "--ignore-warnings"}));
        // Switched off in the middle of re-owning: the journal names the step.
        QDeadlineTimer deadline(90'000);
        while (!computers->reowning(2) && !deadline.hasExpired())
            QThread::msleep(5);
        computers->lab.killClient(2);
        QVERIFY2(!deadline.hasExpired(), run.readAllStandardOutput() + run.readAllStandardError());
        QVERIFY(run.waitForFinished(120'000));
        const QByteArray migrated = run.readAllStandardOutput();
        QVERIFY2(migrated.contains("client-1: Migration successful\n") && migrated.contains("client-3: Migration successful\n"),
            migrated.constData());
        QVERIFY2(!migrated.contains("client-2: Migration successful"), migrated.constData());
        QCOMPARE(computers->profileState(1), QStringLiteral("new, 329"));
        QCOMPARE(computers->profileState(3), QStringLiteral("new, 329"));

        // Switched on again; the second computer is rolled back with the third.
        QVERIFY(computers->servers[2]->restart(false));
        const QString results = computers->home.filePath("logs/Move");
        VoRun rollback = computers->vo({"rollback", job, "--from", results, "--computer", "client-2", "--computer", "CLIENT-3", "--report",
                                                computers->home.filePath("rollback")});
        QVERIFY2(rollback.status == 0, rollback.out + rollback.err);
        for (const char *line : {"Rollback Job Name: Move rollback [Rollback]\n", "client-2: Rollback successful\n",
                 "client-3: Rollback successful\n", "Clients: 2; successful 2, with warnings 0, with errors 0, canceled 0, aborted 0. [Rollback]\n"})
            QVERIFY2(rollback.out.contains(line), rollback.out.constData());
        QVERIFY(!rollback.out.contains("client-1"));
        QCOMPARE(computers->profileState(1), QStringLiteral("new, 329"));
        QCOMPARE(computers->profileState(2), QStringLiteral("old, 30029"));
        QCOMPARE(computers->profileState(3), QStringLiteral("old, 329"));
        QVERIFY(QFile::exists(computers->home.filePath("logs/Move rollback/rollback.txt")));
        QVERIFY(readAll(computers->home.filePath("rollback/report.html")).contains("Rollback report: Move rollback [Rollback]"));
        QVERIFY(readAll(computers->home.filePath("logs/Move rollback/handler.log")).contains(modRollback::FirstLine(false).toUtf8()));

        // The rollback's results are not a migration's to roll back again,
        // and forgetting leaves the migrated computer as it is, for good.
        rollback = computers->vo({"rollback", job, "--from", computers->home.filePath("logs/Move rollback")});
        QVERIFY2(rollback.status == 1 && rollback.err.contains("holds the results of a rollback"), rollback.err.constData());
        rollback = computers->vo({"rollback", job, "--from", results, "--computer", "client-1", "--forget"});
        QVERIFY2(rollback.status == 0, rollback.out + rollback.err);
        QVERIFY(!QFile::exists(computers->root(1) + "/var/lib/varno-osk/journal/journal"));
        QCOMPARE(computers->profileState(1), QStringLiteral("new, 329"));
        // Nothing left to reverse there: a warning, never a success.
        rollback = computers->vo({"rollback", job, "--from", results, "--computer", "client-1"});
        QVERIFY2(rollback.status == 2 && rollback.out.contains("client-1: Rollback complete with warnings\n"), rollback.out + rollback.err);
        QCOMPARE(computers->profileState(1), QStringLiteral("new, 329"));
    }

    // Waves and computers that are off on the ssh engine: the first wave's
    // two computers are off when their turn comes and are tried again until
    // they are back; the second wave, one computer at a time, stops at its
    // threshold when its first computer fails, so neither its second nor the
    // third wave's is started.
    void wavesAndOfflineClients()
    {
        constexpr int Count = 5;
        const auto computers = makeComputers(Count, [](int) { return true; }, [](int) { return 0; }, [](int) { return true; }, 3);
        if (computers->unavailable())
            QSKIP(qPrintable(computers->lab.problem()));
        QVERIFY2(m_ready, qPrintable(computers->problem()));
        for (int n = 1; n <= Count; ++n) {
            if (n != 3) // client-3 has no alice to migrate
                QVERIFY(computers->giveProfile(n, 50));
        }
        QVERIFY(waitsForComputersThatAreOff(*computers));
        ComputerDB db;
        localAccounts(db);
        QVERIFY(db.AddWave({"Laptops", {}, 0, -1}) && db.AddWave({"Pilot", {}, 1, 40}) && db.AddWave({"Rest", {}, 0, -1}));
        for (int n = 1; n <= Count; ++n)
            QVERIFY(db.SetComputerWave(addComputer(db, name(n)), n <= 2 ? "Laptops" : (n <= 4 ? "Pilot" : "Rest")));
        const QString job = computers->home.filePath("waves.vos.json");
        SettingsFile::SaveOptions options;
        options.JobName = QStringLiteral("Waves");
        QVERIFY(SettingsFile().Save(db, job, options).ok());
        QCOMPARE(computers->vo({"wave", "list", job}).out.count(" computer"), 4);

        computers->lab.killClient(1);
        computers->lab.killClient(2);
        QProcess run;
        QByteArray out;
        run.start("ip", computers->voCommand({"run", job, "--ignore-warnings"}));
        QVERIFY2(readUntil(run, out, "client-1: Not processed: 1 try", 60'000) && readUntil(run, out, "client-2: Not processed: 1 try", 30'000),
            out.constData());
        QVERIFY(computers->servers[1]->restart(false) && computers->servers[2]->restart(false));
        QVERIFY(run.waitForFinished(150'000));
        out += run.readAllStandardOutput();
        for (const char *line : {"Wave 1 of 3 \"Laptops\" starts: 2 computers.\n", "client-1: Migration successful\n",
                 "client-2: Migration successful\n", "client-3: Migration complete with errors\n",
                 "Wave 2 of 3 \"Pilot\" stopped: 1 of its 2 computers failed, more than its threshold of 40 %; the waves after it are not started.\n",
                 "client-4: Migration canceled\n", "client-5: Migration canceled\n"})
            QVERIFY2(out.contains(line), out.constData());
        QCOMPARE(computers->profileState(1), QStringLiteral("new, 79"));
        QCOMPARE(computers->profileState(2), QStringLiteral("new, 79"));
        QCOMPARE(computers->profileState(4), QStringLiteral("old, 79"));
        QCOMPARE(computers->profileState(5), QStringLiteral("old, 79"));
    }

    // vo killed in the middle of a migration: the engine goes on without it
    // (the third computer is off, and waited for), and vo run --resume
    // follows the run to its end. No computer's outcome is lost and none is
    // delivered twice.
    void killedAndResumed()
    {
        constexpr int Count = 3;
        const auto computers = threeComputersTheThirdOff(3000);
        if (!computers)
            return;
        const QString job = computers->home.filePath("job.vos.json");
        const QString results = computers->home.filePath("logs/Job");
        QProcess run;
        QByteArray out;
        run.start("ip", computers->voCommand({"run", job, "--ignore-warnings"}));
        const bool waiting = readUntil(run, out, "client-3: Not processed: 1 try", 60'000);
        run.kill();
        QVERIFY(run.waitForFinished(10'000));
        QVERIFY2(waiting, out.constData());

        QProcess resume;
        resume.start("ip", computers->voCommand({"run", job, "--resume", results}));
        QByteArray followed;
        readUntil(resume, followed, "Attached again", 30'000);
        QVERIFY(computers->servers[3]->restart(false));
        const bool ended = resume.waitForFinished(90'000);
        followed += resume.readAllStandardOutput();
        EngineJournal::Contents journal;
        QString problem;
        QVERIFY2(EngineJournal::Read(results, journal, problem), qPrintable(problem));
        if (EngineJournal::EngineAlive(journal))
            ::kill(pid_t(journal.pid), SIGKILL);
        QVERIFY2(ended && resume.exitCode() == 0, followed + resume.readAllStandardError() + readAll(results + "/handler.log").right(2500));
        QVERIFY(followed.contains("Attached again to the run \"Job\", which went on without its console.\n"));
        QVERIFY(journal.complete);
        const QByteArray statuses = readAll(results + "/varnoosk.sts");
        for (int n = 1; n <= Count; ++n) {
            QVERIFY2(followed.contains(name(n).toUtf8() + ": Migration successful\n"), followed.constData());
            QCOMPARE(computers->profileState(n), QStringLiteral("new, 3029"));
            // Delivered once; the third again after each try that found it off.
            const qsizetype deliveries = statuses.count(QStringLiteral("\t%1\t%2\tL\r\n").arg(n).arg(name(n)).toUtf8());
            QVERIFY2(n == 3 ? deliveries >= 2 : deliveries == 1, qPrintable(name(n)));
        }
        // A journal of a newer console is not taken for this one's.
        QFile newer(results + "/engine.journal");
        QVERIFY(newer.open(QIODevice::WriteOnly));
        newer.write("{\"format\":\"varno-osk-engine-journal\",\"version\":2}\n");
        newer.close();
        const VoRun refused = computers->vo({"run", job, "--resume", results});
        QVERIFY2(refused.status == 1 && refused.err.contains("journal version 2"), refused.err.constData());
    }

    // vo and its engine killed while a computer that is off is waited for,
    // and, as the journal is made to say, while the second is collected:
    // vo run --resume finds the engine gone, leaves the computer that ended
    // as it is, delivers the one never delivered, and asks the second how it
    // stands, which finds its service ended and collects it again.
    void engineKilledTheRestDelivered()
    {
        constexpr int Count = 3;
        const auto computers = threeComputersTheThirdOff(300);
        if (!computers)
            return;
        const QString job = computers->home.filePath("job.vos.json");
        const QString results = computers->home.filePath("logs/Job");
        QProcess run;
        QByteArray out;
        run.start("ip", computers->voCommand({"run", job, "--ignore-warnings"}));
        const bool waiting = readUntil(run, out, "client-3: Not processed: 1 try", 60'000) && readUntil(run, out, "client-1: Migration successful", 30'000)
            && readUntil(run, out, "client-2: Migration successful", 30'000);
        EngineJournal::Contents journal;
        QString problem;
        QVERIFY2(EngineJournal::Read(results, journal, problem), qPrintable(problem));
        run.kill();
        ::kill(pid_t(journal.pid), SIGKILL);
        QVERIFY(run.waitForFinished(10'000));
        QVERIFY2(waiting, out.constData());
        QTRY_VERIFY(!EngineJournal::EngineAlive(journal));
        QFile journalFile(results + "/engine.journal");
        QVERIFY(journalFile.open(QIODevice::Append));
        journalFile.write(QStringLiteral("{\"n\":%1,\"s\":\"U\"}\n").arg(journal.clients.indexOf(name(2)) + 1).toUtf8());
        journalFile.close();

        QVERIFY(computers->servers[3]->restart(false));
        const VoRun resumed = computers->vo({"run", job, "--resume", results});
        QVERIFY2(resumed.status == 0, resumed.out + resumed.err);
        QVERIFY2(resumed.out.contains("goes on without its engine, which is gone: the 2 computers it did not end are taken up now.\n")
                && resumed.out.contains("as the engine was at work on them when it went: client-2.\n")
                && resumed.out.contains("client-2: Migration successful\n") && resumed.out.contains("client-3: Migration successful\n")
                && !resumed.out.contains("client-1:"),
            resumed.out.constData());
        QVERIFY(QFile::exists(results + "/engine.journal.1"));
        const QByteArray statuses = readAll(results + "/varnoosk.sts");
        for (int n = 1; n <= Count; ++n) {
            QCOMPARE(computers->profileState(n), QStringLiteral("new, 329"));
            // By name: the new engine numbers its one client 1.
            const qsizetype deliveries = statuses.count(QStringLiteral("\t%1\tL\r\n").arg(name(n)).toUtf8());
            QVERIFY2(n == 3 ? deliveries >= 2 : deliveries == 1, qPrintable(name(n)));
        }
    }

    // Fifty computers and eight transferors: never more than eight at work,
    // each serving one computer after the other, and every computer served once.
    void fiftyClientsEightTransferors()
    {
        constexpr int Count = 50;
        const auto computers = makeComputers(Count, [](int) { return true; }, [](int) { return 0; }, [](int) { return true; }, 8);
        if (computers->unavailable())
            QSKIP(qPrintable(computers->lab.problem()));
        QVERIFY2(m_ready, qPrintable(computers->problem()));
        QProcess check;
        startCheck(*computers, check);
        QVERIFY(check.waitForFinished(180'000));
        QDirIterator folders(computers->home.filePath("logs/Lab.checks"), QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY(folders.hasNext());
        const QDir logs(folders.next());
        const QStringList transferors = logs.entryList({"transferor*.log"}, QDir::Files);
        QCOMPARE(transferors.size(), 8);
        QMap<QString, int> served;
        static const QRegularExpression begins(QStringLiteral("^\\S+ \\S+  T\\d+  (client-\\d+) \\(client \\d+\\): \\d+ steps"),
            QRegularExpression::MultilineOption);
        for (const QString &log : transferors)
            for (auto match = begins.globalMatch(QString::fromUtf8(readAll(logs.filePath(log)))); match.hasNext();)
                ++served[match.next().captured(1)];
        // Each computer is delivered and later collected by a transferor.
        QCOMPARE(served.size(), Count);
        for (auto it = served.cbegin(); it != served.cend(); ++it)
            QVERIFY2(it.value() == 2, qPrintable(it.key()));
        const QByteArray report = readAll(computers->home.filePath("report.csv"));
        QCOMPARE(report.count(",1001,"), Count);
        QVERIFY2(!report.contains(",20"), report.constData());
    }

    // Ctrl-C on vo check: the first reaches no more computers, the second
    // stops the clients at work long before their realm tool would end, and
    // none of them keeps a secret of the run.
    void interruptedCheck()
    {
        constexpr int Count = 6;
        const auto computers = makeComputers(Count, [](int) { return true; }, [](int) { return 60; }, [](int) { return true; }, 2);
        if (computers->unavailable())
            QSKIP(qPrintable(computers->lab.problem()));
        QVERIFY2(m_ready, qPrintable(computers->problem()));
        QProcess check;
        startCheck(*computers, check);
        QDeadlineTimer deadline(30'000);
        while (!(QFile::exists(computers->asked(1)) && QFile::exists(computers->asked(2))) && !deadline.hasExpired())
            QThread::msleep(50);
        QVERIFY(!deadline.hasExpired());
        ::kill(pid_t(check.processId()), SIGINT);
        QByteArray said;
        QTRY_VERIFY2((said += check.readAllStandardOutput()).contains("Cancel requested"), said + check.readAllStandardError());
        QThread::msleep(500);
        ::kill(pid_t(check.processId()), SIGINT);
        QVERIFY(check.waitForFinished(20'000));
        const QString report = QString::fromUtf8(readAll(computers->home.filePath("report.csv")));
        QVERIFY2(!report.isEmpty(), check.readAllStandardError().constData());

        // How each computer's check ended, the report's last column.
        const auto ending = [&](int n) {
            for (const QString &row : report.split(QLatin1Char('\n')))
                if (row.startsWith(name(n) + ','))
                    return row.trimmed().section(QLatin1Char(','), -1);
            return QString();
        };
        for (int n = 1; n <= Count; ++n) {
            const QStringList left = leftovers(*computers->servers[size_t(n)]);
            QVERIFY2(left.isEmpty(), qPrintable(name(n) + ": " + left.join(' ') + "\n" + report));
        }
        QCOMPARE(ending(1), ClientStatus::Text("XA"));
        QCOMPARE(ending(2), ClientStatus::Text("XA"));
        QCOMPARE(ending(Count), ClientStatus::Text("XC"));
        QVERIFY(!QFile::exists(computers->asked(Count)));
    }
};

QTEST_GUILESS_MAIN(TestRealClients)
#include "tst_RealClients.moc"
