#include "engine/ClientConfig.h"
#include "engine/JobColumns.h"
#include "engine/QXEInterface.h"
#include "engine/modScramble.h"

#include "EngineFixture.h"
#include "FakeEngine.h"

namespace {

struct Events
{
    QStringList lines;
    explicit Events(QXEInterface &qxe)
    {
        QObject::connect(&qxe, &QXEInterface::ClientStatusChanged, &qxe,
            [this](int id, const QString &s) { lines << QStringLiteral("Status %1 %2").arg(id).arg(s); });
        QObject::connect(&qxe, &QXEInterface::LastClient, &qxe, [this] { lines << QStringLiteral("LastClient"); });
        QObject::connect(&qxe, &QXEInterface::Message, &qxe,
            [this](int level, const QString &t) { lines << QStringLiteral("Message %1 %2").arg(level).arg(t); });
        QObject::connect(&qxe, &QXEInterface::Progress, &qxe, [this](const QString &t) { lines << QStringLiteral("Progress ") + t; });
        QObject::connect(&qxe, &QXEInterface::ProcessingComplete, &qxe, [this] { lines << QStringLiteral("ProcessingComplete"); });
        QObject::connect(&qxe, &QXEInterface::TestReceived, &qxe, [this] { lines << QStringLiteral("TestReceived"); });
        QObject::connect(&RunState::instance(), &RunState::changed, &qxe,
            [this] { lines << QStringLiteral("Running %1").arg(RunState::instance().running()); });
        QObject::connect(&qxe, &QXEInterface::EditColorsRequested, &qxe, [this] { lines << QStringLiteral("EditColors"); });
    }
};

QList<FakeComputer> threeComputers()
{
    return {{0, QStringLiteral("PC-A"), QStringLiteral("alice,bob"), QStringLiteral("alice2,bob2")},
        {2, QStringLiteral("PC-B"), QString(), QStringLiteral("carol")},
        {7, QStringLiteral("PC-C"), QStringLiteral("*ALL"), QStringLiteral("*ALL")}};
}

// Where each key of the client configuration file takes its value from, in
// the file's order: "c" client column, "s" settings column, or the run.
const QStringList kSources = QStringLiteral("version ip port c3 c4 c2 c6 c7 c5 c1 s8 s9 s21 row s23 s22 s20 s13 s12 s10 s11 s15 "
                                            "s16 s17 s18 s19 s14 s24 s4 s3 s5 s6 s7 s1 s2")
                                 .split(QLatin1Char(' '));

ClientConfig readBack(const QVariant &fileEntries)
{
    const QVariantList entry = fileEntries.toList().value(0).toList();
    ClientConfig config;
    QString text;
    QString problem;
    if (entry.value(0).toString() != QLatin1String("varnoosk.cfg") || entry.value(1).typeId() != QMetaType::QByteArray) {
        qWarning("client column 10 does not hold the file entry");
        return config;
    }
    if (!modScramble::Descramble(entry.value(1).toByteArray(), text, &problem) || !config.Parse(text, &problem))
        qWarning("%s", qPrintable(problem));
    return config;
}

using Setup = std::function<void(QXEInterface &, FakeEngine &, FakeExport &)>;

} // namespace

Q_DECLARE_METATYPE(Setup)

class TestQXEInterface : public QObject
{
    Q_OBJECT

    std::unique_ptr<EngineFixture> m_fixture;
    FakeEngine *m_engine = nullptr;
    std::unique_ptr<QXEInterface> m_qxe;

