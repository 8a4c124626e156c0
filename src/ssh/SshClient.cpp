#include "ssh/SshClient.h"

#include "common/PrivateFolder.h"
#include "ssh/modSshRun.h"

#include <QDir>
#include <QRegularExpression>

SshClient::SshClient(SshOptions options)
    : m_options(std::move(options))
{ }

bool SshClient::isPlainName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9._][A-Za-z0-9._-]{0,252}$"));
    return plain.match(name).hasMatch();
}

QString SshClient::configFile(const QString &login) const
{
    return m_options.controlFolder + QStringLiteral("/config-") + (login.isEmpty() ? QStringLiteral("-") : login);
}

bool SshClient::prepare(const QString &login, QString &error) const
{
    if (!login.isEmpty() && !isPlainName(login)) {
        error = QStringLiteral("The login \"%1\" is not a plain user name.").arg(login);
        return false;
    }
    if (m_options.sshConfig.contains(QLatin1Char('"')) || m_options.sshConfig.contains(QLatin1Char('\n'))) {
        error = QStringLiteral("The ssh configuration file \"%1\" has a name ssh cannot include.").arg(m_options.sshConfig);
        return false;
    }
    QByteArray config;
    const auto include = [&config](const QString &file) { config += "Include \"" + file.toUtf8() + "\"\n"; };
    if (m_options.sshConfig.isEmpty()) {
        include(QDir::homePath() + QStringLiteral("/.ssh/config"));
        include(QStringLiteral("/etc/ssh/ssh_config"));
    } else {
        include(QFileInfo(m_options.sshConfig).absoluteFilePath());
    }
    if (!login.isEmpty())
        config += "Host *\n    User " + login.toUtf8() + "\n";
    PrivateFolder folder;
    if (!folder.Open(m_options.controlFolder) || !folder.Replace(QFileInfo(configFile(login)).fileName(), config)) {
        error = folder.ErrorString();
        return false;
    }
    return true;
}

QStringList SshClient::common(const QString &program, const QString &name, const QString &login) const
{
    return QStringList {program, QStringLiteral("-F"), configFile(login)} + m_options.arguments(name);
}

QStringList SshClient::ssh(const QString &name, const QString &login, const QString &command) const
{
    return common(QStringLiteral("ssh"), name, login) + QStringList {QStringLiteral("--"), name, command};
}

QStringList SshClient::scp(const QString &name, const QString &login, const QStringList &files, const QString &remote) const
{
    return common(QStringLiteral("scp"), name, login) + QStringList {QStringLiteral("-q"), QStringLiteral("--")} + files
        + QStringList {name + QLatin1Char(':') + remote};
}

QStringList SshClient::stop(const QString &name, const QString &login) const
{
    return common(QStringLiteral("ssh"), name, login)
        + QStringList {QStringLiteral("-O"), QStringLiteral("exit"), QStringLiteral("--"), name};
}

bool SshClient::resolve(const QString &name, const QString &login, Target &target, QString &error) const
{
    if (!isPlainName(name)) {
        error = QStringLiteral("\"%1\" is not a computer name ssh can be given.").arg(name);
        return false;
    }
    if (!prepare(login, error))
        return false;
    QStringList argv = common(QStringLiteral("ssh"), name, login);
    argv << QStringLiteral("-G") << QStringLiteral("--") << name;
    const modSshRun::Result result = modSshRun::Run(argv, environment(), {}, m_options.connectTimeout * 1000);
    if (result.exitCode != 0) {
        error = QStringLiteral("ssh cannot read its configuration for %1: %2").arg(name, QString::fromUtf8(result.error).trimmed());
        return false;
    }
    target = Target {};
    for (const QByteArray &line : result.output.split('\n')) {
        const qsizetype space = line.indexOf(' ');
        const QByteArray key = line.left(space);
        const QString value = QString::fromUtf8(line.mid(space + 1)).trimmed();
        if (key == "hostname")
            target.hostName = value;
        else if (key == "port")
            target.port = value.toInt();
        else if (key == "user")
            target.user = value;
    }
    if (target.hostName.isEmpty() || target.port <= 0) {
        error = QStringLiteral("ssh names no address for %1.").arg(name);
        return false;
    }
    return true;
}

QStringList SshClient::environment()
{
    QStringList environment {QStringLiteral("HOME=") + QDir::homePath(), QStringLiteral("LANG=C"), QStringLiteral("LC_ALL=C")};
    const QByteArray path = qgetenv("PATH");
    environment << QStringLiteral("PATH=") + (path.isEmpty() ? QStringLiteral("/usr/bin:/bin") : QString::fromLocal8Bit(path));
    const QByteArray agent = qgetenv("SSH_AUTH_SOCK");
    if (!agent.isEmpty())
        environment << QStringLiteral("SSH_AUTH_SOCK=") + QString::fromLocal8Bit(agent);
    return environment;
}

QString SshClient::quote(const QString &word)
{
    return QLatin1Char('\'') + QString(word).replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
}
