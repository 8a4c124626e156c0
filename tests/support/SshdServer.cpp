#include "SshdServer.h"

#include "EndWithTest.h"
#include "VoProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {

const QString kPrefix = QStringLiteral("vo-sshd-");

} // namespace

SshdServer::SshdServer()
    : m_dir(QDir::tempPath() + QLatin1Char('/') + kPrefix + QString::number(::getpid()) + QStringLiteral("-XXXXXX"))
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
    m_error = QStringLiteral("ssh-keygen could not make the host key");
    // "-N" takes the empty word between the two spaces: no passphrase.
    return QProcess::execute(QStringLiteral("ssh-keygen"), QStringLiteral("-q -t ed25519 -N  -f %1").arg(key).split(QLatin1Char(' '))) == 0;
}

bool SshdServer::start()
{
    clearLeftovers();
    // Privilege separation needs this folder, which only the machine's ssh
    // service would otherwise make.
    QDir().mkpath(QStringLiteral("/run/sshd"));
    QDir().mkpath(clientRoot() + QStringLiteral("/home"));
    if (writeFile(m_dir.filePath(QStringLiteral("authorized_keys")), {}).isEmpty() || !makeHostKey())
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
    const QString config = QStringLiteral("Port %1\nListenAddress %4\nHostKey %2/host_ed25519\nPidFile %2/sshd.pid\n"
                                          "AuthorizedKeysFile %2/authorized_keys\nStrictModes no\nPermitRootLogin prohibit-password\n"
                                          "PasswordAuthentication no\nKbdInteractiveAuthentication no\nUsePAM no\n"
                                          "MaxStartups 200:30:400\nMaxSessions 200\nLogLevel VERBOSE\nSubsystem sftp internal-sftp -d %3/home\n"
                                          "SetEnv HOME=%3/home\n")
                               .arg(m_port)
                               .arg(m_dir.path(), clientRoot(), m_address);
    const QString configFile = m_dir.filePath(QStringLiteral("sshd_config"));
    if (writeFile(configFile, config.toUtf8()).isEmpty())
        return false;
    // The log is kept across restarts: only what this start wrote counts.
    const qsizetype before = log().size();
    m_sshd = std::make_unique<QProcess>();
    m_sshd->setStandardOutputFile(QProcess::nullDevice());
    endWithTest(*m_sshd);
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
    QFile file(m_dir.filePath(QStringLiteral("authorized_keys")));
    return file.open(QIODevice::Append) && file.write(publicKey.trimmed() + '\n') > 0;
}

QByteArray SshdServer::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("sshd.log")));
    return file.open(QIODevice::ReadOnly) ? file.read(4 * 1024 * 1024) : QByteArray();
}
