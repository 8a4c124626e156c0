#include "shell/ConsoleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

ConsoleInstance::ConsoleInstance(std::unique_ptr<QLockFile> lock, const QString &serverName, QObject *parent)
    : QObject(parent)
    , m_lock(std::move(lock))
    , m_server(new QLocalServer(this))
{
    // Whoever holds the lock owns the name: what is there is left over from
    // a console that crashed.
    QLocalServer::removeServer(serverName);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Without the server the console still runs; a second start then only
    // ends without bringing it to the front.
    m_server->listen(serverName);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        // The connection itself is the request; nothing is read from it.
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            socket->disconnectFromServer();
            socket->deleteLater();
            Q_EMIT showRequested();
        }
    });
}

ConsoleInstance::~ConsoleInstance() = default;

bool ConsoleInstance::RequestShow(const QString &serverName)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    // The system completes the connection on the listening socket alone, so
    // a busy console does not keep the second start waiting; the limit only
    // covers a system that is itself stuck.
    if (!socket.waitForConnected(2000))
        return false;
    socket.disconnectFromServer();
    return true;
}
