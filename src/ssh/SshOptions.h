#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The options every ssh and scp call of the console gets on its command line.
// Given with -o they win over anything an ssh_config says, so that no
// configuration can make a transferor ask for a password, accept an unknown
// host key or log in with some other key.
struct SshOptions
{
    struct Option
    {
        QString name;
        QString value;
        QString why;
    };

    QString keyFile; // the console's private key
    QString knownHostsFile; // the console's own known-hosts file
    QString controlFolder; // private, 0700, short: socket paths end at 108 bytes
    QString sshConfig; // the registry value "SshConfig"; empty: the user's own configuration
    int connectTimeout = 10;
    int aliveInterval = 15;
    int aliveCountMax = 4;
    int controlPersist = 120;

    // The table the guide prints, with this set's values for the computer
    // `name` (empty: placeholders in its place).
    QList<Option> table(const QString &name = {}) const;
    // The same as "-o NAME=VALUE" pairs.
    QStringList arguments(const QString &name) const;
    // The console's own: its key and known-hosts file (ConsoleKey's folder).
    static SshOptions console(const QString &controlFolder, const QString &sshConfig);
    // The values the guide shows in place of paths that differ per user.
    static SshOptions placeholders();
};
