#include "enginehost/ClientListener.h"

#include "enginehost/ClientConnections.h"
#include "protocol/modProtocol.h"

int ClientListener::defaultHelloMs()
{
    return modProtocol::HelloSeconds * 1000;
}

ClientListener::ClientListener(ConsoleCertificate::Pair pair, const QString &mode, int helloMs, QObject *parent)
    : ClientChannel(parent)
    , m_fingerprint(pair.fingerprint)
    , m_connections(new ClientConnections(std::move(pair), mode, helloMs))
{
    m_thread.setObjectName(QStringLiteral("listener"));
    m_connections->moveToThread(&m_thread);
    connect(m_connections, &ClientConnections::eventsReady, this, &ClientListener::deliver, Qt::QueuedConnection);
    m_thread.start();
}

ClientListener::~ClientListener()
{
    ClientConnections *connections = m_connections;
    QMetaObject::invokeMethod(
        connections, [connections] { delete connections; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

bool ClientListener::listen(const QString &address, quint16 port, int &errorNumber, QString &problem)
{
    bool listening = false;
    QMetaObject::invokeMethod(
        m_connections, [&] { listening = m_connections->listen(address, port, errorNumber, problem); }, Qt::BlockingQueuedConnection);
    return listening;
}

QString ClientListener::admit(const QString &computer)
{
    QString token;
    QMetaObject::invokeMethod(
        m_connections, [&] { token = m_connections->admit(computer); }, Qt::BlockingQueuedConnection);
    return token;
}

quint16 ClientListener::port() const
{
    quint16 port = 0;
    QMetaObject::invokeMethod(
        m_connections, [&] { port = m_connections->port(); }, Qt::BlockingQueuedConnection);
    return port;
}

void ClientListener::cancel(const QString &computer)
{
    QMetaObject::invokeMethod(m_connections, [this, computer] { m_connections->send(computer, modProtocol::Kind::Cancel); });
}

void ClientListener::abort(const QString &computer)
{
    QMetaObject::invokeMethod(m_connections, [this, computer] { m_connections->send(computer, modProtocol::Kind::Abort); });
}

void ClientListener::end(const QString &computer)
{
    QMetaObject::invokeMethod(m_connections, [this, computer] { m_connections->end(computer); });
}

void ClientListener::deliver()
{
    for (const ClientEvent &event : m_connections->takeEvents()) {
        switch (event.type) {
        case ClientEvent::Type::Status:
            Q_EMIT status(event.computer, event.text);
            break;
        case ClientEvent::Type::Finding:
            Q_EMIT finding(event.computer, event.number, event.text);
            break;
        case ClientEvent::Type::KeepAlive:
            Q_EMIT keepAlive(event.computer, event.number);
            break;
        case ClientEvent::Type::Gone:
            Q_EMIT gone(event.computer);
            break;
        case ClientEvent::Type::Log:
            Q_EMIT logLine(event.text);
            break;
        }
    }
}
