#include "engine/ManualScheduler.h"
#include "engine/NetworkTestListener.h"
#include "engine/QXEInterface.h"
#include "engine/SimulatedEngine.h"

#include "EngineFixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>

namespace {

// "1 NP", "1 L0", ...: the events of one client for codes given as one text.
QStringList seq(int client, const QString &codes)
{
    QStringList out;
    for (const QString &code : codes.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out << QStringLiteral("%1 %2").arg(client).arg(code);
    return out;
}

const QString kLoading = QStringLiteral("L0 L1 L2 L3 L4 L5 L6 L7 L8 L9 ");

QString readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

class TestSimulatedEngine : public QObject
{
    Q_OBJECT

    std::unique_ptr<EngineFixture> m_fixture;
    ManualScheduler *m_scheduler = nullptr;
    SimulatedEngine *m_engine = nullptr;
    std::unique_ptr<QXEInterface> m_qxe;
    QStringList m_events;
    QStringList m_messages;
    FakeExport m_job;

    void start(const QList<FakeComputer> &computers)
    {
        m_job.computers = computers;
        m_qxe->Run(m_job);
    }

    // PC1 .. PC<count> with computer IDs 10, 20, ...
    static QList<FakeComputer> computers(int count)
    {
        QList<FakeComputer> list;
        for (int i = 1; i <= count; ++i)
            list.append({i * 10, QStringLiteral("PC%1").arg(i)});
        return list;
    }

    QStringList eventsOf(int client) const { return m_events.filter(QRegularExpression(QStringLiteral("^%1 ").arg(client))); }

private Q_SLOTS:
    void init()
    {
        qunsetenv(SimulatedEngine::ProfileVariable);
        m_fixture = std::make_unique<EngineFixture>();
        auto scheduler = std::make_unique<ManualScheduler>();
        m_scheduler = scheduler.get();
        auto engine = std::make_unique<SimulatedEngine>(std::move(scheduler));
        m_engine = engine.get();
        m_qxe = std::make_unique<QXEInterface>(std::move(engine));
        m_events.clear();
        m_messages.clear();
        m_job = FakeExport();
        connect(m_engine, &QXEHandler::ClientStatusChanged, this,
            [this](int n, const QString &s) { m_events << QStringLiteral("%1 %2").arg(n).arg(s); });
        connect(m_engine, &QXEHandler::ClientSuccess, this, [this](int n) { m_events << QStringLiteral("Success %1").arg(n); });
        connect(m_engine, &QXEHandler::LastClient, this, [this] { m_events << QStringLiteral("LastClient"); });
        connect(m_engine, &QXEHandler::ProcessingComplete, this, [this] { m_events << QStringLiteral("Complete"); });
        connect(m_engine, &QXEHandler::Error, this, [this](int n) { m_events << QStringLiteral("Error %1").arg(n); });
        connect(m_qxe.get(), &QXEInterface::Message, this,
            [this](int level, const QString &t) { m_messages << QStringLiteral("%1 %2").arg(level).arg(t); });
    }

    void cleanup()
    {
        qunsetenv(SimulatedEngine::ProfileVariable);
        m_qxe.reset();
        m_fixture.reset();
    }

    void successAtOneStepASecond()
    {
        start(computers(1));
        QVERIFY(m_events.isEmpty()); // nothing before the call has returned
        QVERIFY(m_scheduler->RunUntilIdle());
        QCOMPARE(m_scheduler->Now(), qint64(16000));
        QCOMPARE(m_events,
            (seq(1, "NP") + QStringList {"LastClient"} + seq(1, kLoading + "CL U PS XS") + QStringList {"Success 1", "Complete"}));
        QVERIFY(readAll(m_fixture->resultsFolder() + QStringLiteral("handler.log"))
                    .contains(QStringLiteral("[3/3020] Migration Successful - PC1.")));
    }

    void outcomesByProfile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("inClientLog");
        const auto row = [](const char *name, const char *ending, const char *log) { QTest::newRow(name) << name << ending << log; };
        row("pc-err", "CL U PE XE", "ERROR: a profile");
        row("OLD-12", "CL XE", "did not report"); // never answers
        row("BADPC", "CL U PE XE", "cannot be used"); // damaged file
    }

    void outcomesByProfile()
    {
        QFETCH(QString, name);
        QFETCH(QString, ending);
        QFETCH(QString, inClientLog);
        SimulationProfile profile;
        QString problem;
        QVERIFY2(profile.Parse("step_ms = 10\nwarning = LAB-*\nerror = *-ERR # comment\nsilent = OLD-??\nsilent_timeout_ms = 5000\n"
                               "corrupt = BAD*\n",
                     &problem),
            qPrintable(problem));
        m_engine->SetProfile(profile);
        start({{1, name}});
        QVERIFY(m_scheduler->RunUntilIdle());
        QCOMPARE(eventsOf(1), seq(1, "NP " + kLoading + ending));
        QVERIFY(readAll(m_engine->ClientLogPath(1)).contains(inClientLog));
        QCOMPARE(m_events.contains(QStringLiteral("Success 1")), ending.endsWith(QLatin1String("XS")));
        QCOMPARE(m_events.last(), QStringLiteral("Complete"));
    }

    void unusableConfigurationFiles()
    {
        // Row 2 gets row 1's file, row 3 a text that was never scrambled, row 4 none at all.
        m_job.computers = computers(4);
        FakeExport inner;
        inner.computers = m_job.computers;
        m_job.instead = [&] {
            auto &clients = const_cast<JobArray &>(m_qxe->ClientArray());
            inner.ExportArrays(clients, const_cast<JobArray &>(m_qxe->SettingsArray()),
                const_cast<TranslationArray &>(m_qxe->Translation()), [this](int row) { return m_qxe->CreateConfigFile(row); });
            clients.Set(ClientColumn::GeneratedFiles, 2, clients.Value(ClientColumn::GeneratedFiles, 1));
            clients.Set(ClientColumn::GeneratedFiles, 3, QVariantList {QVariant(QVariantList {QStringLiteral("varnoosk.cfg"), QByteArray("VERSION=00002\r\n")})});
            clients.Set(ClientColumn::GeneratedFiles, 4, QVariant());
        };
        m_qxe->Run(m_job);
        QVERIFY(m_scheduler->RunUntilIdle());
        QCOMPARE(m_engine->GetClientStatus(1).StatusCode, QStringLiteral("XS"));
        for (int n = 2; n <= 4; ++n)
            QCOMPARE(eventsOf(n).mid(eventsOf(n).size() - 2), seq(n, "PE XE"));
        QVERIFY(readAll(m_engine->ClientLogPath(2)).contains(QStringLiteral("is for computer \"PC1\", not for \"PC2\"")));
        QVERIFY(readAll(m_engine->ClientLogPath(3)).contains(QStringLiteral("Byte")));
        QVERIFY(readAll(m_engine->ClientLogPath(4)).contains(QStringLiteral("is missing")));
    }

    void atMostMaxTransferorsAtOnce_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("used");
        QTest::newRow("2") << "2" << 2;
        QTest::newRow("0 means one") << "0" << 1;
        QTest::newRow("above the bound") << "200" << int(QXEHandler::MaxTransferorsLimit);
    }

