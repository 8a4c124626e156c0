#include "common/modText.h"
#include "engine/ClientConfig.h"
#include "engine/QXEInterface.h"
#include "engine/modScramble.h"

#include "EngineFixture.h"
#include "FakeEngine.h"

#include <QRandomGenerator>
#include <QSignalSpy>

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
        QObject::connect(&qxe, &QXEInterface::RunningChanged, &qxe, [this](bool on) { lines << QStringLiteral("Running %1").arg(on); });
        QObject::connect(&qxe, &QXEInterface::EditColorsRequested, &qxe, [this] { lines << QStringLiteral("EditColors"); });
    }
};

QList<FakeComputer> threeComputers()
{
    return {{0, QStringLiteral("PC-A"), QStringLiteral("alice,bob"), QStringLiteral("alice2,bob2")},
        {2, QStringLiteral("PC-B"), QString(), QStringLiteral("carol")},
        {7, QStringLiteral("PC-C"), QStringLiteral("*ALL"), QStringLiteral("*ALL")}};
}

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

} // namespace

class TestQXEInterface : public QObject
{
    Q_OBJECT

    std::unique_ptr<EngineFixture> m_fixture;
    FakeEngine *m_engine = nullptr;
    std::unique_ptr<QXEInterface> m_qxe;

    void runWith(FakeExport &job) { m_qxe->Run(job); }

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

    void creationSetsTheEnginePaths()
    {
        QCOMPARE(m_engine->calls.size(), 2);
        QCOMPARE(m_engine->value(QStringLiteral("RegistryPath")), QStringLiteral("HKCU\\Software\\Brindlewood\\Varno-Osk\\Handler"));
        QVERIFY(!m_engine->value(QStringLiteral("ProgramFolder")).isEmpty());
        QCOMPARE(m_qxe->RegPath(), AppState::Get().AppKeyPath);
        QVERIFY(!AppState::Get().MigrationRunning);
        QVERIFY(AppState::Get().MigrationIdle);
    }

    void runSetsPropertiesInOrderWithDefaults()
    {
        Events events(*m_qxe);
        FakeExport job;
        job.computers = threeComputers();
        runWith(job);

        const QStringList order = {QStringLiteral("LoggingLevel"), QStringLiteral("LogPath"), QStringLiteral("HandlerLogFile"),
            QStringLiteral("ClientLogFile"), QStringLiteral("ClientStatusFile"), QStringLiteral("StatusPath"),
            QStringLiteral("TransferorLogFile"), QStringLiteral("DestPath"), QStringLiteral("DestShare"), QStringLiteral("SourcePath"),
            QStringLiteral("KeepAliveIncrement"), QStringLiteral("ListenerIP"), QStringLiteral("ListenerPort"),
            QStringLiteral("MaxTransferors"), QStringLiteral("ReportingPeriod"), QStringLiteral("StatusCheckPeriod"),
            QStringLiteral("Clients"), QStringLiteral("StartProcessing")};
        QCOMPARE(m_engine->runOrder(), order);

        const QString results = m_fixture->resultsFolder();
        QCOMPARE(m_engine->value(QStringLiteral("LoggingLevel")), QStringLiteral("1"));
        QCOMPARE(m_engine->value(QStringLiteral("LogPath")), results);
        QCOMPARE(m_engine->value(QStringLiteral("StatusPath")), results);
        QCOMPARE(m_engine->value(QStringLiteral("HandlerLogFile")), QStringLiteral("handler.log"));
        QCOMPARE(m_engine->value(QStringLiteral("ClientLogFile")), QStringLiteral("varnoosk.log"));
        QCOMPARE(m_engine->value(QStringLiteral("ClientStatusFile")), QStringLiteral("varnoosk.sts"));
        QCOMPARE(m_engine->value(QStringLiteral("TransferorLogFile")), QStringLiteral("transferor*.log"));
        QCOMPARE(m_engine->value(QStringLiteral("DestPath")), QString());
        QCOMPARE(m_engine->value(QStringLiteral("DestShare")), QStringLiteral("ADMIN$"));
        QVERIFY(m_engine->value(QStringLiteral("SourcePath")).endsWith(QLatin1Char('/')));
        QCOMPARE(m_engine->value(QStringLiteral("KeepAliveIncrement")), QStringLiteral("300"));
        QCOMPARE(m_engine->value(QStringLiteral("ListenerIP")), QStringLiteral("127.0.0.1"));
        QCOMPARE(m_engine->value(QStringLiteral("ListenerPort")), QStringLiteral("7919"));
        QCOMPARE(m_engine->value(QStringLiteral("MaxTransferors")), QString::number(QXEHandler::MaxTransferorsDefault));
        QCOMPARE(m_engine->value(QStringLiteral("ReportingPeriod")), QStringLiteral("120"));
        QCOMPARE(m_engine->value(QStringLiteral("StatusCheckPeriod")), QStringLiteral("15"));
        QCOMPARE(m_engine->value(QStringLiteral("Clients")), QStringLiteral("3"));

        QCOMPARE(events.lines,
            (QStringList {QStringLiteral("Running 1"), QStringLiteral("Progress Building migration list..."),
                QStringLiteral("Progress Processing entries...")}));
        QVERIFY(AppState::Get().MigrationRunning);
    }

