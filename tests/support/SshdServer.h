#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A real sshd of the test's own on 127.0.0.1 and a free port: its own host
// key (made per fixture, new on request), its own authorized_keys, root may
// log in with a key only, and every session it opens has its home in the
// computer's own tree (its client root), never in this machine's folders.
// The client service finds the same tree through ClientTestMode. Its folder carries the test's process id; folders of tests that
// died, and their sshd, are cleared away at the next start. Needs root.
class SshdServer
{
public:
    SshdServer();
    ~SshdServer();

    // Empty when this process may run the server, else why not (for QSKIP).
    static QString unavailable();

    // Before start: the server runs inside network namespace `ns` on
    // `address`, port 22, as a computer of a NamespaceLab.
    void placeIn(const QString &ns, const QString &address)
    {
        m_namespace = ns;
        m_address = address;
    }

    bool start();
    // Stops and starts again on the same port, with a new host key if asked.
    bool restart(bool newHostKey);
    void stop();

    // Lets the key log in (as any user, root included).
    bool authorize(const QByteArray &publicKey);

    int port() const { return m_port; }
    // The computer's own tree: the client service's root, and the home of
    // every login (HOME), so that no two servers share a drop folder and
    // nothing lands in this machine's own homes. Before start, a test in
    // client test mode gives the root ClientTestMode::root(computer).
    void setClientRoot(const QString &root) { m_clientRoot = root; }
    QString clientRoot() const { return m_clientRoot.isEmpty() ? m_dir.filePath(QStringLiteral("client-root")) : m_clientRoot; }
    // sshd's own log, VERBOSE: one "Accepted publickey" line a login.
    QByteArray log() const;
    QString error() const { return m_error; }

    // A loopback port where nothing listens (at the moment of asking).
    static int freePort();

private:
    bool makeHostKey();
    bool launch();
    static void clearLeftovers();

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_sshd;
    int m_port = 0;
    QString m_namespace;
    QString m_clientRoot;
    QString m_address = QStringLiteral("127.0.0.1");
    QString m_error;
};
