#pragma once

#include "common/ConsoleCertificate.h"
#include "enginehost/TokenBook.h"
#include "protocol/modProtocol.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <mutex>

class QSslServer;
class QSslSocket;

// What the listener heard, on its way to the run's thread.
struct ClientEvent
{
    enum class Type : quint8 { Status, Finding, KeepAlive, Gone, Log };
    Type type = Type::Status;
    QString computer;
    QString text; // the status code, the finding's text, the log line
    int number = 0; // the finding's code, the keep-alive's seconds
};

// The client connections of a run, on the listener's own thread: the TLS
// server, each connection's frames, the tokens. Everything it hears is
// queued for the run's thread and announced once per batch (eventsReady),
// so that ten thousand clients reporting together cost the run one wake-up
// per event-loop turn, not one per report.
//
// A connection must finish its handshake and say a valid Hello (this
// protocol version, a computer of this run and that computer's token)
// within the hello time; anything it says that is not the protocol, too
// large, or not its to say drops it, with a log line naming the peer.
//
// A client that said it reboots closes its link without Bye and comes back
// with the same token; the log tells that return from the reconnect after a
// broken link, which it also accepts.
class ClientConnections final : public QObject
{
    Q_OBJECT

public:
    ClientConnections(ConsoleCertificate::Pair pair, QString mode, int helloMs);
    ~ClientConnections() override;

    // Called on the listener's thread.
    bool listen(const QString &address, quint16 port, int &errorNumber, QString &problem);
    quint16 port() const;
    QString admit(const QString &computer);
    void send(const QString &computer, modProtocol::Kind kind);
    void end(const QString &computer);

    // Called on any thread.
    QList<ClientEvent> takeEvents();

Q_SIGNALS:
    // Events were queued in the turn of the listener's loop that just ended.
    void eventsReady();

private:
    struct Peer
    {
        modProtocol::FrameReader reader;
        QString computer; // set by a valid Hello
    };

    void accept();
    void read(QSslSocket *socket);
    bool handle(QSslSocket *socket, Peer &peer, const modProtocol::Frame &frame);
    bool hello(QSslSocket *socket, Peer &peer, const modProtocol::Frame &frame);
    void say(QSslSocket *socket, modProtocol::Kind kind, std::vector<std::string> fields = {});
    void sayEnded(QSslSocket *socket);
    void drop(QSslSocket *socket, const QString &why);
    void closed(QSslSocket *socket);
    void post(ClientEvent::Type type, const QString &computer, const QString &text = QString(), int number = 0);
    QString peerName(QSslSocket *socket) const;

    ConsoleCertificate::Pair m_pair;
    QString m_mode;
    int m_helloMs;
    QSslServer *m_server = nullptr;
    TokenBook m_tokens;
    QHash<QString, QString> m_names; // lower case -> as admitted
    QHash<QString, QSslSocket *> m_current; // lower case -> its connection
    QSet<QString> m_ended; // lower case
    // Said it reboots (finding 1303) and has not come back since; lower case.
    QSet<QString> m_rebooting;
    // Back from their reboot: their token has done its last service.
    QSet<QString> m_resumed;
    QHash<QSslSocket *, Peer> m_peers;

    std::mutex m_eventsLock;
    QList<ClientEvent> m_events;
    bool m_announcing = false; // an eventsReady is on its way; the listener's thread only
};
