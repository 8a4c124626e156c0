#include "enginehost/ClientConnections.h"

#include "enginehost/modClientText.h"
#include "protocol/modFindings.h"

#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>

#include <charconv>

using modProtocol::Kind;

namespace {

// Enough for two whole frames: more is left in the kernel until the frames are taken.
constexpr qint64 kReadBufferBytes = 2 * qint64(modProtocol::MaxFrameBytes) + 8;
// A client asks for the time of its next step; a day is more than any step takes.
constexpr int kMaxKeepAliveSeconds = 24 * 3600;
// Clients connect in crowds when a run starts: the kernel holds this many
// until they are accepted (it cuts the number to net.core.somaxconn)...
constexpr int kListenBacklog = 4096;
// ... and this many are accepted and in their handshake at a time, about a
// second of handshakes: each has the hello time from its accept, and ten
// thousand accepted at once would mostly run out of it before their turn.
constexpr int kMaxHandshakes = 512;

bool toInt(const std::string &text, int &value)
{
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

QString quoted(const std::string &text)
{
    return QLatin1Char('"') + modClientText::Clean(text) + QLatin1Char('"');
}

} // namespace

ClientConnections::ClientConnections(ConsoleCertificate::Pair pair, QString mode, int helloMs)
    : m_pair(std::move(pair))
    , m_mode(std::move(mode))
    , m_helloMs(helloMs)
{ }

ClientConnections::~ClientConnections() = default;

bool ClientConnections::listen(const QString &address, quint16 port, int &errorNumber, QString &problem)
{
    const QHostAddress host(address);
    if (host.isNull() || host.protocol() != QAbstractSocket::IPv4Protocol) {
        errorNumber = 1028;
        problem = QStringLiteral("\"%1\" is not an IPv4 address.").arg(address);
        return false;
    }
    QSslConfiguration configuration;
    configuration.setLocalCertificate(QSslCertificate(m_pair.certificate, QSsl::Pem));
    configuration.setPrivateKey(QSslKey(m_pair.key, QSsl::Ec, QSsl::Pem));
    configuration.setProtocol(QSsl::TlsV1_3OrLater);
    // Clients authenticate with their token, not with certificates of their own.
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    if (configuration.localCertificate().isNull() || configuration.privateKey().isNull()) {
        errorNumber = 1027;
        problem = QStringLiteral("the console certificate or its key cannot be read.");
        return false;
    }
    delete m_server;
    m_server = new QSslServer(this);
    m_server->setSslConfiguration(configuration);
    m_server->setHandshakeTimeout(m_helloMs);
    m_server->setMaxPendingConnections(kMaxHandshakes);
    // Qt's backlog of 50 overflows when a crowd connects: the kernel drops
    // the rest, and each waits a second or more for its SYN to be resent.
    m_server->setListenBacklogSize(kListenBacklog);
    connect(m_server, &QSslServer::pendingConnectionAvailable, this, &ClientConnections::accept);
    connect(m_server, &QSslServer::errorOccurred, this, [this](QSslSocket *socket, QAbstractSocket::SocketError error) {
        // The server's own handshake timer gives no reason of its own.
        const QString why = error == QAbstractSocket::UnknownSocketError || error == QAbstractSocket::SocketTimeoutError
            ? QStringLiteral("no TLS handshake within %1 ms").arg(m_helloMs)
            : socket->errorString();
        // A socket that failed has often forgotten its peer by now.
        const QString peer = socket->peerAddress().isNull() ? QStringLiteral("a client") : peerName(socket);
        post(ClientEvent::Type::Log, QString(), QStringLiteral("Listener: the connection from %1 failed before its Hello: %2").arg(peer, why));
    });
    if (!m_server->listen(host, port)) {
        errorNumber = m_server->serverError() == QAbstractSocket::SocketAddressNotAvailableError ? 1028 : 1027;
        problem = m_server->errorString();
        return false;
    }
    return true;
}

quint16 ClientConnections::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

QString ClientConnections::admit(const QString &computer)
{
    const QString key = computer.toLower();
    m_names.insert(key, computer);
    m_ended.remove(key);
    m_rebooting.remove(key);
    m_resumed.remove(key);
    return m_tokens.create(computer);
}

void ClientConnections::send(const QString &computer, Kind kind)
{
    if (QSslSocket *socket = m_current.value(computer.toLower()))
        say(socket, kind);
}

void ClientConnections::end(const QString &computer)
{
    const QString key = computer.toLower();
    m_ended.insert(key);
    if (QSslSocket *socket = m_current.value(key))
        sayEnded(socket);
}

QList<ClientEvent> ClientConnections::takeEvents()
{
    const std::lock_guard<std::mutex> lock(m_eventsLock);
    return std::exchange(m_events, {});
}

void ClientConnections::post(ClientEvent::Type type, const QString &computer, const QString &text, int number)
{
    {
        const std::lock_guard<std::mutex> lock(m_eventsLock);
        m_events.append({type, computer, text, number});
    }
    // Announced when this turn of the loop has read every socket that was
    // ready: announcing the first event at once would wake the run for
    // nearly every report whenever it keeps up.
    if (!m_announcing) {
        m_announcing = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_announcing = false;
                Q_EMIT eventsReady();
            },
            Qt::QueuedConnection);
    }
}

