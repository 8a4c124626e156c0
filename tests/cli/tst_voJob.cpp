#include "common/AppState.h"
#include "common/modRegistry.h"
#include "database/ComputerDB.h"
#include "database/SettingsFile.h"
#include "engine/ClientConfig.h"

#include "engine/JobFixture.h"
#include "support/RecordingPresenter.h"
#include "support/TestRegistry.h"
#include "support/VoProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace JobFixture;

class TestVoJob : public QObject
{
    Q_OBJECT

private:
    RecordingPresenter m_presenter;
    TestRegistry m_registry;
    QTemporaryDir m_dir;
    QString m_logs;

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

    QString write(const QString &name, const QByteArray &text)
    {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
        return file.fileName();
    }

    // Three computers, two in a group; `change` breaks or bends them.
    QString job(const QString &name, const std::function<void(ComputerDB &)> &change = {})
    {
        ComputerDB db;
        makeSound(global(db));
        const int group = db.AddFolder(QStringLiteral("Sales"), -1);
        addComputer(db, QStringLiteral("PC-1"), group);
        addComputer(db, QStringLiteral("PC-2"), group);
        addComputer(db, QStringLiteral("PC-3"), -1);
        if (change)
            change(db);
        return save(db, name);
    }

    QString fastProfile() { return write("fast.txt", "step_ms = 0\n"); }

private Q_SLOTS:
    void initTestCase()
    {
        qunsetenv("VARNO_OSK_SIMULATION");
        QVERIFY(m_dir.isValid());
        m_logs = m_dir.filePath(QStringLiteral("logs"));
        RegKey key = Reg::NoKey;
        modRegistry::CreateKey(QStringLiteral("Brindlewood\\Varno-Osk"), Reg::NoKey, QStringLiteral("HKCU\\Software"), QString(), key);
        modRegistry::CloseKey(key);
        QVERIFY(modRegistry::SaveSettingString(AppState::Get().AppKeyPath, QStringLiteral("LogPath"), m_logs));
    }

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
        QCOMPARE(run.out,
            QByteArray("Code: 102\nComputer: PC-1\nSettings source: Sales (F0)\nValidation error checking computer 'PC-1'.\n"
                       "This node is inheriting the invalid setting from group 'Sales'.\n'Destination DC' is invalid.\n"));
    }

    void validateJsonWarning()
    {
        const QString file = job("warning.vos.json", [](ComputerDB &db) { db.SetComputerUserList(2, UserProfiles::create()); });
        const VoRun run = vo({"validate", file, "--json"});
        QCOMPARE(run.status, 2);
        const QJsonObject object = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(object.size(), 4);
        QCOMPARE(object.value("code").toInt(), 106);
        QCOMPARE(object.value("computer").toString(), QStringLiteral("PC-3"));
        QCOMPARE(object.value("settingsSource").toString(), QStringLiteral("F-1"));
        QVERIFY(object.value("message").toString().startsWith(
            "Validation error checking computer 'PC-3'.\nThis node is inheriting the invalid setting from group 'All Computers'.\n"
            "'Destination Domain' was specified without any profiles"));

        // Names travel as UTF-8 both ways.
        const VoRun ansi
            = vo({"validate", "--json", job("ansi.vos.json", [](ComputerDB &db) { db.RenameComputer(1, QStringLiteral("JOSÉ-PC")); })});
        QCOMPARE(ansi.status, 1);
        QVERIFY(QJsonDocument::fromJson(ansi.out).object().value("message").toString().contains(
            QStringLiteral("The computer name contains the character 'É' (U+00C9)")));
    }

    void badInputGivesAClearMessage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("no file") << QStringList {"validate"} << "A settings file is needed.";
        QTest::newRow("unknown option") << QStringList {"validate", "a", "--jsn"} << "Unknown option \"--jsn\".";
        QTest::newRow("missing file") << QStringList {"validate", "/nonexistent/x.vos.json"} << "x.vos.json";
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
        const QStringList names = {"PC-1", "PC-2", "PC-3"};
        for (const QString &name : names)
            addComputer(db, name);
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

        for (int row = 1; row <= 3; ++row) {
            const VoRun plain = vo({"descramble", "--show-passwords", QDir(out).filePath(names.at(row - 1) + "/varnoosk.cfg")});
            QCOMPARE(plain.status, 0);
            ClientConfig config;
            QString problem;
            QVERIFY2(config.Parse(QString::fromUtf8(plain.out).replace("\n", "\r\n"), &problem), qPrintable(problem));
            QCOMPARE(config.Value("COMPUTERNAME"), names.at(row - 1));
            QCOMPARE(config.Value("KEY"), QString::number(row));
            QCOMPARE(config.Value("CONSOLEIP"), QStringLiteral("10.1.2.3"));
            QCOMPARE(config.Value("CONSOLEPORT"), QStringLiteral("8000"));
            QCOMPARE(config.Value("DESTUSER"), QStringLiteral("alice.new"));
            QCOMPARE(config.Value("VARNOPASS"), QStringLiteral("Secret-A1"));
        }

        QFile dump(QDir(out).filePath("arrays.txt"));
        QVERIFY(dump.open(QIODevice::ReadOnly));
        const QByteArray text = dump.readAll();
        QVERIFY(text.startsWith("Translation array (3 rows: engine client -> computer ID)\n  1: 0\n  2: 1\n  3: 2\n"));
        // The passwords travel scrambled in the files; the dump masks them.
        QVERIFY(text.contains("     4 Admin A password: <password>\n"));
        QVERIFY(!text.contains("Secret-A1"));
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

    void runToTheEnd()
    {
        const QString fast = write("fast1.txt", "step_ms = 0\nexecute_steps = 1\n");
        const VoRun run = vo({"run", job("run.vos.json"), "--profile", fast, "--job", "RunA"});
        QCOMPARE(run.status, 0);
        const QStringList lines = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
        for (const char *line : {"Migration Job Name: RunA", "Building migration list...", "Processing entries...",
                 "PC-2: Loading in progress", "PC-3: Client executing", "PC-3: Unloading in progress", "PC-1: Client process successful"})
            QVERIFY2(lines.contains(QLatin1String(line)), line);
        QCOMPARE(lines.filter("Migration successful").size(), 3);
        QVERIFY(lines.indexOf("PC-1: Not processed") >= 0);
        QVERIFY(lines.indexOf("PC-1: Not processed") < lines.indexOf("PC-1: Migration successful"));
        QCOMPARE(lines.mid(lines.size() - 3, 2),
            (QStringList {"Processing complete.", "Clients: 3; successful 3, with warnings 0, with errors 0, canceled 0, aborted 0."}));

        const QDir results(m_logs + "/RunA");
        QVERIFY(results.exists("handler.log"));
        QVERIFY(results.exists("transferor1.log"));
        QVERIFY(results.exists("varnoosk.sts"));
        QCOMPARE(results.entryList({"PC-1-??????????????.log"}, QDir::Files).size(), 1);
    }

    // The exit status follows the worst ending; an engine failure ends the
    // run without completion.
    void runEndsBySeverity_data()
    {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("warnings") << QByteArray("step_ms = 0\nwarning = PC-2\n") << 2
                                  << QByteArray("successful 2, with warnings 1, with errors 0") << QByteArray();
        QTest::newRow("errors") << QByteArray("step_ms = 0\nerror = PC-1\nwarning = PC-2\n") << 1
                                << QByteArray("successful 1, with warnings 1, with errors 1") << QByteArray();
        QTest::newRow("engine error") << QByteArray("step_ms = 0\nengine_error = 5000007\nengine_error_after = 3\n") << 1 << QByteArray()
                                      << QByteArray("ERROR: Error in whnHandler.LoadGeneralTransferorSettings.  ");
    }

    void runEndsBySeverity()
    {
        QFETCH(QByteArray, profile);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        const VoRun run = vo({"run", job("severity.vos.json"), "--profile", write("severity.txt", profile), "--job",
            QStringLiteral("Severity-%1").arg(QTest::currentDataTag())});
        QCOMPARE(run.status, status);
        QVERIFY2(run.out.contains(out) && run.err.startsWith(err), run.out.constData());
        QCOMPARE(run.out.contains("\nProcessing complete.\n"), err.isEmpty());
    }

    void runStopsBeforeTheEngineOnValidation()
    {
        VoRun run = vo({"run", job("run-error.vos.json", [](ComputerDB &db) { global(db).JoinVal = 7; }), "--job", "NeverA"});
        QCOMPARE(run.status, 1);
        QVERIFY(run.err.contains("Code: 903"));
        QVERIFY(!QDir(m_logs + "/NeverA").exists());

        const QString warning = job("run-warning.vos.json", [](ComputerDB &db) { db.SetComputerUserList(0, UserProfiles::create()); });
        run = vo({"run", warning, "--job", "NeverB"});
        QCOMPARE(run.status, 2);
        QVERIFY(run.out.contains("Code: 106 (warning)"));
        QVERIFY(!QDir(m_logs + "/NeverB").exists());

        run = vo({"run", warning, "--job", "Ignored", "--ignore-warnings", "--profile", fastProfile()});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.contains("\nProcessing complete.\n"));
    }

    // Ctrl-C once: the computers not yet started end canceled, the others
    // run to their end; twice: those are aborted. The process is watched
    // while it runs, so it is started here rather than through vo().
    void interruptCancelsThenAborts_data()
    {
        QTest::addColumn<int>("interrupts");
        QTest::newRow("once") << 1;
        QTest::newRow("twice") << 2;
    }

    void interruptCancelsThenAborts()
    {
        QFETCH(int, interrupts);
        // One transferor, so that two computers wait while the first runs.
        modRegistry::SaveSettingString(AppState::Get().AppKeyPath, "MaxTransferors", "1");
        const QString slow = write("slow.txt", "step_ms = 100\nexecute_steps = 50\n");
        QProcess process;
        process.start(QStringLiteral(VO_EXECUTABLE),
            {"run", job("interrupt.vos.json"), "--profile", slow, "--job", QStringLiteral("Interrupt%1").arg(interrupts)});
        QVERIFY(process.waitForStarted());
        QByteArray seen;
        const auto waitFor = [&](const char *text) {
            for (int i = 0; i < 600 && !seen.contains(text); ++i) {
                process.waitForReadyRead(200);
                seen += process.readAllStandardOutput();
            }
            return seen.contains(text);
        };
        QVERIFY(waitFor("PC-1: Client executing"));
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        QVERIFY(waitFor("Cancel requested"));
        if (interrupts == 2) {
            ::kill(static_cast<pid_t>(process.processId()), SIGINT);
            QVERIFY(waitFor("Abort requested"));
        }
        const bool finished = process.waitForFinished(120000);
        modRegistry::SaveSettingString(AppState::Get().AppKeyPath, "MaxTransferors", "5");
        QVERIFY(finished);
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        seen += process.readAllStandardOutput();
        QVERIFY(seen.contains("PC-2: Migration canceled\n"));
        QVERIFY(seen.contains("PC-3: Migration canceled\n"));
        if (interrupts == 1) {
            QVERIFY(seen.contains("PC-1: Migration successful\n"));
            QVERIFY(seen.contains("successful 1, with warnings 0, with errors 0, canceled 2, aborted 0."));
        } else {
            QVERIFY(seen.contains("PC-1: Abort pending\n"));
            QVERIFY(seen.contains("PC-1: Migration aborted\n"));
            QVERIFY(seen.contains("successful 0, with warnings 0, with errors 0, canceled 2, aborted 1."));
        }
        QVERIFY(seen.contains("\nProcessing complete.\n"));
    }

    // The job shipped in examples/ loads, passes and runs to the end.
    void shippedExampleRuns()
    {
        const QString example = QStringLiteral(VO_SOURCE_DIR "/examples/example-settings.vos.json");
        QCOMPARE(vo({"validate", example}).status, 0);
        const VoRun run = vo({"run", example, "--profile", fastProfile(), "--job", "Example"});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.contains("The settings file holds no passwords"));
        QVERIFY(run.out.contains("\nProcessing complete.\nClients: 7; successful 7,"));
        QVERIFY(QFile::exists(m_logs + "/Example/handler.log"));
    }
};

QTEST_GUILESS_MAIN(TestVoJob)
#include "tst_voJob.moc"