    void atMostMaxTransferorsAtOnce()
    {
        QFETCH(QString, stored);
        QFETCH(int, used);
        EngineFixture::set(QStringLiteral("MaxTransferors"), stored);
        const int count = used + 3;
        start(computers(count));
        int active = 0;
        int most = 0;
        connect(m_engine, &QXEHandler::ClientStatusChanged, this, [&](int, const QString &s) {
            active += s == QLatin1String("NP") ? 1 : s.startsWith(QLatin1Char('X')) ? -1 : 0;
            most = std::max(most, active);
        });
        QVERIFY(m_scheduler->RunUntilIdle());
        QCOMPARE(m_engine->TransferorCount(), used);
        QCOMPARE(most, used);
        QCOMPARE(m_events.filter(QStringLiteral(" NP")).constLast(), QStringLiteral("%1 NP").arg(count));
        const QStringList logs = QDir(m_fixture->resultsFolder()).entryList({QStringLiteral("transferor*.log")}, QDir::Files, QDir::Name);
        QCOMPARE(logs.size(), used);
        QVERIFY(logs.contains(QStringLiteral("transferor%1.log").arg(used)));
    }

    void cancel()
    {
        EngineFixture::set(QStringLiteral("MaxTransferors"), QStringLiteral("1"));
        start(computers(3));
        m_scheduler->Advance(3000); // client 1 loading
        m_qxe->CancelClient(QStringLiteral("C30"));
        m_qxe->CancelClient(QStringLiteral("C10")); // started: too late to cancel
        QVERIFY(!m_events.contains(QStringLiteral("LastClient")));
        m_qxe->CancelAll();
        QCOMPARE(m_events.mid(m_events.size() - 3), (QStringList {"3 XC", "2 XC", "LastClient"}));
        QVERIFY(m_scheduler->RunUntilIdle());
        QCOMPARE(eventsOf(1).last(), QStringLiteral("1 XS"));
        QCOMPARE(eventsOf(2), seq(2, "XC")); // never started after all
        QCOMPARE(m_events.count(QStringLiteral("LastClient")), 1);
    }

