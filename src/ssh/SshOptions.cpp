#include "ssh/SshOptions.h"

#include "ssh/ConsoleKey.h"
#include "ssh/KnownHosts.h"

#include <QCryptographicHash>

QList<SshOptions::Option> SshOptions::table(const QString &name) const
{
    // %C alone hashes the address, port and user ssh ends up with, so two
    // names of one server would share a connection, and the second would
    // never have its own host key checked. The name's hash keeps them apart
    // in a path short enough for a socket.
    const QString tag = name.isEmpty()
        ? QStringLiteral("<hash of the name>")
        : QString::fromLatin1(QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
    const QString yes = QStringLiteral("yes");
    const QString no = QStringLiteral("no");
    return {
        {QStringLiteral("BatchMode"), yes, QStringLiteral("never a prompt for a password or passphrase: it would stall a transferor")},
        {QStringLiteral("ConnectTimeout"), QString::number(connectTimeout), QStringLiteral("an unreachable computer fails in seconds")},
        {QStringLiteral("ServerAliveInterval"), QString::number(aliveInterval), QStringLiteral("a silent link is noticed")},
        {QStringLiteral("ServerAliveCountMax"), QString::number(aliveCountMax),
            QStringLiteral("and dropped after this many unanswered checks")},
        {QStringLiteral("IdentitiesOnly"), yes, QStringLiteral("only the console's key is offered")},
        {QStringLiteral("IdentityFile"), keyFile, QStringLiteral("the console's key pair (vo engine key)")},
        {QStringLiteral("StrictHostKeyChecking"), yes, QStringLiteral("an unknown or changed host key is refused, never learnt")},
        {QStringLiteral("UserKnownHostsFile"), knownHostsFile, QStringLiteral("the host keys trusted with vo engine trust")},
        {QStringLiteral("GlobalKnownHostsFile"), QStringLiteral("/dev/null"), QStringLiteral("no other list of keys counts")},
        {QStringLiteral("UpdateHostKeys"), no, QStringLiteral("a server cannot add keys to the console's list")},
        {QStringLiteral("CheckHostIP"), no, QStringLiteral("keys are kept under the computer's name")},
        {QStringLiteral("HostKeyAlias"), name.isEmpty() ? QStringLiteral("<name>") : name,
            QStringLiteral("its key is looked up under that name, wherever the configuration sends it")},
        {QStringLiteral("ForwardAgent"), no, QStringLiteral("a client never reaches the administrator's agent")},
        {QStringLiteral("ForwardX11"), no, QStringLiteral("nor the display")},
        {QStringLiteral("ClearAllForwardings"), yes, QStringLiteral("nor any port")},
        {QStringLiteral("ControlMaster"), QStringLiteral("auto"), QStringLiteral("copy, start and collect share one login")},
        {QStringLiteral("ControlPath"), controlFolder + QLatin1Char('/') + tag + QStringLiteral("-%C"),
            QStringLiteral("one for each computer, in a private folder")},
        {QStringLiteral("ControlPersist"), QString::number(controlPersist),
            QStringLiteral("seconds the shared login outlives its last use")},
    };
}

QStringList SshOptions::arguments(const QString &name) const
{
    QStringList arguments;
    for (const Option &option : table(name))
        arguments << QStringLiteral("-o") << option.name + QLatin1Char('=') + option.value;
    return arguments;
}

SshOptions SshOptions::console(const QString &controlFolder, const QString &sshConfig)
{
    SshOptions options;
    options.keyFile = ConsoleKey().privateFile();
    options.knownHostsFile = KnownHosts::defaultFile();
    options.controlFolder = controlFolder;
    options.sshConfig = sshConfig;
    return options;
}

SshOptions SshOptions::placeholders()
{
    SshOptions options;
    options.keyFile = QStringLiteral("<data folder>/ssh/console_ed25519");
    options.knownHostsFile = QStringLiteral("<data folder>/ssh/known_hosts");
    options.controlFolder = QStringLiteral("<private folder of the run>");
    return options;
}
