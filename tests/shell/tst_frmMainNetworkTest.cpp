#include "MainWindowFixture.h"

#include "engine/NetworkTest.h"
#include "shell/forms/RunControlPane.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

// The network test in the main window through the simulated engine's real
// listener on 127.0.0.1.
class TestMainWindowNetworkTest : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;
    std::unique_ptr<frmMain> m_window;
    quint16 m_port = 0;

    QPushButton *button(const char *name) const { return MainWindowFixture::runButton(*m_window, name); }
    QStringList log() const { return m_window->runControl()->log()->toPlainText().split(QLatin1Char('\n')); }
    bool visible(const char *name) const { return MainWindowFixture::visible(*m_window, name); }
    bool start(Presenter::Answer answer = Presenter::Yes)
    {
        f.presenter->setNextAnswer(answer);
        return f.trigger(*m_window, QStringLiteral("mnuNetworkTestStart"));
    }
    QString telnet(const char *address) const { return QStringLiteral("   telnet %1 %2").arg(QLatin1String(address)).arg(m_port); }
    void running() const
    {
        QCOMPARE(RunState::instance().state(), RunState::State::NetworkTest);
        QVERIFY(visible("mnuNetworkTestStop") && !visible("mnuNetworkTestStart"));
    }
    void editing() const { MainWindowFixture::editingAfter(*m_window, "mnuNetworkTestStart", "mnuNetworkTestStop"); }

private Q_SLOTS:
    void init()
    {
        f.init();
        f.addresses.setAddresses({QStringLiteral("127.0.0.1")});
        // A port free a moment ago; the engine listens on it.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        m_port = probe.serverPort();
        probe.close();
        QVERIFY(modRegistry::SaveSettingString(MainWindowFixture::AppKey, QStringLiteral("ListenerPort"), QString::number(m_port)));
        // The window drives the engine program then, and the console listens itself.
        if (QTest::currentDataTag() == QLatin1String("ssh engine"))
            QVERIFY(modRegistry::SaveSettingString(MainWindowFixture::AppKey, QStringLiteral("Engine"), QStringLiteral("ssh")));
        m_window = std::make_unique<frmMain>();
    }
    void cleanup()
    {
        m_window.reset();
        f.cleanup();
    }

    void aClientConnects_data()
    {
        QTest::addColumn<bool>("unused");
        QTest::newRow("simulated engine") << false;
        QTest::newRow("ssh engine") << true;
    }
    // A client connects and presses a key; Done ends the test.
    void aClientConnects()
    {
        QVERIFY(start());
        QVERIFY(!f.presenter->last().text.contains(QStringLiteral("Console IP")));
        QCOMPARE(f.presenter->last().caption, NetworkTest::Caption);
        running();
        QVERIFY(log().contains(telnet("127.0.0.1")));
        QVERIFY(!log().join(QLatin1Char('\n')).contains(QStringLiteral("Console IP, type")));

        QTcpSocket client;
        QByteArray heard;
        connect(&client, &QTcpSocket::readyRead, this, [&] { heard += client.readAll(); });
        client.connectToHost(QStringLiteral("127.0.0.1"), m_port);
        QTRY_VERIFY_WITH_TIMEOUT(heard.contains("Press any key"), 20000);
        client.write("x");
        QTRY_VERIFY_WITH_TIMEOUT(button("cmdDone")->isEnabled(), 20000);
        QCOMPARE(f.presenter->last().icon, Presenter::Icon::Information);
        QVERIFY(log().contains(f.presenter->last().text));

        QTest::mouseClick(button("cmdDone"), Qt::LeftButton);
        editing();
        // The engine's closing line came while the test still ran: no
        // complaint about a progress line out of a run.
        for (const Presenter::Message &message : f.presenter->messages())
            QVERIFY2(message.icon != Presenter::Icon::Critical, qPrintable(message.text));
        QTcpSocket late;
        late.connectToHost(QStringLiteral("127.0.0.1"), m_port);
        QVERIFY(!late.waitForConnected(5000) || late.waitForDisconnected(5000));
    }

    // With a console address the question and the instructions name it too;
    // the Cancel button stops the test.
    void withAConsoleAddress()
    {
        QVERIFY(modRegistry::SaveSettingString(MainWindowFixture::AppKey, QStringLiteral("ConsoleIP"), QStringLiteral("10.1.1.1")));
        QVERIFY(start());
        QVERIFY(f.presenter->last().text.contains(QStringLiteral("Console IP: 10.1.1.1")));
        QVERIFY(log().indexOf(telnet("10.1.1.1")) < log().indexOf(telnet("127.0.0.1")));
        QVERIFY(log().indexOf(telnet("10.1.1.1")) > 0);
        QTest::mouseClick(button("cmdCancel"), Qt::LeftButton);
        editing();
    }

    // Refused before the question, answered No, or an engine that cannot
    // listen: its message, and nothing runs.
    void endsWithoutRunning_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("address");
        QTest::addColumn<int>("answer"); // -1: refused before the question
        QTest::addColumn<QString>("message"); // a refusal's; "Critical" for an error after the start
        QTest::newRow("port not a number") << "79x" << true << -1 << "Invalid Listener Port specified.  Test cannot proceed ";
        QTest::newRow("no address") << "" << false << -1 << "Listener IP address not found.  Test cannot proceed.";
        QTest::newRow("answered No") << "" << true << int(Presenter::No) << "";
        QTest::newRow("port taken") << "taken" << true << int(Presenter::Yes) << "Critical";
    }
    void endsWithoutRunning()
    {
        QFETCH(QString, port);
        QFETCH(bool, address);
        QFETCH(int, answer);
        QFETCH(QString, message);
        QTcpServer taken;
        if (port == QLatin1String("taken"))
            QVERIFY(taken.listen(QHostAddress::LocalHost, m_port));
        else if (!port.isEmpty())
            QVERIFY(modRegistry::SaveSettingString(MainWindowFixture::AppKey, QStringLiteral("ListenerPort"), port));
        if (!address)
            f.addresses.setAddresses({});
        if (answer >= 0)
            f.presenter->setNextAnswer(Presenter::Answer(answer));
        QVERIFY(f.trigger(*m_window, QStringLiteral("mnuNetworkTestStart")));
        if (answer < 0)
            QVERIFY(f.presenter->count() == 1 && f.presenter->last().text == message);
        QCOMPARE(f.presenter->last().icon == Presenter::Icon::Critical, message == QLatin1String("Critical"));
        editing();
    }
};

QTEST_MAIN(TestMainWindowNetworkTest)
#include "tst_frmMainNetworkTest.moc"
