#pragma once

#include "ssh/SshOptions.h"

#include <QString>
#include <QStringList>

// The command lines of the console's ssh and scp calls to one computer, and
// what ssh makes of a computer's name.
//
// Every call reads a configuration of our own that includes the
// administrator's (SshConfig, else ~/.ssh/config and /etc/ssh/ssh_config)
// and ends with "Host * / User <login>". ssh keeps the first value it reads,
// so a User that the administrator's configuration gives a computer wins, and
// the job's login is only the default; `-l` would beat the configuration.
class SshClient
{
public:
    struct Target
    {
        QString hostName;
        int port = 22;
        QString user;
    };

    explicit SshClient(SshOptions options);

    const SshOptions &options() const { return m_options; }

    // A computer name or login that can go on an ssh command line and into
    // a known-hosts file as it is: letters, digits, ".", "_", "-", not first
    // a "-".
    static bool isPlainName(const QString &name);

    // Writes the configuration for `login` (empty: ssh's own default user)
    // into the control folder, which is made 0700 when missing. False with
    // the reason in `error`.
    bool prepare(const QString &login, QString &error) const;

    // ssh NAME COMMAND, for a login that prepare() has seen.
    QStringList ssh(const QString &name, const QString &login, const QString &command) const;
    // scp FILES NAME:REMOTE
    QStringList scp(const QString &name, const QString &login, const QStringList &files, const QString &remote) const;
    // Ends the shared connection to the computer, if there is one.
    QStringList stop(const QString &name, const QString &login) const;

    // Where ssh would connect for `name`, and as whom (`ssh -G`).
    bool resolve(const QString &name, const QString &login, Target &target, QString &error) const;

    // The whole environment of a child: ssh needs its home (for ~/.ssh/config),
    // a PATH and the agent when there is one; messages in English, so that
    // modSshFailure can read them.
    static QStringList environment();

    // A word for a remote shell, in single quotes.
    static QString quote(const QString &word);

private:
    QString configFile(const QString &login) const;
    QStringList common(const QString &program, const QString &name, const QString &login) const;

    SshOptions m_options;
};