    void listenerPortAndConsoleAddress_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("consoleIP");
        QTest::addColumn<QString>("enginePort");
        QTest::addColumn<QString>("fileAddress");
        QTest::newRow("port 0") << QStringLiteral("0") << QString() << QStringLiteral("7919") << QStringLiteral("127.0.0.1");
        QTest::newRow("port -5") << QStringLiteral("-5") << QString() << QStringLiteral("7919") << QStringLiteral("127.0.0.1");
        QTest::newRow("port not a number") << QStringLiteral("80a") << QString() << QStringLiteral("7919") << QStringLiteral("127.0.0.1");
        QTest::newRow("port 1") << QStringLiteral("1") << QString() << QStringLiteral("1") << QStringLiteral("127.0.0.1");
        QTest::newRow("port 65535") << QStringLiteral("65535") << QString() << QStringLiteral("65535") << QStringLiteral("127.0.0.1");
        QTest::newRow("port 65536") << QStringLiteral("65536") << QString() << QStringLiteral("7919") << QStringLiteral("127.0.0.1");
        QTest::newRow("console address kept") << QStringLiteral("8080") << QStringLiteral("10.9.8.7") << QStringLiteral("8080")
                                              << QStringLiteral("10.9.8.7");
        QTest::newRow("console address not dotted")
            << QStringLiteral("8080") << QStringLiteral("console.example") << QStringLiteral("8080") << QStringLiteral("127.0.0.1");
        QTest::newRow("console address out of range")
            << QStringLiteral("8080") << QStringLiteral("10.9.8.256") << QStringLiteral("8080") << QStringLiteral("127.0.0.1");
    }

    void listenerPortAndConsoleAddress()
    {
        QFETCH(QString, port);
        QFETCH(QString, consoleIP);
        QFETCH(QString, enginePort);
        QFETCH(QString, fileAddress);
        EngineFixture::set(QStringLiteral("ListenerPort"), port);
        EngineFixture::set(QStringLiteral("ConsoleIP"), consoleIP);
        FakeExport job;
        job.computers = threeComputers();
        runWith(job);
        QCOMPARE(m_engine->value(QStringLiteral("ListenerPort")), enginePort);
        const ClientConfig config = readBack(m_qxe->ClientArray().Value(10, 1));
        QCOMPARE(config.Value(QStringLiteral("CONSOLEIP")), fileAddress);
        QCOMPARE(config.Value(QStringLiteral("CONSOLEPORT")), enginePort);
    }

    void configFileHoldsEveryKeyFromItsColumn()
    {
        EngineFixture::set(QStringLiteral("ConsoleIP"), QStringLiteral("10.1.1.1"));
        FakeExport job;
        job.computers = threeComputers();
        runWith(job);

        for (int r = 1; r <= 3; ++r) {
            const ClientConfig config = readBack(m_qxe->ClientArray().Value(10, r));
            QCOMPARE(config.Entries().size(), ClientConfig::Keys().size());
            auto client = [r](int col) { return QStringLiteral("c%1r%2").arg(col).arg(r); };
            auto settings = [r](int col) { return QStringLiteral("s%1r%2").arg(col).arg(r); };
            auto number = [r](int col) { return QString::number(col * 10 + r); };
            const FakeComputer &computer = job.computers.at(r - 1);
            const QStringList expected = {QStringLiteral("00002"), QStringLiteral("10.1.1.1"), QStringLiteral("7919"), client(3), client(4),
                client(2), client(6), client(7), client(5), computer.name, computer.destinationUsers, settings(9), number(21),
                QString::number(r), number(23), number(22), number(20), settings(13), settings(12), settings(10), settings(11),
                settings(15), settings(16), settings(17), settings(18), settings(19), settings(14), number(24), settings(4), settings(3),
                settings(5), settings(6), settings(7), computer.sourceUsers, settings(2)};
            for (qsizetype i = 0; i < expected.size(); ++i) {
                QCOMPARE(config.Entries().at(i).first, ClientConfig::Keys().at(i));
                QCOMPARE(config.Entries().at(i).second, expected.at(i));
            }
        }
    }

    void configFilesReadBackKeyByKey()
    {
        // Random values of every code the file can carry, in every column, over many random streams.
        QRandomGenerator rng(99);
        auto randomValue = [&rng] {
            QString text;
            const int length = static_cast<int>(rng.bounded(40));
            while (text.size() < length) {
                const int code = static_cast<int>(rng.bounded(200));
                const QChar c = modText::FromAnsiCode(code);
                // CR and LF end a line, so no value of the file holds them.
                if (c != QChar(QChar::ReplacementCharacter) && code != 10 && code != 13)
                    text.append(c);
            }
            return text;
        };
        for (quint32 stream = 1; stream <= 40; ++stream) {
            FakeExport job;
            job.computers = {{0, QStringLiteral("PC1")}, {1, QStringLiteral("PC2")}};
            QStringList expected;
            job.instead = [&] {
                JobArray &clients = const_cast<JobArray &>(m_qxe->ClientArray());
                JobArray &settings = const_cast<JobArray &>(m_qxe->SettingsArray());
                TranslationArray &translation = const_cast<TranslationArray &>(m_qxe->Translation());
                clients.Create(10, 1);
                settings.Create(24, 1);
                translation.Create(1);
                translation[1] = 0;
                for (int col = 1; col <= 7; ++col)
                    clients.Cell(col, 1) = randomValue();
                for (int col = 1; col <= 24; ++col)
                    settings.Cell(col, 1) = randomValue();
                auto rng2 = std::make_shared<QRandomGenerator>(stream);
                m_qxe->SetRandomSource([rng2] { return rng2->generateDouble(); });
                clients.Cell(10, 1) = QVariantList {QVariant(QVariantList {QStringLiteral("varnoosk.cfg"), m_qxe->CreateConfigFile(1)})};
                auto c = [&](int col) { return clients.Text(col, 1); };
                auto s = [&](int col) { return settings.Text(col, 1); };
                expected = QStringList {ClientConfig::Version, m_qxe->ConsoleIP(), QString::number(m_qxe->ListenerPort()), c(3), c(4), c(2),
                    c(6), c(7), c(5), c(1), s(8), s(9), s(21), QStringLiteral("1"), s(23), s(22), s(20), s(13), s(12), s(10), s(11), s(15),
                    s(16), s(17), s(18), s(19), s(14), s(24), s(4), s(3), s(5), s(6), s(7), s(1), s(2)};
            };
            runWith(job);
            const ClientConfig config = readBack(m_qxe->ClientArray().Value(10, 1));
            QCOMPARE(config.Entries().size(), expected.size());
            for (qsizetype i = 0; i < expected.size(); ++i)
                QCOMPARE(config.Entries().at(i).second, expected.at(i));
        }
    }

    void runFailures_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("text");
        const DispatchWrapper catalogue;
        QTest::newRow("1022") << 1022 << 48 << QStringLiteral("The migration list is empty.");
        for (int n : {1021, 1027, 1028, 1029, 1032, 1033, 1043, 1044})
            QTest::addRow("%d", n) << n << 16 << catalogue.MessageText(n);
        QTest::newRow("other") << 1002 << 16 << QStringLiteral("Error in QXEInterface.Run. Error code: 1002");
        QTest::newRow("not numbered") << 5 << 16 << QStringLiteral("Error in QXEInterface.Run. Error code: 5");
    }

    void runFailures()
    {
        QFETCH(int, failure);
        QFETCH(int, level);
        QFETCH(QString, text);
        QVERIFY(!text.isEmpty());
        m_engine->failStartWith = failure;
        Events events(*m_qxe);
        FakeExport job;
        job.computers = threeComputers();
        runWith(job);
        QCOMPARE(events.lines.mid(events.lines.size() - 2),
            (QStringList {QStringLiteral("Message %1 %2").arg(level).arg(text), QStringLiteral("Running 0")}));
        QVERIFY(!AppState::Get().MigrationRunning);
    }

    void emptyExportIsAnEmptyList()
    {
        Events events(*m_qxe);
        FakeExport first;
        first.computers = threeComputers();
        runWith(first);
        // A second run whose export finds nothing must not run the first one's clients.
        FakeExport empty;
        runWith(empty);
        QCOMPARE(events.lines.mid(events.lines.size() - 2),
            (QStringList {QStringLiteral("Message 48 The migration list is empty."), QStringLiteral("Running 0")}));
        QCOMPARE(m_engine->calls.count(QStringLiteral("StartProcessing")), 1);
    }

    void noListenerAddress()
    {
        EngineFixture::set(QStringLiteral("ListenerIP"), QString());
        Events events(*m_qxe);
        FakeExport job;
        job.computers = threeComputers();
        runWith(job);
        QCOMPARE(events.lines.mid(1),
            (QStringList {QStringLiteral("Message 16 ") + m_qxe->Catalogue().MessageText(1021), QStringLiteral("Running 0")}));
        QVERIFY(!m_engine->calls.contains(QStringLiteral("StartProcessing")));
    }

    void failureDroppedWhenNotRunning()
    {
        Events events(*m_qxe);
        FakeExport job;
        job.instead = [] { AppState::Get().MigrationRunning = false; };
        runWith(job);
        QCOMPARE(events.lines.last(), QStringLiteral("Progress Building migration list..."));
    }

    void unreadableRegistryCancels()
    {
        modRegistry::DeleteKey(AppState::Get().AppKeyPath);
        Events events(*m_qxe);
        FakeExport job;
        job.computers = threeComputers();
        runWith(job);
        QCOMPARE(events.lines,
            (QStringList {QStringLiteral("Running 1"), QStringLiteral("Message 16 ") + m_qxe->Catalogue().MessageText(1003),
                QStringLiteral("Progress Execution canceled."), QStringLiteral("Running 0")}));
        QVERIFY(!m_engine->calls.contains(QStringLiteral("StartProcessing")));
    }

    void engineErrorTexts_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        const QString code = QStringLiteral("  Error code: ");
        QTest::newRow("5000007") << 5000007
                                 << QStringLiteral("Error in whnHandler.LoadGeneralTransferorSettings.") + code + QStringLiteral("7");
        QTest::newRow("999") << 999 << QStringLiteral("Error whnHandler.") + code + QStringLiteral("999");
        QTest::newRow("0") << 0 << QStringLiteral("Error whnHandler.") + code + QStringLiteral("0");
        QTest::newRow("negative") << -3 << QStringLiteral("Error whnHandler.") + code + QStringLiteral("-3");
        QTest::newRow("1000000") << 1000000 << QStringLiteral("Error in whnHandler.Execute.") + code + QStringLiteral("0");
        QTest::newRow("1999999") << 1999999 << QStringLiteral("Error in whnHandler.Execute.") + code + QStringLiteral("999999");
        QTest::newRow("2000001") << 2000001 << QStringLiteral("Error in whnHandler.GetClientStatus.") + code + QStringLiteral("1");
        QTest::newRow("3000002") << 3000002 << QStringLiteral("Error in whnHandler.CheckStatus.") + code + QStringLiteral("2");
        QTest::newRow("4000003") << 4000003 << QStringLiteral("Error in whnHandler.ErrorNumber.") + code + QStringLiteral("3");
        QTest::newRow("6000004") << 6000004 << QStringLiteral("Error in whnHandler.ProcessClient.") + code + QStringLiteral("4");
        QTest::newRow("9000000 keeps the six millions off")
            << 9000000 << QStringLiteral("Error in whnHandler.ProcessClient.") + code + QStringLiteral("3000000");
        QTest::newRow("1043 is no engine number") << 1043 << QStringLiteral("Error whnHandler.") + code + QStringLiteral("1043");
        const DispatchWrapper catalogue;
        for (int n : {1002, 1004, 1021, 1027, 1028, 1029, 1032, 1033, 1044})
            QTest::addRow("%d", n) << n << catalogue.MessageText(n);
    }

    void engineErrorTexts()
    {
        QFETCH(int, number);
        QFETCH(QString, text);
        QVERIFY(!text.isEmpty());
        AppState::Get().MigrationRunning = true;
        Events events(*m_qxe);
        Q_EMIT m_engine->Error(number);
        QCOMPARE(
            events.lines, (QStringList {QStringLiteral("Running 0"), QStringLiteral("EditColors"), QStringLiteral("Message 16 ") + text}));
        QVERIFY(!AppState::Get().MigrationRunning);
    }

    void engineEventsAreTranslated()
    {
        FakeExport job;
        job.computers = threeComputers();
        runWith(job);
        Events events(*m_qxe);
        Q_EMIT m_engine->ClientStatusChanged(2, QStringLiteral("L3"));
        Q_EMIT m_engine->ClientStatusChanged(3, QStringLiteral("XS"));
        Q_EMIT m_engine->LastClient();
        Q_EMIT m_engine->ProcessingComplete();
        Q_EMIT m_engine->TestReceived();
        const QString received = m_qxe->Catalogue().MessageText(3027);
        QCOMPARE(events.lines,
            (QStringList {QStringLiteral("Status 2 L3"), QStringLiteral("Status 7 XS"), QStringLiteral("LastClient"),
                QStringLiteral("ProcessingComplete"), QStringLiteral("Progress ") + received, QStringLiteral("Message 64 ") + received,
                QStringLiteral("TestReceived")}));
    }

    void clientSuccessLine()
    {
        FakeExport job;
        job.computers = threeComputers();
        runWith(job);
        Q_EMIT m_engine->ClientSuccess(1);
        Q_EMIT m_engine->ClientSuccess(2);
        QCOMPARE(m_engine->log.size(), 2);
        QCOMPARE(m_engine->log.at(0).level, 3);
        QCOMPARE(m_engine->log.at(0).number, 3020);
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
        runWith(job);
        QCOMPARE(m_qxe->CDBtoQXE(0), 1);
        QCOMPARE(m_qxe->CDBtoQXE(198), 100);
        QCOMPARE(m_qxe->CDBtoQXE(150), 76);
        QCOMPARE(m_qxe->CDBtoQXE(3), -1);
        QCOMPARE(m_qxe->CDBtoQXE(1000), -1);
        QCOMPARE(m_qxe->ComputerName(76), QStringLiteral("PC150"));
        QCOMPARE(m_qxe->ComputerName(101), QString());
        QCOMPARE(m_qxe->SimpleClientStatus(QStringLiteral("C150")), QStringLiteral("CL"));
    }

    void commandsByNodeKey()
    {
        FakeExport job;
        job.computers = threeComputers();
        runWith(job);
        m_engine->calls.clear();
        m_fixture->presenter.clear();

        m_qxe->CancelClient(QStringLiteral("C7"));
        m_qxe->AbortClient(QStringLiteral("C2"));
        m_qxe->CancelAll();
        m_qxe->AbortAll();
        QCOMPARE(m_engine->calls,
            (QStringList {QStringLiteral("CancelClient=3"), QStringLiteral("AbortClient=2"), QStringLiteral("CancelAll"),
                QStringLiteral("AbortAll")}));
        QCOMPARE(m_fixture->presenter.count(), 0);

        m_qxe->CancelClient(QStringLiteral("C5"));
        m_qxe->AbortClient(QStringLiteral("Cx"));
        QCOMPARE(m_qxe->SimpleClientStatus(QStringLiteral("C5")), QString());
        QCOMPARE(m_fixture->presenter.count(), 3);
        QCOMPARE(m_fixture->presenter.messages().at(0).text, QStringLiteral("Unable to find QXE key for selected node."));
        QCOMPARE(m_fixture->presenter.messages().at(0).icon, Presenter::Icon::Exclamation);
        QCOMPARE(m_fixture->presenter.messages().at(1).text, QStringLiteral("Unable to find QXE key for selected node."));
        QCOMPARE(m_fixture->presenter.messages().at(2).text, QStringLiteral("Unable to find QXE key for selected node (-1)."));
        QCOMPARE(m_engine->calls.size(), 4);

        // Not running: nothing reaches the engine, not even a warning.
        AppState::Get().MigrationRunning = false;
        m_fixture->presenter.clear();
        m_qxe->CancelClient(QStringLiteral("C7"));
        m_qxe->AbortClient(QStringLiteral("C5"));
        m_qxe->CancelAll();
        m_qxe->AbortAll();
        QCOMPARE(m_engine->calls.size(), 4);
        QCOMPARE(m_fixture->presenter.count(), 0);
    }

    void networkTestCalls()
    {
        Events events(*m_qxe);
        const qint32 address = QXEHandler::PackAddress(QStringLiteral("127.0.0.1"));
        QCOMPARE(address, qint32(0x0100007F));
        QCOMPARE(QXEHandler::UnpackAddress(address), QStringLiteral("127.0.0.1"));
        m_qxe->NetworkTestStart(address, 7919);
        m_qxe->NetworkTestEnd();
        QCOMPARE(events.lines,
            (QStringList {QStringLiteral("Progress ") + m_qxe->Catalogue().MessageText(4008),
                QStringLiteral("Progress ") + m_qxe->Catalogue().MessageText(4009)}));
        QVERIFY(m_engine->calls.contains(QStringLiteral("NetworkTestStart=16777343,7919")));
        QCOMPARE(m_engine->calls.last(), QStringLiteral("NetworkTestEnd"));
    }

    void catalogueAndStringTable()
    {
        for (int n : {1002, 1003, 1004, 1021, 1027, 1028, 1029, 1032, 1033, 1043, 1044, 3027, 4008, 4009, 9999})
            QVERIFY2(!m_qxe->Catalogue().MessageText(n).isEmpty(), qPrintable(QString::number(n)));
        QCOMPARE(m_qxe->Catalogue().MessageText(1), QString());
    }
};

QTEST_GUILESS_MAIN(TestQXEInterface)
#include "tst_QXEInterface.moc"
