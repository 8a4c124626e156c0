#include "engine/NetworkTest.h"

#include "common/ConsoleConfig.h"
#include "common/Presenter.h"
#include "common/RunState.h"
#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "common/modRegistry.h"
#include "engine/QXEHandler.h"
#include "engine/QXEInterface.h"

#include <utility>

const QString NetworkTest::Caption = QStringLiteral("Network Test");

namespace {

const QString CR = QStringLiteral("\r");

QString telnetLine(const QString &address, const QString &port)
{
    return QStringLiteral("   telnet ") + address + QLatin1Char(' ') + port;
}

} // namespace

NetworkTest::NetworkTest(QXEInterface &engine, Hooks hooks)
    : m_engine(engine)
    , m_hooks(std::move(hooks))
{ }

void NetworkTest::Toggle()
{
    RunState &state = RunState::instance();
    const bool stop = state.isEnabled(RunState::Command::NetworkTestStop);
    // Neither: another run owns the progress log.
    if (!stop && !state.isEnabled(RunState::Command::NetworkTestStart))
        return;
    m_hooks.ClearLog();
    const QString listenerIP = m_engine.ListenerAddress();
    const ConsoleConfig config;
    QString port;
    const long opened = config.ReadAsStored(ConsoleConfig::ListenerPort, port);
    if (opened != Reg::Success) {
        modErrorHandler::ShowMessage(
            modErrorHandler::Error, QStringLiteral("Unable to open registry. (") + QString::number(opened) + QLatin1Char(')'));
        return;
    }

    if (stop) {
        // The engine's own line about the end arrives while the test still runs.
        m_engine.NetworkTestEnd();
        state.backToEditing();
        return;
    }

    m_hooks.SetCaption(QStringLiteral("Network test in progress..."));
    if (listenerIP.isEmpty()) {
        modErrorHandler::ShowMessage(modErrorHandler::Warning, QStringLiteral("Listener IP address not found.  Test cannot proceed."));
        return;
    }
    if (!modFormat::IsNumeric(port)) {
        modErrorHandler::ShowMessage(modErrorHandler::Warning, QStringLiteral("Invalid Listener Port specified.  Test cannot proceed "));
        return;
    }
    const QString consoleIP = config.Text(ConsoleConfig::ConsoleIP);
    if (!confirm(listenerIP, port, consoleIP))
        return;

    state.startNetworkTest();
    for (const QString &line : Instructions(listenerIP, port, consoleIP))
        m_hooks.AppendLine(line);
    // An engine that cannot listen reports an error, which ends the test again.
    m_engine.NetworkTestStart(QXEHandler::PackAddress(listenerIP), port.toInt());
}

bool NetworkTest::confirm(const QString &listenerIP, const QString &port, const QString &consoleIP)
{
    QString text = QStringLiteral("You are about to run a network test using the following parameters:") + CR + CR
        + QStringLiteral("Listener IP: ") + listenerIP + CR + QStringLiteral("Listener Port: ") + port + CR;
    if (!consoleIP.isEmpty())
        text += QStringLiteral("Console IP: ") + consoleIP + CR;
    text += CR + QStringLiteral("Do you wish to proceed?");
    Presenter::Message box;
    box.owner = m_hooks.Owner;
    box.caption = Caption;
    box.icon = Presenter::Icon::Question;
    box.buttons = Presenter::Buttons::YesNo;
    box.text = text;
    return Presenter::current().showMessage(box) == Presenter::Yes;
}

QStringList NetworkTest::Instructions(const QString &listenerIP, const QString &port, const QString &consoleIP)
{
    QStringList lines {QStringLiteral("RUNNING A NETWORK TEST"), QString(),
        QStringLiteral("On the client from which you want to test connectivity open a command-prompt"),
        QStringLiteral("window.  To do this click: Start -> Run... and type: cmd"), QString()};
    if (!consoleIP.isEmpty()) {
        lines << QStringLiteral("To test connectivity to the Console IP, type the following command in the")
              << QStringLiteral("command-prompt window:") << QString() << telnetLine(consoleIP, port) << QString();
    }
    lines << QStringLiteral("To test connectivity to the Listener IP, type the following command in the")
          << QStringLiteral("command-prompt window:") << QString() << telnetLine(listenerIP, port) << QString()
          << QStringLiteral("To change the Listener IP, Console IP, and TCP Listener Port settings cancel")
          << QStringLiteral("the network test and open the configuration dialog (Tools -> Configuration...).") << QString()
          << QStringLiteral("If the console is contacted successfully, you will receive a response in the")
          << QStringLiteral("telnet window stating communication has been established with the Handler")
          << QStringLiteral("and a request to press any key to complete the test. When a key is pressed,")
          << QStringLiteral("the test terminates and a message is displayed on the console stating that")
          << QStringLiteral("the test was successful. Click OK in the message window. To close the test,")
          << QStringLiteral("click the Done button.") << QString()
          << QStringLiteral("If any other response is received, the communication test has failed.") << QString()
          << QStringLiteral("To cancel the test, click Tools -> Stop Network Test in the console menu")
          << QStringLiteral("or click the Cancel button to return the console to normal operation.") << QString();
    return lines;
}