    void abortOneSilentClient()
    {
        SimulationProfile profile;
        profile.SilentPatterns << QStringLiteral("*");
        m_engine->SetProfile(profile);
        start(computers(1));
        m_scheduler->Advance(20000); // executing, then quiet
        m_qxe->AbortClient(QStringLiteral("C10"));
        QCOMPARE(m_events.last(), QStringLiteral("1 AP"));
        QVERIFY(m_scheduler->RunUntilIdle());
        QCOMPARE(eventsOf(1).last(), QStringLiteral("1 XA"));
        QCOMPARE(eventsOf(1).count(QStringLiteral("1 XE")), 0); // the wait for its report was dropped
    }

    void logsInTheResultsFolder()
    {
        EngineFixture::set(QStringLiteral("TLogFile"), QStringLiteral("t-*-x.log"));
        EngineFixture::set(QStringLiteral("HLogFile"), QStringLiteral("engine.log"));
        EngineFixture::set(QStringLiteral("CStatusFile"), QStringLiteral("clients.sts"));
        start({{1, QStringLiteral("PC1")}, {2, QStringLiteral("../evil")}});
        QVERIFY(m_scheduler->RunUntilIdle());
        const QString folder = m_fixture->resultsFolder();
        for (const char *file : {"engine.log", "t-1-x.log", "t-2-x.log", "clients/PC1/varnoosk.cfg", "clients/.._evil/varnoosk.cfg"})
            QVERIFY2(QFile::exists(folder + QLatin1String(file)), file);
        QCOMPARE(m_engine->ClientLogPath(1), folder + QStringLiteral("PC1-20240102030405.log"));
        QCOMPARE(m_engine->ClientLogPath(2), folder + QStringLiteral(".._evil-20240102030405.log"));
        const QStringList status = readAll(folder + QStringLiteral("clients.sts")).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(status.size(), eventsOf(1).size() + eventsOf(2).size());
        QCOMPARE(status.first(), QStringLiteral("2024-01-02 03:04:05\t1\tPC1\tNP"));
        QVERIFY(!readAll(m_engine->ClientLogPath(1)).contains(QStringLiteral("c4r1"))); // no password in a log
    }