    void runThree()
    {
        FakeExport job;
        job.computers = threeComputers();
        m_qxe->Run(job);
    }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<EngineFixture>();
        auto engine = std::make_unique<FakeEngine>();
        m_engine = engine.get();
        m_qxe = std::make_unique<QXEInterface>(std::move(engine));
    }

    void cleanup()
    {
        m_qxe.reset();
        m_fixture.reset();
    }

    // The engine reads its own settings under the console's key; a run
    // hands it the stored values, or their defaults, before the clients.
    void runSetsPropertiesWithDefaults()
    {
        QCOMPARE(m_engine->calls.at(0), QStringLiteral("RegistryPath=HKCU\\Software\\Brindlewood\\Varno-Osk\\Handler"));
        runThree();
        QStringList calls = m_engine->calls.mid(2);
        QVERIFY(calls.value(9).startsWith(QStringLiteral("SourcePath=")) && calls.value(9).endsWith(QLatin1Char('/')));
        calls[9] = QStringLiteral("SourcePath");
        const QString results = m_fixture->resultsFolder();
        QCOMPARE(calls,
            (QStringList {"LoggingLevel=1", "LogPath=" + results, "HandlerLogFile=handler.log", "ClientLogFile=varnoosk.log",
                "ClientStatusFile=varnoosk.sts", "StatusPath=" + results, "TransferorLogFile=transferor*.log",
                "DestPath=", "DestShare=ADMIN$", "SourcePath", "KeepAliveIncrement=300", "ListenerIP=127.0.0.1", "ListenerPort=7919",
                "MaxTransferors=5", "ReportingPeriod=120", "StatusCheckPeriod=15", "Clients=3", "StartProcessing"}));
        QVERIFY(RunState::instance().running());
    }

    // The listener port the engine is given, the console address the
    // clients call back, and every other key of the configuration files
    // read back: the fake export gives every cell a value of its own, so a
    // key fed from the wrong column shows.
    void configFiles_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("consoleIP");
        QTest::addColumn<QString>("enginePort");
        QTest::addColumn<QString>("fileAddress");
        const auto row = [](const char *tag, const char *port, const char *ip, const char *enginePort, const char *fileAddress) {
            QTest::newRow(tag) << port << ip << enginePort << fileAddress;
        };
        row("port 0", "0", "", "7919", "127.0.0.1");
        row("port 65535", "65535", "", "65535", "127.0.0.1");
        row("port 65536", "65536", "", "7919", "127.0.0.1");
        row("console address kept", "8080", "10.9.8.7", "8080", "10.9.8.7");
        row("console address not dotted", "8080", "console.example", "8080", "127.0.0.1");
    }

    void configFiles()
    {
        QFETCH(QString, port);
        QFETCH(QString, consoleIP);
        QFETCH(QString, enginePort);
        QFETCH(QString, fileAddress);
        QVERIFY(ConsoleConfig().Write(ConsoleConfig::ListenerPort, port));
        EngineFixture::set(QStringLiteral("ConsoleIP"), consoleIP);
        runThree();
        QVERIFY(m_engine->calls.contains("ListenerPort=" + enginePort));
        for (int r = 1; r <= 3; ++r) {
            QHash<QString, QString> value {{"version", "00002"}, {"ip", fileAddress}, {"port", enginePort}, {"row", QString::number(r)}};
            for (int col = 1; col <= SettingsColumn::Count; ++col) {
                value.insert(QStringLiteral("c%1").arg(col), m_qxe->ClientArray().Text(col, r));
                value.insert(QStringLiteral("s%1").arg(col), m_qxe->SettingsArray().Text(col, r));
            }
            const ClientConfig config = readBack(m_qxe->ClientArray().Value(ClientColumn::GeneratedFiles, r));
            QCOMPARE(config.Entries().size(), kSources.size());
            for (qsizetype i = 0; i < kSources.size(); ++i)
                QCOMPARE(config.Entries().at(i).second, value.value(kSources.at(i)));
        }
    }

    // A run that cannot start says why once and ends: the engine is left
    // alone, or its refusal is passed on.
    void runFailures_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("events"); // after "Running 1"
        QTest::addColumn<int>("starts");
        const QString building = QStringLiteral("Progress Building migration list...");
        const QString processing = QStringLiteral("Progress Processing entries...");
        const DispatchWrapper catalogue;
        // A second run whose export finds nothing must not run the first one's clients.
        QTest::newRow("empty list") << Setup([](QXEInterface &qxe, FakeEngine &, FakeExport &job) {
            qxe.Run(job);
            RunState::instance().backToEditing();
            job.computers.clear();
        }) << QStringList {building, "Message 48 The migration list is empty.", "Running 0"}
                                    << 1;
        QTest::newRow("no listener address") << Setup(
            [](QXEInterface &qxe, FakeEngine &, FakeExport &) { qxe.SetListenerAddressSource([] { return QString(); }); })
                                             << QStringList {"Message 16 " + catalogue.MessageText(1021), "Running 0"} << 0;
        QTest::newRow("unreadable registry") << Setup([](QXEInterface &, FakeEngine &, FakeExport &) {
            modRegistry::DeleteKey(AppState::Get().AppKeyPath);
        }) << QStringList {"Message 16 " + catalogue.MessageText(1003), "Progress Execution canceled.", "Running 0"}
                                             << 0;
        QTest::newRow("engine refuses") << Setup([](QXEInterface &, FakeEngine &engine, FakeExport &) { engine.failStartWith = 1033; })
                                        << QStringList {building, processing, "Message 16 " + catalogue.MessageText(1033), "Running 0"}
                                        << 1;
        QTest::newRow("engine fails") << Setup([](QXEInterface &, FakeEngine &engine, FakeExport &) {
            engine.failStartWith = 1002;
        }) << QStringList {building, processing, "Message 16 Error in QXEInterface.Run. Error code: 1002", "Running 0"}
                                      << 1;
        // Stopped while the export ran: the failure that follows is not news.
        QTest::newRow("stopped during the export")
            << Setup([](QXEInterface &, FakeEngine &, FakeExport &job) { job.instead = [] { RunState::instance().backToEditing(); }; })
            << QStringList {building, "Running 0"} << 0;
    }

    void runFailures()
    {
        QFETCH(Setup, setup);
        QFETCH(QStringList, events);
        QFETCH(int, starts);
        FakeExport job;
        job.computers = threeComputers();
        setup(*m_qxe, *m_engine, job);
        Events seen(*m_qxe);
        m_qxe->Run(job);
        QCOMPARE(seen.lines, QStringList {"Running 1"} + events);
        QCOMPARE(m_engine->calls.count(QStringLiteral("StartProcessing")), starts);
        QVERIFY(!RunState::instance().running());
    }

    void engineErrorTexts_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        const auto row = [](int number, const char *procedure, int code) {
            QTest::addRow("%d", number) << number
                                        << QStringLiteral("Error %1whnHandler.%2  Error code: %3")
                                               .arg(QLatin1String(*procedure ? "in " : ""), QLatin1String(procedure))
                                               .arg(code);
        };
        row(5000007, "LoadGeneralTransferorSettings.", 7);
        row(1999999, "Execute.", 999999);
        row(9000000, "ProcessClient.", 3000000); // keeps the six millions off
        row(1043, "", 1043); // no engine number
        QTest::addRow("1044") << 1044 << DispatchWrapper().MessageText(1044);
    }

    void engineErrorTexts()
    {
        QFETCH(int, number);
        QFETCH(QString, text);
        QVERIFY(!text.isEmpty());
        RunState::instance().startMigration();
        Events events(*m_qxe);
        Q_EMIT m_engine->Error(number);
        QCOMPARE(events.lines, (QStringList {"Running 0", "EditColors", "Message 16 " + text}));
        QVERIFY(!RunState::instance().running());
    }

    void engineEventsAreTranslated()
    {
        runThree();
        Events events(*m_qxe);
        Q_EMIT m_engine->ClientStatusChanged(2, QStringLiteral("L3"));
        Q_EMIT m_engine->ClientStatusChanged(3, QStringLiteral("XS"));
        Q_EMIT m_engine->LastClient();
        Q_EMIT m_engine->ProcessingComplete();
        Q_EMIT m_engine->TestReceived();
        const QString received = m_qxe->Catalogue().MessageText(3027);
        QCOMPARE(events.lines,
            (QStringList {"Status 2 L3", "Status 7 XS", "LastClient", "ProcessingComplete", "Progress " + received,
                "Message 64 " + received, "TestReceived"}));
    }

    void clientSuccessLine()
    {
        runThree();
        Q_EMIT m_engine->ClientSuccess(1);
        Q_EMIT m_engine->ClientSuccess(2);
        QCOMPARE(m_engine->log.size(), 2);
        QVERIFY(m_engine->log.at(0).level == 3 && m_engine->log.at(0).number == 3020);
        QCOMPARE(m_engine->log.at(0).text, QStringLiteral("Migration Successful - PC-A: alice,bob -> alice2,bob2."));
        QCOMPARE(m_engine->log.at(1).text, QStringLiteral("Migration Successful - PC-B."));
    }

    void clientLookups()
    {
        QCOMPARE(m_qxe->CDBtoQXE(0), -1);
        QCOMPARE(m_fixture->presenter.last().text, QStringLiteral("Translation array not initialized."));
        QCOMPARE(m_fixture->presenter.last().icon, Presenter::Icon::Critical);

        FakeExport job;
        for (int id = 0; id < 200; id += 2)
            job.computers.append({id, QStringLiteral("PC%1").arg(id)});
        m_qxe->Run(job);
        QCOMPARE((QList<int> {m_qxe->CDBtoQXE(0), m_qxe->CDBtoQXE(198), m_qxe->CDBtoQXE(150), m_qxe->CDBtoQXE(3)}),
            (QList<int> {1, 100, 76, -1}));
        QCOMPARE((QStringList {m_qxe->ComputerName(76), m_qxe->ComputerName(101), m_qxe->SimpleClientStatus(QStringLiteral("C150"))}),
            (QStringList {"PC150", "", "CL"}));
    }

    void commandsByNodeKey()
    {
        runThree();
        m_engine->calls.clear();
        m_fixture->presenter.clear();
        m_qxe->CancelClient(QStringLiteral("C7"));
        m_qxe->AbortClient(QStringLiteral("C2"));
        QCOMPARE(m_engine->calls, (QStringList {"CancelClient=3", "AbortClient=2"}));

        // No client for the key: a warning, and nothing reaches the engine.
        m_qxe->CancelClient(QStringLiteral("C5"));
        m_qxe->AbortClient(QStringLiteral("Cx"));
        QCOMPARE(m_qxe->SimpleClientStatus(QStringLiteral("C5")), QString());
        QCOMPARE(m_fixture->presenter.count(), 3);
        QCOMPARE(m_fixture->presenter.messages().at(1).icon, Presenter::Icon::Exclamation);
        QCOMPARE(m_fixture->presenter.last().text, QStringLiteral("Unable to find QXE key for selected node (-1)."));

        // Not running: nothing reaches the engine, not even a warning.
        RunState::instance().backToEditing();
        m_qxe->CancelClient(QStringLiteral("C7"));
        m_qxe->AbortClient(QStringLiteral("C5"));
        m_qxe->CancelAll();
        m_qxe->AbortAll();
        QCOMPARE(m_engine->calls.size(), 2);
        QCOMPARE(m_fixture->presenter.count(), 3);
    }
};

QTEST_GUILESS_MAIN(TestQXEInterface)
#include "tst_QXEInterface.moc"