QString ClientConnections::peerName(QSslSocket *socket) const
{
    return socket->peerAddress().toString() + QLatin1Char(':') + QString::number(socket->peerPort());
}

void ClientConnections::accept()
{
    while (m_server->hasPendingConnections()) {
        auto *socket = qobject_cast<QSslSocket *>(m_server->nextPendingConnection());
        if (!socket)
            continue;
        socket->setReadBufferSize(kReadBufferBytes);
        m_peers.insert(socket, Peer());
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QSslSocket::disconnected, this, [this, socket] { closed(socket); });
        // The handshake had its time in the server; the Hello gets the same again.
        QTimer::singleShot(m_helloMs, socket, [this, socket] {
            if (m_peers.contains(socket) && m_peers.value(socket).computer.isEmpty())
                drop(socket, QStringLiteral("no Hello within %1 ms").arg(m_helloMs));
        });
        read(socket);
    }
}

void ClientConnections::read(QSslSocket *socket)
{
    char chunk[16384];
    while (m_peers.contains(socket) && socket->bytesAvailable() > 0) {
        const qint64 got = socket->read(chunk, sizeof chunk);
        if (got <= 0)
            return;
        Peer &peer = m_peers[socket];
        peer.reader.append(chunk, std::size_t(got));
        for (;;) {
            modProtocol::Frame frame;
            const modProtocol::FrameReader::Result result = m_peers[socket].reader.next(frame);
            if (result == modProtocol::FrameReader::Result::NeedMore)
                break;
            if (result == modProtocol::FrameReader::Result::TooLarge)
                return drop(socket, QStringLiteral("a frame over %1 bytes").arg(modProtocol::MaxFrameBytes));
            if (result == modProtocol::FrameReader::Result::Malformed)
                return drop(socket, QStringLiteral("a malformed frame"));
            if (!handle(socket, m_peers[socket], frame))
                return;
        }
    }
}

bool ClientConnections::handle(QSslSocket *socket, Peer &peer, const modProtocol::Frame &frame)
{
    if (peer.computer.isEmpty())
        return hello(socket, peer, frame);
    int number = 0;
    switch (frame.kind) {
    case Kind::Status:
        if (!modProtocol::IsStatusCode(frame.fields[0])) {
            drop(socket, QStringLiteral("the unknown status code ") + quoted(frame.fields[0]));
            return false;
        }
        post(ClientEvent::Type::Status, peer.computer, QString::fromStdString(frame.fields[0]));
        return true;
    case Kind::Finding:
        if (!toInt(frame.fields[0], number) || !modFindings::IsClientCode(number)) {
            drop(socket, QStringLiteral("the finding code ") + quoted(frame.fields[0]) + QStringLiteral(", not one a client reports"));
            return false;
        }
        if (number == modFindings::Rebooting)
            m_rebooting.insert(peer.computer.toLower());
        post(ClientEvent::Type::Finding, peer.computer, modClientText::Clean(frame.fields[1]), number);
        return true;
    case Kind::KeepAlive:
        if (!toInt(frame.fields[0], number) || number < 0 || number > kMaxKeepAliveSeconds) {
            drop(socket, QStringLiteral("a keep-alive of ") + quoted(frame.fields[0]) + QStringLiteral(" seconds"));
            return false;
        }
        post(ClientEvent::Type::KeepAlive, peer.computer, QString(), number);
        return true;
    case Kind::Bye:
        sayEnded(socket);
        return false;
    case Kind::Hello:
        // A connection speaks for one computer, the one its first Hello proved.
        drop(socket, QStringLiteral("a second Hello, for ") + quoted(frame.fields[1]));
        return false;
    default:
        drop(socket, QStringLiteral("a frame that only the console sends"));
        return false;
    }
}

