#include "SshdServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {

const QString kPrefix = QStringLiteral("vo-sshd-");

bool writeFile(const QString &path, const QByteArray &data, bool append = false)
{
    QFile file(path);
    return file.open(append ? QIODevice::Append : QIODevice::WriteOnly) && file.write(data) == data.size();
}

QString tempTemplate()
{
    return QDir::tempPath() + QLatin1Char('/') + kPrefix + QString::number(::getpid()) + QStringLiteral("-XXXXXX");
}

} // namespace

SshdServer::SshdServer()
    : m_dir(tempTemplate())
{ }

SshdServer::~SshdServer()
{
    stop();
}

QString SshdServer::unavailable()
{
    if (::geteuid() != 0)
        return QStringLiteral("sshd needs root to log users in; run as root");
    if (!QFile::exists(QStringLiteral("/usr/sbin/sshd")))
        return QStringLiteral("no /usr/sbin/sshd; run scripts/ensure-packages");
    return {};
}

int SshdServer::freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

void SshdServer::clearLeftovers()
{
    const QDir temp(QDir::tempPath());
    for (const QString &name : temp.entryList({kPrefix + QLatin1Char('*')}, QDir::Dirs)) {
        const qint64 pid = name.section(QLatin1Char('-'), 2, 2).toLongLong();
        if (pid <= 0 || pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0)
            continue;
        QDir folder(temp.filePath(name));
        QFile pidFile(folder.filePath(QStringLiteral("sshd.pid")));
        if (pidFile.open(QIODevice::ReadOnly)) {
            const auto sshd = static_cast<pid_t>(pidFile.readAll().trimmed().toLongLong());
            QFile command(QStringLiteral("/proc/%1/cmdline").arg(sshd));
            if (sshd > 0 && command.open(QIODevice::ReadOnly) && command.readAll().contains(folder.path().toUtf8()))
                ::kill(sshd, SIGTERM);
        }
        folder.removeRecursively();
    }
}

bool SshdServer::makeHostKey()
{
    const QString key = m_dir.filePath(QStringLiteral("host_ed25519"));
    QFile::remove(key);
    QFile::remove(key + QStringLiteral(".pub"));
    const int status = QProcess::execute(QStringLiteral("ssh-keygen"),
        {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"), QString(), QStringLiteral("-f"),
            key});
    if (status != 0)
        m_error = QStringLiteral("ssh-keygen could not make the host key");
    return status == 0;
}

bool SshdServer::start()
{
    clearLeftovers();
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no folder for sshd");
        return false;
    }
    // Privilege separation needs this folder, which only the machine's ssh
    // service would otherwise make.
    QDir().mkpath(QStringLiteral("/run/sshd"));
    QDir().mkpath(clientRoot());
    if (!writeFile(m_dir.filePath(QStringLiteral("authorized_keys")), {}) || !makeHostKey())
        return false;
    m_port = m_namespace.isEmpty() ? freePort() : 22;
    return launch();
}

bool SshdServer::restart(bool newHostKey)
{
    stop();
    return (!newHostKey || makeHostKey()) && launch();
}

bool SshdServer::launch()
{
    const QByteArray folder = m_dir.path().toUtf8();
    const QByteArray config = "Port " + QByteArray::number(m_port)
        + "\nListenAddress " + m_address.toUtf8() + "\n"
          "HostKey "
        + folder + "/host_ed25519\nPidFile " + folder
        + "/sshd.pid\n"
          "AuthorizedKeysFile "
        + folder
        + "/authorized_keys\n"
          "StrictModes no\nPermitRootLogin prohibit-password\nPasswordAuthentication no\n"
          "KbdInteractiveAuthentication no\nUsePAM no\nMaxStartups 200:30:400\nMaxSessions 200\n"
          "LogLevel VERBOSE\nSubsystem sftp internal-sftp\n"
          "SetEnv VARNO_OSK_CLIENT_ROOT="
        + folder + "/client-root\n";
    const QString configFile = m_dir.filePath(QStringLiteral("sshd_config"));
    if (!writeFile(configFile, config))
        return false;
    // The log is kept across restarts: only what this start wrote counts.
    const qsizetype before = log().size();
    m_sshd = std::make_unique<QProcess>();
    m_sshd->setStandardOutputFile(QProcess::nullDevice());
    m_sshd->setStandardErrorFile(m_dir.filePath(QStringLiteral("sshd.log")), QIODevice::Append);
    const QStringList arguments {QStringLiteral("/usr/sbin/sshd"), QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), configFile};
    // ip execs sshd in the namespace, so the process is sshd's all the same.
    const QStringList command
        = m_namespace.isEmpty() ? arguments : QStringList {QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("exec"), m_namespace} + arguments;
    m_sshd->start(command.constFirst(), command.mid(1));
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_sshd->state() != QProcess::NotRunning) {
        if (log().mid(before).contains("Server listening on " + m_address.toUtf8() + " port " + QByteArray::number(m_port)))
            return true;
        QThread::msleep(20);
        m_sshd->waitForFinished(0);
    }
    m_error = QStringLiteral("sshd did not start: ") + QString::fromUtf8(log().right(2000));
    stop();
    return false;
}

void SshdServer::stop()
{
    if (!m_sshd)
        return;
    m_sshd->terminate();
    if (!m_sshd->waitForFinished(5000)) {
        m_sshd->kill();
        m_sshd->waitForFinished();
    }
    m_sshd.reset();
}

bool SshdServer::authorize(const QByteArray &publicKey)
{
    return writeFile(m_dir.filePath(QStringLiteral("authorized_keys")), publicKey.trimmed() + '\n', true);
}

QByteArray SshdServer::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("sshd.log")));
    return file.open(QIODevice::ReadOnly) ? file.read(4 * 1024 * 1024) : QByteArray();
}
