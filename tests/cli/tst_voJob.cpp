#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"
#include "engine/ClientConfig.h"
#include "network/InterfaceAddressTable.h"

#include "common/modRehearsal.h"
#include "engine/EngineFixture.h"
#include "job/JobFixture.h"
#include "support/SshdServer.h"
#include "support/VoProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

using namespace JobFixture;

class TestVoJob : public QObject
{
    Q_OBJECT

private:
    EngineFixture m_fixture;
    const QString m_logs = m_fixture.logs.path();
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString save(ComputerDB &db, const QString &name, const QString &passphrase = QString())
    {
        SettingsFile::SaveOptions options;
        options.JobName = QStringLiteral("Job ") + name;
        options.Passphrase = passphrase;
        options.Cost = PasswordSealer::Cost::Minimum();
        const SettingsFileResult result = SettingsFile().Save(db, path(name), options);
        if (!result.ok())
            qWarning("%s", qPrintable(result.Message));
        return path(name);
    }

    QString write(const QString &name, const QByteArray &text) { return writeFile(path(name), text); }
    static QByteArray contents(const QString &file)
    {
        QFile read(file);
        return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
    }

    QString job(const QString &name, const std::function<void(ComputerDB &)> &change = {})
    {
        return saveJob(path(name), QStringLiteral("Job ") + name, change);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qunsetenv("VARNO_OSK_SIMULATION");
        QVERIFY(m_dir.isValid());
    }

    // The exit status by the kind of result, and the report naming the
    // computer and the group or root its faulty setting comes from.
    void validate()
    {
        VoRun run = vo({"validate", job("sound.vos.json")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QByteArray("Code: 0\nComputer: \nSettings source: \nValidation passed.\n"));

        const QString inherited = job("dc.vos.json", [](ComputerDB &db) {
            GlobalSettingsPtr sales = global(db).Clone();
            sales->DestinationDCName.clear();
            db.AddSettings(sales, 0, QStringLiteral("F"));
        });
        run = vo({"validate", inherited});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.out.startsWith("Code: 102\nComputer: PC-1\nSettings source: Sales (F0)\nValidation error"), run.out.constData());

        const QString warning = job("warning.vos.json", [](ComputerDB &db) { db.SetComputerUserList(2, UserProfiles::create()); });
        run = vo({"validate", warning, "--json"});
        QCOMPARE(run.status, 2);
        QJsonObject object = QJsonDocument::fromJson(run.out).object();
        QVERIFY(object.take("message").toString().startsWith("Validation error checking computer 'PC-3'."));
        QCOMPARE(object, (QJsonObject {{"code", 106}, {"computer", "PC-3"}, {"settingsSource", "F-1"}}));
    }

