#include "engine/NetworkTestListener.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

const QByteArray NetworkTestListener::Greeting = QByteArrayLiteral("\r\nVarno-Osk: communication has been established with the Handler.\r\n"
                                                                   "Press any key to complete the test.\r\n");
const QByteArray NetworkTestListener::Farewell
    = QByteArrayLiteral("\r\nThe network test is complete.  The console reports that it was successful.\r\n");

namespace {

constexpr unsigned char kIac = 255;
constexpr unsigned char kSb = 250;
constexpr unsigned char kSe = 240;
constexpr unsigned char kWill = 251;
constexpr unsigned char kDont = 254;

QString peerName(const QTcpSocket *socket)
{
    return socket->peerAddress().toString() + QLatin1Char(':') + QString::number(socket->peerPort());
}
} // namespace

NetworkTestListener::NetworkTestListener(QObject *parent, PeerPolicy::Limits limits)
    : QObject(parent)
    , m_policy(limits)
    , m_idleCheck(new QTimer(this))
{
    m_idleCheck->setSingleShot(true);
    connect(m_idleCheck, &QTimer::timeout, this, &NetworkTestListener::dropSilentPeers);
    m_clock.start();
}

NetworkTestListener::~NetworkTestListener()
{
    Stop();
}

int NetworkTestListener::Start(const QString &address, quint16 port)
{
    Stop();
    m_errorString.clear();
    const QHostAddress host(address);
    if (host.isNull() || host.protocol() != QAbstractSocket::IPv4Protocol) {
        m_errorString = QStringLiteral("\"%1\" is not an IPv4 address.").arg(address);
        return 1028;
    }
    m_server = new QTcpServer(this);
    if (!m_server->listen(host, port)) {
        const QAbstractSocket::SocketError error = m_server->serverError();
        m_errorString = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return error == QAbstractSocket::SocketAddressNotAvailableError ? 1028 : 1027;
    }
    connect(m_server, &QTcpServer::newConnection, this, &NetworkTestListener::acceptConnections);
    return 0;
}

void NetworkTestListener::Stop()
{
    const QList<QTcpSocket *> sockets = m_peers.keys();
    m_peers.clear();
    m_policy.clear();
    m_idleCheck->stop();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
}

bool NetworkTestListener::IsListening() const
{
    return m_server && m_server->isListening();
}

quint16 NetworkTestListener::Port() const
{
    return IsListening() ? m_server->serverPort() : 0;
}

void NetworkTestListener::acceptConnections()
{
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        if (const auto givesWay = m_policy.admit(PeerPolicy::Peer(socket), m_clock.elapsed()))
            drop(reinterpret_cast<QTcpSocket *>(*givesWay));
        m_peers.insert(socket, TelnetState::Data);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        socket->write(Greeting);
        Q_EMIT Connected(peerName(socket));
    }
    scheduleIdleCheck();
}

void NetworkTestListener::readFrom(QTcpSocket *socket)
{
    auto it = m_peers.find(socket);
    if (it == m_peers.end())
        return;
    TelnetState state = it.value();
    m_policy.heard(PeerPolicy::Peer(socket), m_clock.elapsed());
    const bool keyPressed = ContainsKey(socket->readAll(), state);
    it.value() = state;
    if (!keyPressed)
        return;

    const QString peer = peerName(socket);
    m_peers.erase(it);
    m_policy.forget(PeerPolicy::Peer(socket));
    socket->disconnect(this);
    socket->write(Farewell);
    socket->disconnectFromHost();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
    Q_EMIT KeyReceived(peer);
}

bool NetworkTestListener::ContainsKey(const QByteArray &bytes, TelnetState &state)
{
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        switch (state) {
        case TelnetState::Data:
            if (b != kIac)
                return true;
            state = TelnetState::Command;
            break;
        case TelnetState::Command:
            if (b == kIac) {
                state = TelnetState::Data;
                return true; // an escaped 255 is a real character
            }
            if (b == kSb)
                state = TelnetState::SubNegotiation;
            else if (b >= kWill && b <= kDont)
                state = TelnetState::Option;
            else
                state = TelnetState::Data;
            break;
        case TelnetState::Option:
            state = TelnetState::Data;
            break;
        case TelnetState::SubNegotiation:
            if (b == kIac)
                state = TelnetState::SubNegotiationCommand;
            break;
        case TelnetState::SubNegotiationCommand:
            state = b == kSe ? TelnetState::Data : TelnetState::SubNegotiation;
            break;
        }
    }
    return false;
}

void NetworkTestListener::drop(QTcpSocket *socket)
{
    m_policy.forget(PeerPolicy::Peer(socket));
    if (!m_peers.remove(socket))
        return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void NetworkTestListener::dropSilentPeers()
{
    for (const PeerPolicy::Peer peer : m_policy.expired(m_clock.elapsed()))
        drop(reinterpret_cast<QTcpSocket *>(peer));
    scheduleIdleCheck();
}

void NetworkTestListener::scheduleIdleCheck()
{
    if (const std::optional<qint64> due = m_policy.nextExpiry(m_clock.elapsed()))
        m_idleCheck->start(int(*due));
    else
        m_idleCheck->stop();
}
