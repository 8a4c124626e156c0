#pragma once

#include "engine/PeerPolicy.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;
class QTimer;

// The engine's side of the network test: it listens on the listener address
// and port, greets whoever connects (typically telnet on a client), and when
// that peer presses a key reports that the test got through. Peers that
// say nothing give way to new ones (PeerPolicy).
class NetworkTestListener final : public QObject
{
    Q_OBJECT

public:
    static const QByteArray Greeting;
    static const QByteArray Farewell;

    explicit NetworkTestListener(QObject *parent = nullptr, PeerPolicy::Limits limits = {});
    ~NetworkTestListener() override;

    // 0 when listening, else the engine's number: 1028 the address is not
    // this machine's, 1027 anything else (the port taken, no permission).
    // Port 0 lets the system choose; Port() tells which.
    int Start(const QString &address, quint16 port);
    void Stop();

    bool IsListening() const;
    quint16 Port() const;
    QString ErrorString() const { return m_errorString; }

    // Telnet clients may open with option negotiation; those bytes are not
    // the key the person pressed.
    enum class TelnetState : quint8 {
        Data,
        Command,
        Option,
        SubNegotiation,
        SubNegotiationCommand,
    };

    // True when `bytes` hold a key press outside telnet's commands. `state`
    // carries an unfinished command over to the next piece of the stream.
    static bool ContainsKey(const QByteArray &bytes, TelnetState &state);

Q_SIGNALS:
    void Connected(const QString &peer);
    void KeyReceived(const QString &peer);

private:
    void acceptConnections();
    void readFrom(QTcpSocket *socket);
    void drop(QTcpSocket *socket);
    void dropSilentPeers();
    void scheduleIdleCheck();

    QTcpServer *m_server = nullptr;
    QHash<QTcpSocket *, TelnetState> m_peers;
    PeerPolicy m_policy;
    QElapsedTimer m_clock;
    QTimer *m_idleCheck = nullptr;
    QString m_errorString;
};
