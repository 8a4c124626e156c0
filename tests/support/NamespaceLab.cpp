#include "support/NamespaceLab.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <unistd.h>

namespace {

const QString kIp = QStringLiteral("ip");

void killAll(const QString &ns)
{
    QProcess pids;
    pids.start(kIp, {QStringLiteral("netns"), QStringLiteral("pids"), ns});
    if (!pids.waitForFinished(5000))
        return;
    for (const QByteArray &line : pids.readAllStandardOutput().split('\n')) {
        bool number = false;
        const int pid = line.trimmed().toInt(&number);
        if (number && pid > 1)
            ::kill(pid, SIGKILL);
    }
}

void remove(const QString &ns)
{
    killAll(ns);
    QProcess::execute(kIp, {QStringLiteral("netns"), QStringLiteral("delete"), ns});
}

} // namespace

QString NamespaceLab::ClientAddress(int n)
{
    return QStringLiteral("10.213.%1.%2").arg((n + 1) >> 8).arg((n + 1) & 255);
}

bool NamespaceLab::run(const QStringList &command, QString *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.constFirst(), command.mid(1));
    const bool ended = process.waitForFinished(10'000);
    if (output)
        *output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

NamespaceLab::NamespaceLab(int clients)
    : m_prefix(QStringLiteral("vo-%1-").arg(QCoreApplication::applicationPid()))
    , m_clients(clients)
{
    if (::geteuid() != 0) {
        m_problem = QStringLiteral("network namespaces need root");
        return;
    }
    removeLeftovers();
    const QString engine = engineNamespace();
    const auto in = [](const QString &ns, const QString &args) {
        return QStringList {kIp, QStringLiteral("-n"), ns} + args.split(QLatin1Char(' '));
    };
    QList<QStringList> commands {
        {kIp, QStringLiteral("netns"), QStringLiteral("add"), engine},
        in(engine, QStringLiteral("link set lo up")),
        in(engine, QStringLiteral("link add br0 type bridge")),
        in(engine, QStringLiteral("addr add %1/16 dev br0").arg(QLatin1String(EngineAddress))),
        in(engine, QStringLiteral("link set br0 up")),
    };
    for (int n = 1; n <= clients; ++n) {
        const QString client = clientNamespace(n);
        commands << QStringList {kIp, QStringLiteral("netns"), QStringLiteral("add"), client}
                 << in(client, QStringLiteral("link set lo up"))
                 << in(engine, QStringLiteral("link add c%1 type veth peer name eth0 netns %2").arg(n).arg(client))
                 << in(engine, QStringLiteral("link set c%1 master br0 up").arg(n))
                 << in(client, QStringLiteral("addr add %1/16 dev eth0").arg(ClientAddress(n)))
                 << in(client, QStringLiteral("link set eth0 up"));
    }
    for (const QStringList &command : std::as_const(commands)) {
        QString output;
        if (!run(command, &output)) {
            m_problem = QStringLiteral("\"%1\" failed: %2").arg(command.join(QLatin1Char(' ')), output);
            return;
        }
    }
}

NamespaceLab::~NamespaceLab()
{
    if (::geteuid() != 0)
        return;
    for (int n = 1; n <= m_clients; ++n)
        remove(clientNamespace(n));
    remove(engineNamespace());
}

bool NamespaceLab::setLinkUp(int n, bool up) const
{
    return run({kIp, QStringLiteral("-n"), clientNamespace(n), QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("eth0"),
        up ? QStringLiteral("up") : QStringLiteral("down")});
}

void NamespaceLab::killClient(int n) const
{
    killAll(clientNamespace(n));
}

void NamespaceLab::removeLeftovers()
{
    QString list;
    if (!run({kIp, QStringLiteral("netns"), QStringLiteral("list")}, &list))
        return;
    static const QRegularExpression name(QStringLiteral("^(vo-(\\d+)-\\S+)"), QRegularExpression::MultilineOption);
    for (auto match = name.globalMatch(list); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        if (!QFileInfo::exists(QStringLiteral("/proc/") + found.captured(2)))
            remove(found.captured(1));
    }
}