    void shippedExampleProfile()
    {
        SimulationProfile profile;
        QString problem;
        QVERIFY2(
            profile.Load(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../examples/simulation-profile.txt"), &problem), qPrintable(problem));
    }

    // A profile that cannot be read stops the engine before any client; here
    // one the engine's registry key names and that does not exist.
    void unusableProfileStopsTheEngine()
    {
        RegKey key = Reg::NoKey;
        modRegistry::CreateKey(QStringLiteral("Handler"), Reg::NoKey, AppState::Get().AppKeyPath, QString(), key);
        modRegistry::CloseKey(key);
        const QString missing = m_fixture->logs.filePath(QStringLiteral("profile.txt"));
        QVERIFY(modRegistry::SaveSettingString(QXEInterface::EngineRegistryPath(), SimulatedEngine::ProfileValueName, missing));
        start(computers(2));
        QVERIFY(m_scheduler->RunUntilIdle());
        QCOMPARE(m_events, QStringList {"Error 5000001"});
        QCOMPARE(m_messages, QStringList {"16 Error in whnHandler.LoadGeneralTransferorSettings.  Error code: 1"});
        QVERIFY(!RunState::instance().running());
    }

    void secondRunWhileProcessing()
    {
        start(computers(1));
        m_qxe->Run(m_job);
        QCOMPARE(m_messages, QStringList {"16 " + m_qxe->Catalogue().MessageText(1032)});
    }

    void networkTestOverLoopback()
    {
        QSignalSpy received(m_engine, &QXEHandler::TestReceived);
        m_qxe->NetworkTestStart(QXEHandler::PackAddress(QStringLiteral("127.0.0.1")), 0);
        const quint16 port = m_engine->TestPort();
        QVERIFY(port != 0);

        QTcpSocket telnet;
        QByteArray heard;
        connect(&telnet, &QTcpSocket::readyRead, this, [&] { heard += telnet.readAll(); });
        telnet.connectToHost(QStringLiteral("127.0.0.1"), port);
        QTRY_VERIFY_WITH_TIMEOUT(heard.contains("Press any key"), 20000);
        QVERIFY(heard.contains("communication has been established with the Handler"));
        QCOMPARE(received.count(), 0);

        telnet.write("x");
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(heard.contains("The network test is complete"), 20000);

        // A second listener on the same port fails with 1027.
        auto other = std::make_unique<SimulatedEngine>(std::make_unique<ManualScheduler>());
        QSignalSpy errors(other.get(), &QXEHandler::Error);
        other->NetworkTestStart(QXEHandler::PackAddress(QStringLiteral("127.0.0.1")), port);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().toInt(), 1027);

        m_qxe->NetworkTestEnd();
        QCOMPARE(m_engine->TestPort(), quint16(0));
    }

    // Connections that are held and say nothing neither shut a client out
    // nor stay for good.
    void listenerKeepsRoomForClients()
    {
        NetworkTestListener listener(nullptr, {8, 1500});
        QCOMPARE(listener.Start(QStringLiteral("127.0.0.1"), 0), 0);
        QSignalSpy keys(&listener, &NetworkTestListener::KeyReceived);
        std::vector<std::unique_ptr<QTcpSocket>> silent(100);
        const auto dropped = [&] {
            return std::count_if(
                silent.cbegin(), silent.cend(), [](const auto &s) { return s->state() == QAbstractSocket::UnconnectedState; });
        };
        for (auto &socket : silent)
            (socket = std::make_unique<QTcpSocket>())->connectToHost(QHostAddress::LocalHost, listener.Port());
        QTRY_VERIFY_WITH_TIMEOUT(dropped() >= 92, 20000);

        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, listener.Port());
        QTRY_VERIFY_WITH_TIMEOUT(client.bytesAvailable() > 0, 20000);
        client.write("x");
        QTRY_COMPARE_WITH_TIMEOUT(keys.count(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(dropped(), 100, 20000);
    }

    void telnetNegotiationIsNoKey_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<bool>("key");
        QTest::newRow("sub-negotiation with data") << QByteArray("\xFF\xFA\x18\x00xterm\xFF\xF0", 11) << QByteArray() << false;
        QTest::newRow("command split over two reads") << QByteArray("\xFF") << QByteArray("\xFD\x01") << false;
        QTest::newRow("key after negotiation") << QByteArray("\xFF\xFD\x01") << QByteArray("y") << true;
        QTest::newRow("escaped 255") << QByteArray("\xFF\xFF") << QByteArray() << true;
    }

    void telnetNegotiationIsNoKey()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(bool, key);
        auto state = NetworkTestListener::TelnetState::Data;
        const bool inFirst = NetworkTestListener::ContainsKey(first, state);
        QCOMPARE(inFirst || NetworkTestListener::ContainsKey(second, state), key);
    }
};

QTEST_GUILESS_MAIN(TestSimulatedEngine)
#include "tst_SimulatedEngine.moc"
