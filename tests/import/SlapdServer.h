#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A real slapd of the test's own on free loopback ports: a small schema
// with computer entries (name in cn, as a directory that is not a Windows
// one has it, and an objectGUID an entry may have as Windows does), a user that is not the directory's root and has a Windows
// directory's size limit of 1000 rows a search (paging may go beyond it),
// and certificates made at start for StartTLS and LDAPS. A second user,
// LimitedUser, may read 1100 entries in all, however it pages.
class SlapdServer
{
public:
    static constexpr const char *Suffix = "dc=corp,dc=example";
    static constexpr const char *User = "importer";
    static constexpr const char *LimitedUser = "limited";
    static constexpr const char *Password = "Secret#1";

    // Without TLS the server has no certificate, refuses StartTLS and
    // listens for LDAPS nowhere.
    explicit SlapdServer(bool tls = true);
    ~SlapdServer();

    // Writes the configuration and certificates, loads the base entries, the
    // user and `computers` (LDIF entries below the suffix) with slapadd, and
    // starts slapd. False with the reason in error().
    bool start(const QByteArray &computers);
    // Starts the same database again after stop() or kill().
    bool restart();
    void stop();
    // SIGKILL: the server goes without a word to its clients.
    void kill();

    int port() const { return m_port; }
    int tlsPort() const { return m_tlsPort; }
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    // A CA that signed nothing the server shows.
    QString otherCaFile() const { return m_dir.filePath(QStringLiteral("other-ca.pem")); }
    QString folder() const { return m_dir.path(); }
    QString error() const { return m_error; }

    // A loopback port where nothing listens (at the moment of asking).
    static int freePort();

    // LDIF of an OU path below the suffix, outermost first, with the entries
    // of its units; `made` remembers units already written.
    static QByteArray unitEntries(const QStringList &units, QStringList &made);
    static QByteArray computerEntry(const QString &name, const QStringList &units);

private:
    bool run(const QString &program, const QStringList &arguments);
    bool launch();

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_slapd;
    int m_port = 0;
    int m_tlsPort = 0;
    QString m_error;
    bool m_tls;
};