bool ClientConnections::hello(QSslSocket *socket, Peer &peer, const modProtocol::Frame &frame)
{
    if (frame.kind != Kind::Hello) {
        drop(socket, QStringLiteral("a frame before its Hello"));
        return false;
    }
    int version = 0;
    if (!toInt(frame.fields[0], version) || version != modProtocol::Version) {
        drop(socket, QStringLiteral("protocol version %1, not %2").arg(quoted(frame.fields[0])).arg(modProtocol::Version));
        return false;
    }
    const QString computer = QString::fromStdString(frame.fields[1]);
    const QString key = computer.toLower();
    // One answer for an unknown computer and a wrong token, so a guesser learns neither.
    if (!m_tokens.check(computer, QString::fromStdString(frame.fields[2]))) {
        drop(socket, QStringLiteral("no valid token of this run for ") + quoted(frame.fields[1]));
        return false;
    }
    if (m_ended.contains(key)) {
        post(ClientEvent::Type::Log, QString(),
            QStringLiteral("Listener: %1 (%2) came back after its end and was told so").arg(m_names.value(key), peerName(socket)));
        sayEnded(socket);
        return false;
    }
    // A token that brought its client back from a reboot is spent: the
    // client resumes once, and a copy of the token taken from its disk
    // while it was down opens nothing afterwards.
    if (m_resumed.contains(key)) {
        drop(socket, QStringLiteral("the token of ") + quoted(frame.fields[1]) + QStringLiteral(", spent when it came back from its reboot"));
        return false;
    }
    // The token proves it is the same client: one whose link broke and came
    // back has a dead connection that TCP may not notice for many minutes.
    const bool rebooted = m_rebooting.remove(key);
    if (rebooted)
        m_resumed.insert(key);
    if (QSslSocket *earlier = m_current.value(key)) {
        m_peers.remove(earlier);
        earlier->abort();
        earlier->deleteLater();
        if (!rebooted)
            post(ClientEvent::Type::Log, QString(),
                QStringLiteral("Listener: %1 reconnected from %2").arg(m_names.value(key), peerName(socket)));
    }
    if (rebooted)
        post(ClientEvent::Type::Log, QString(),
            QStringLiteral("Listener: %1 reconnected after its reboot, from %2").arg(m_names.value(key), peerName(socket)));
    peer.computer = m_names.value(key);
    m_current.insert(key, socket);
    say(socket, Kind::Welcome, {std::to_string(modProtocol::Version), m_mode.toStdString()});
    return true;
}

void ClientConnections::say(QSslSocket *socket, Kind kind, std::vector<std::string> fields)
{
    socket->write(QByteArray::fromStdString(modProtocol::Encode({kind, std::move(fields)})));
}

void ClientConnections::sayEnded(QSslSocket *socket)
{
    say(socket, Kind::Ended);
    // Whatever it sends from now on is not read; the Ended still leaves.
    socket->disconnect(this);
    connect(socket, &QSslSocket::disconnected, this, [this, socket] { closed(socket); });
    socket->disconnectFromHost();
}

void ClientConnections::drop(QSslSocket *socket, const QString &why)
{
    const Peer peer = m_peers.value(socket);
    post(ClientEvent::Type::Log, QString(),
        QStringLiteral("Listener: dropped the connection from %1%2: %3")
            .arg(peerName(socket), peer.computer.isEmpty() ? QString() : QStringLiteral(" (") + peer.computer + QLatin1Char(')'), why));
    closed(socket);
    socket->abort();
}

void ClientConnections::closed(QSslSocket *socket)
{
    const auto found = m_peers.constFind(socket);
    if (found == m_peers.constEnd())
        return;
    const QString computer = found->computer;
    m_peers.erase(found);
    socket->deleteLater();
    if (!computer.isEmpty() && m_current.value(computer.toLower()) == socket) {
        m_current.remove(computer.toLower());
        post(ClientEvent::Type::Gone, computer);
    }
}