    void badInputGivesAClearMessage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("no file") << QStringList {"validate"} << "A settings file is needed.";
        QTest::newRow("unknown option") << QStringList {"validate", "a", "--jsn"} << "Unknown option \"--jsn\".";
        QTest::newRow("export without --out") << QStringList {"export", "a"} << "--out DIR is needed.";
        QTest::newRow("export bad port") << QStringList {"export", "a", "--out", "b", "--port", "70000"} << "not a port number";
        QTest::newRow("run bad listener") << QStringList {"run", "a", "--listener", "host"} << "not a dotted IPv4 address";
        QTest::newRow("damaged file") << QStringList {"run", write("damaged.vos.json", "{\"format\": \"varno-osk-settings\", ")}
                                      << "damaged.vos.json";
        QTest::newRow("broken profile") << QStringList {"run", job("profile.vos.json"), "--profile",
            write("broken.txt", "step_ms = soon\n")}
                                        << "broken.txt";
    }

    void badInputGivesAClearMessage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const VoRun run = vo(arguments);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.startsWith("ERROR: ") && run.err.contains(error.toUtf8()), run.err.constData());
    }

    void exportWritesFilesTheClientsRead()
    {
        const QString out = path("export");
        ComputerDB db;
        makeSound(global(db));
        global(db).SetUser(AdminA, "varno", "Secret-A1", "OLDCORP");
        for (const char *name : {"PC-1", "PC-2", "PC-3"})
            addComputer(db, QString::fromLatin1(name));
        const QString file = save(db, "export.vos.json", "blue whale");
        // Without the passphrase, or with a wrong one, the message names the option that gives it.
        const QString wrong = write("wrong.txt", "red whale\n");
        for (const QStringList &arguments : {QStringList {"validate", file}, QStringList {"run", file, "--passphrase-file", wrong}}) {
            const VoRun refused = vo(arguments);
            QCOMPARE(refused.status, 1);
            QVERIFY2(refused.err.contains("export.vos.json") && refused.err.contains("--passphrase-file"), refused.err.constData());
        }
        const QString passphrase = write("passphrase.txt", "blue whale\n");
        const VoRun run = vo({"export", file, "--out", out, "--listener", "10.1.2.3", "--port", "8000", "--passphrase-file", passphrase});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.contains("Exported 3 clients"));

        // The folder of each computer holds its own file, with the listener given; only their owner may read them.
        const QString client = QDir(out).filePath("PC-3/varnoosk.cfg");
        const VoRun plain = vo({"descramble", "--show-passwords", client});
        ClientConfig config;
        QString problem;
        QVERIFY2(config.Parse(QString::fromUtf8(plain.out).replace("\n", "\r\n"), &problem), qPrintable(problem));
        QStringList values;
        for (const char *key : {"COMPUTERNAME", "KEY", "CONSOLEIP", "CONSOLEPORT", "VARNOPASS"})
            values << config.Value(QString::fromLatin1(key));
        QCOMPARE(values, (QStringList {"PC-3", "3", "10.1.2.3", "8000", "Secret-A1"}));
        const auto user = QFileDevice::ReadUser | QFileDevice::WriteUser; // the same bits as the owner's, seen from here
        QCOMPARE(QFile::permissions(client) & ~user, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(
            QFile::permissions(QDir(out).filePath("PC-3")) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());

        QFile dump(QDir(out).filePath("arrays.txt"));
        QVERIFY(dump.open(QIODevice::ReadOnly));
        const QByteArray text = dump.readAll();
        QVERIFY(text.startsWith("Translation array (3 rows: engine client -> computer ID)\n  1: 0\n  2: 1\n  3: 2\n"));
        // The passwords travel scrambled in the files; the dump masks them.
        QVERIFY(text.contains("     4 Admin A password: <password>\n"));
        QVERIFY(!text.contains("Secret-A1"));
    }

    // Without --listener, export and run take the console's rule: a stored
    // address this machine no longer has gives way to its first (never to
    // loopback) and is emptied. A machine without one has nothing to offer.
    void listenerFollowsTheConsolesRule()
    {
        const QString first = InterfaceAddressTable().Addresses(false).value(0);
        const QString file = job("listener.vos.json");
        for (const QStringList &arguments : {QStringList {"export", file, "--out", path("listener")},
                 QStringList {"run", file, "--profile", write("fast.txt", "step_ms = 0\n"), "--job", "Listener"}}) {
            EngineFixture::set("ListenerIP", "203.0.113.77");
            const VoRun run = vo(arguments);
            QCOMPARE(run.status, first.isEmpty() ? 1 : 0);
            const bool exported = arguments.first() == "export";
            const QByteArray shown = exported ? vo({"descramble", path("listener/PC-3/varnoosk.cfg")}).out : run.out;
            const QByteArray line = (exported ? "\nCONSOLEIP=" : "\nListener: ") + first.toUtf8() + "\n";
            QVERIFY2(first.isEmpty() ? run.err.contains("--listener") : shown.contains(line), shown.constData());
            QCOMPARE(modRegistry::GetSettingString(AppState::Get().AppKeyPath, "ListenerIP").isEmpty(), !first.isEmpty());
        }
    }

    void exportStopsAtAnError()
    {
        const QString out = path("export-error");
        const VoRun run
            = vo({"export", job("export-error.vos.json", [](ComputerDB &db) { global(db).SourceDCIP = "10.0.0"; }), "--out", out});
        QCOMPARE(run.status, 1);
        QVERIFY(run.err.contains("Code: 107"));
        QVERIFY(!QDir(out).exists());
    }

    // The exit status follows the worst ending; a validation fault stops
    // the run before the engine starts, an engine failure ends it without
    // completion.
    void runEndsBySeverity_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("shown"); // on either stream
        QTest::addColumn<int>("reached"); // 0 stopped before the engine, 1 the engine started, 2 processing completed
        const auto row
            = [](const char *name, const QString &file, const QByteArray &profile, int status, const QByteArray &shown, int reached,
                  const QStringList &options = {}) { QTest::newRow(name) << file << options << profile << status << shown << reached; };
        const QString sound = job("severity.vos.json");
        const QString warning = job("run-warning.vos.json", [](ComputerDB &db) { db.SetComputerUserList(0, UserProfiles::create()); });
        row("warnings", sound, "warning = PC-2\n", 2, "successful 2, with warnings 1, with errors 0", 2);
        row("errors", sound, "error = PC-1\nwarning = PC-2\n", 1,
            "successful 1, with warnings 1, with errors 1, canceled 0, aborted 0. [Rehearsal]\nLogs: " + m_logs.toUtf8()
                + "/Severity-errors/\nNot successful: 2\n  PC-1: XE Migration complete with errors\n"
                  "  PC-2: XW Migration complete with warnings\n",
            2);
        row("engine error", sound, "engine_error = 5000007\nengine_error_after = 3\n", 1,
            "ERROR: Error in whnHandler.LoadGeneralTransferorSettings.  ", 1);
        row("validation error", job("run-error.vos.json", [](ComputerDB &db) { global(db).JoinVal = 7; }), "", 1, "Code: 903", 0);
        row("validation warning", warning, "", 2, "Code: 106 (warning)", 0);
        row("warning ignored", warning, "", 0, "successful 3,", 2, {"--ignore-warnings"});
    }

    void runEndsBySeverity()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, profile);
        QFETCH(int, status);
        QFETCH(QByteArray, shown);
        QFETCH(int, reached);
        const QString name = QStringLiteral("Severity-%1").arg(QTest::currentDataTag()).replace(' ', '-');
        const VoRun run
            = vo(QStringList {"run", file, "--profile", write("severity.txt", "step_ms = 0\n" + profile), "--job", name} + options);
        QCOMPARE(run.status, status);
        QVERIFY2((run.out + run.err).contains(shown), run.out.constData());
        QCOMPARE(QDir(m_logs + "/" + name).exists(), reached > 0);
        QCOMPARE(run.out.contains("\nProcessing complete.\n"), reached == 2);
    }

    // Logs of an earlier run in the results folder stop the run, as the
    // console's question does, unless the run appends to them or goes to
    // another job's folder; other files are no earlier run.
    void resultsFolderWithLogs_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("refused");
        QTest::newRow("no log") << "notes.txt" << QStringList() << false;
        QTest::newRow("a log") << "handler.log" << QStringList() << true;
        QTest::newRow("--append") << "handler.log" << QStringList {"--append"} << false;
        QTest::newRow("another --job") << "handler.log" << QStringList {"--job", "Another"} << false;
    }

    void resultsFolderWithLogs()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        QFETCH(bool, refused);
        const QString folder = m_logs + "/Job earlier-" + QTest::currentDataTag() + ".vos.json/";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile(folder + file).open(QIODevice::WriteOnly));
        const VoRun run = vo(QStringList {"run", job(QStringLiteral("earlier-%1.vos.json").arg(QTest::currentDataTag())), "--profile",
                                 write("earlier.txt", "step_ms = 0\n")}
            + options);
        QCOMPARE(run.status, refused ? 1 : 0);
        QCOMPARE(
            run.err.startsWith("ERROR: Existing Migration Found\nMigration log files were found in results folder:\n'" + folder.toUtf8()),
            refused);
        QCOMPARE(run.out.contains("\nProcessing complete.\n"), !refused);
    }

    // A link planted below the results, export or report folder is never
    // written through, and the path is named: in vo's error, or in the
    // handler log for what a client's copy meets. Without one, what is made
    // there is the owner's alone.
    void nothingIsWrittenThroughALink_data()
    {
        QTest::addColumn<QString>("command"); // run, report, export
        QTest::addColumn<QString>("link"); // below the folder
        QTest::addColumn<bool>("toFolder");
        QTest::addColumn<bool>("inHandlerLog");
        const auto row = [](const char *name, const char *command, const char *link, bool toFolder, bool inHandlerLog) {
            QTest::newRow(name) << command << link << toFolder << inHandlerLog;
        };
        row("no link", "report", "", false, false);
        row("handler log", "run", "handler.log", false, false);
        row("status file", "run", "varnoosk.sts", false, false);
        row("transferor log", "run", "transferor1.log", false, true);
        row("client file", "run", "clients/PC-1/varnoosk.cfg", false, true);
        row("client folder", "run", "clients/PC-1", true, true);
        row("clients", "run", "clients", true, true);
        row("report page", "report", "report.html", false, false);
        row("report table", "report", "report.csv", false, false);
        row("export file", "export", "PC-1/varnoosk.cfg", false, false);
        row("export folder", "export", "PC-1", true, false);
        row("export dump", "export", "arrays.txt", false, false);
    }

    void nothingIsWrittenThroughALink()
    {
        QFETCH(QString, command);
        QFETCH(QString, link);
        QFETCH(bool, toFolder);
        QFETCH(bool, inHandlerLog);
        const QString name = QStringLiteral("Link-%1").arg(QTest::currentDataTag()).replace(' ', '-');
        const QString folder = command == "run" ? m_logs + "/" + name : path(name);
        const QString outside = path(name + "-outside");
        QVERIFY(toFolder ? QDir().mkpath(outside) : !write(name + "-outside", "untouched").isEmpty());
        QVERIFY(QDir().mkpath(QFileInfo(folder + "/" + link).path()));
        QVERIFY(link.isEmpty() || QFile::link(outside, folder + "/" + link));
        const QString file = job(name + ".vos.json");
        QStringList arguments {"export", file, "--out", folder};
        if (command != "export")
            arguments = QStringList {"run", file, "--profile", write("fast.txt", "step_ms = 0\n"), "--job", name, "--append"}
                + (command == "report" ? QStringList {"--report", folder} : QStringList());
        const VoRun run = vo(arguments);
        QFile kept(outside);
        QVERIFY(toFolder ? QDir(outside).isEmpty() : kept.open(QIODevice::ReadOnly) && kept.readAll() == "untouched");
        if (link.isEmpty()) {
            QCOMPARE(run.status, 0);
            for (const char *made : {"report.html", "report.csv", "clients", "clients/PC-1/varnoosk.cfg", "handler.log", "varnoosk.sts"}) {
                struct stat info = {};
                const QString base = QString(made).startsWith("report") ? folder : m_logs + "/" + name;
                QVERIFY(::stat(qPrintable(base + "/" + made), &info) == 0);
                QCOMPARE(info.st_mode & 0777, QString(made).contains('.') ? 0600u : 0700u);
            }
            return;
        }
        QFile handlerLog(folder + "/handler.log");
        const QByteArray told = inHandlerLog && handlerLog.open(QIODevice::ReadOnly) ? handlerLog.readAll() : run.err;
        QVERIFY2(told.contains("\"" + (folder + "/" + link).toUtf8() + "\" is a symbolic link"), told.constData());
    }

    // The terminal shows the first fifty computers that did not succeed and
    // counts the rest.
    void summaryOfALargeRunIsCapped()
    {
        const QString file = job("many.vos.json", [](ComputerDB &db) {
            for (int i = 0; i < 52; ++i)
                addComputer(db, QStringLiteral("M-%1").arg(i));
        });
        const VoRun run = vo({"run", file, "--profile", write("all-errors.txt", "step_ms = 0\nerror = *\n"), "--job", "Many"});
        QVERIFY2(run.out.contains("\nNot successful: 55\n  PC-1: XE Migration complete with errors\n"), run.out.constData());
        QVERIFY(run.out.endsWith("\n  M-46: XE Migration complete with errors\n  ... and 5 more\n"));
    }

    // The job shipped in examples/ rehearses to the end on a store nobody
    // has set up: vo makes the console's key as the console's start-up does,
    // and the logs go to the default log root. Without --rehearsal it is
    // refused: no engine is chosen there.
    void shippedExampleRunsOnAFreshStore()
    {
        TestRegistry fresh;
        QTemporaryDir data;
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        const auto restore = qScopeGuard([&] { dataHome.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", dataHome); });
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        const QString example = QStringLiteral(VO_SOURCE_DIR "/examples/example-settings.vos.json");
        const VoRun refused = vo({"run", example, "--job", "Example"});
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.err.contains("vo config set Engine ssh") && refused.err.contains("--rehearsal"), refused.err.constData());
        QVERIFY(!QDir(data.path() + "/varno-osk/Log/Example").exists());
        const VoRun run = vo({"run", example, "--rehearsal", "--profile", write("fast.txt", "step_ms = 0\nexecute_steps = 1\n"), "--job",
            "Example", "--report", path("report")});
        QCOMPARE(run.status, 0);
        QFile csv(path("report/report.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly) && QFile::exists(path("report/report.html")));
        QCOMPARE(csv.readAll().count("XS,Migration successful,FIN-"), 2);
        for (const char *line : {"Migration Job Name: Example [Rehearsal]\n", "The settings file holds no passwords", "\nFIN-0001: Client executing\n",
                 "\nProcessing complete.\nRehearsal ended: no computer was migrated.\nClients: 7; successful 7,"})
            QVERIFY2(run.out.contains(line), line);
        QVERIFY(QFile::exists(data.path() + "/varno-osk/Log/Example/handler.log"));
    }

    // On the ssh engine the run is a migration: its first line says so, and
    // nothing of it says "Rehearsal". No computer answers its ssh here.
    void aRunOnTheSshEngine()
    {
        QTemporaryDir data;
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME"), runtime = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] {
            qputenv("XDG_DATA_HOME", dataHome);
            qputenv("XDG_RUNTIME_DIR", runtime);
            EngineFixture::set("Engine", "rehearsal");
        });
        qputenv("XDG_DATA_HOME", data.filePath("data").toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", data.path().toLocal8Bit());
        EngineFixture::set("Engine", "ssh");
        EngineFixture::set("ListenerPort", QString::number(SshdServer::freePort()));
        EngineFixture::set("SshConfig",
            write("ssh_config", "Host *\n    HostName 127.0.0.1\n    Port " + QByteArray::number(SshdServer::freePort()) + "\n"));
        // The engine's listener on loopback is a warning for a real run.
        const VoRun run
            = vo({"run", job("real.vos.json"), "--job", "Real", "--report", path("real"), "--listener", "127.0.0.1", "--ignore-warnings"});
        QCOMPARE(run.status, 1);
        const QByteArray first = modRehearsal::SshFirstLine().toUtf8();
        QVERIFY2(run.out.contains("\n" + first + "\n") && run.out.contains("Not successful: 3\n"), run.out.constData());
        QFile handler(m_logs + "/Real/handler.log");
        QVERIFY(handler.open(QIODevice::ReadOnly));
        const QByteArray log = handler.readAll();
        QVERIFY2(log.left(log.indexOf('\n')).contains(first) && log.contains("finding 2002"), log.constData());
        for (const QByteArray &shown : {run.out + run.err, log, contents(path("real/report.html")), contents(path("real/report.csv"))})
            QVERIFY2(!shown.contains("Rehearsal") && !shown.contains("rehearsal"), shown.constData());
    }

    // Ctrl-C once cancels the computers not yet started, a second aborts
    // the one that runs. The process is watched while it runs, so it is
    // started here rather than through vo().
    void interruptCancelsThenAborts()
    {
        // One transferor, so that two computers wait while the first runs.
        EngineFixture::set("MaxTransferors", "1");
        const QString slow = write("slow.txt", "step_ms = 100\nexecute_steps = 50\n");
        QProcess process;
        process.start(QStringLiteral(VO_EXECUTABLE), {"run", job("interrupt.vos.json"), "--profile", slow, "--job", "Interrupt"});
        QVERIFY(process.waitForStarted());
        QByteArray seen;
        const auto waitFor = [&](const char *text) {
            for (int i = 0; i < 600 && !seen.contains(text); ++i) {
                process.waitForReadyRead(200);
                seen += process.readAllStandardOutput();
            }
            return seen.contains(text);
        };
        for (const char *answer : {"Cancel requested", "Abort requested"}) {
            QVERIFY(waitFor("PC-1: Client executing"));
            ::kill(static_cast<pid_t>(process.processId()), SIGINT);
            QVERIFY(waitFor(answer));
        }
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        seen += process.readAllStandardOutput();
        for (const char *line :
            {"PC-2: Migration canceled\n", "PC-3: Migration canceled\n", "PC-1: Migration aborted\n", "\nProcessing complete.\n"})
            QVERIFY2(seen.contains(line), line);
    }
};

QTEST_GUILESS_MAIN(TestVoJob)
#include "tst_voJob.moc"
