#pragma once

#include "ssh/SshClient.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The console's own known-hosts file: the host keys the administrator has
// trusted, each under the computer's name as the console calls it (every ssh
// call names it as HostKeyAlias), so that StrictHostKeyChecking finds it
// wherever the ssh configuration sends that name.
//
// A key is recorded only when the administrator said yes to its fingerprint
// or brought it from a known-hosts file of their own; a key that differs from
// the recorded one is never taken in its place without replace.
class KnownHosts
{
public:
    struct Scan
    {
        QString name;
        QString hostName;
        int port = 22;
        QList<QByteArray> keys; // "TYPE BASE64"
        QStringList fingerprints; // "TYPE SHA256:...", as ssh-keygen -l shows them
    };
    enum class Verdict { New, Known, Changed };

    KnownHosts(QString file, const SshClient &client);

    // <ConsoleKey::defaultFolder()>/known_hosts
    static QString defaultFile();

    // Resolves `name` as ssh would and fetches its host keys. False with the
    // reason (a finding code from modFindings in code()) in error().
    bool scan(const QString &name, Scan &scan);
    // The keys `scan.name` has in the file `from` (a known-hosts file the
    // administrator trusts), under the name or the address ssh connects to,
    // plainly or hashed. False when there are none.
    bool importFrom(const QString &from, const QString &name, Scan &scan);

    Verdict compare(const Scan &scan);
    // Records the keys; a Changed one only when `replace` is set, and then in
    // place of every key the name had.
    bool record(const Scan &scan, bool replace);

    QString error() const { return m_error; }
    int code() const { return m_code; }

private:
    bool load(QList<QByteArray> &lines);
    bool fail(int code, const QString &why);
    static QString fingerprint(const QByteArray &key);

    QString m_file;
    const SshClient &m_client;
    QString m_error;
    int m_code = 0;
};
