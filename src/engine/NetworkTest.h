#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QObject;
class QXEInterface;

// The network test's start and stop command without a window: its checks,
// its question, the instructions it writes and the engine's calls, in their
// order. The engine listens on the listener address and port; a client that
// connects with telnet arrives as the engine's TestReceived. The test is a
// state of RunState, which the window follows; what only the window can do
// comes in as hooks.
class NetworkTest
{
public:
    struct Hooks
    {
        std::function<void()> ClearLog;
        std::function<void(const QString &)> SetCaption;
        std::function<void(const QString &)> AppendLine;
        // The window the questions belong to.
        QObject *Owner = nullptr;
    };

    static const QString Caption; // "Network Test"

    NetworkTest(QXEInterface &engine, Hooks hooks);

    // Starts a test, or ends the one that runs.
    void Toggle();

    // The lines written into the progress log; an empty console address
    // leaves its paragraph out.
    static QStringList Instructions(const QString &listenerIP, const QString &port, const QString &consoleIP);

private:
    bool confirm(const QString &listenerIP, const QString &port, const QString &consoleIP);

    QXEInterface &m_engine;
    Hooks m_hooks;
};
