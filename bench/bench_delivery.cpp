// Delivery to many clients by the engine's transferors against the same ssh
// and scp commands run by `xargs -P`: what the pool, its worker processes and
// their bookkeeping cost on top of OpenSSH itself. Every client is a Host
// alias of one test sshd on 127.0.0.1; each task delivers a stand-in for the
// client service of the real one's size, its files, starts it and closes the
// shared connection. Needs root (sshd). Target: at most 1.2 times xargs.
// Arguments: the number of clients (1000) and of rounds (1).
#include "enginehost/SshDeliveryPlan.h"
#include "enginehost/TransferorPool.h"
#include "protocol/modProtocol.h"
#include "protocol/modRunFile.h"
#include "ssh/ConsoleKey.h"
#include "ssh/KnownHosts.h"
#include "ssh/SshClient.h"

#include "support/SshdServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kTransferors = 32;

bool write(const QString &path, const QByteArray &bytes, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return !executable || file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString shellWord(const QString &text)
{
    QString quoted = text;
    return QLatin1Char('\'') + quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
}

// The task as a shell script: the same programs, arguments, input and
// environment, stopping at the first step that may not fail and does.
QByteArray script(const TransferorTask &task, const QString &folder)
{
    QByteArray text = "#!/bin/sh\n";
    for (int i = 0; i < task.steps.size(); ++i) {
        const TransferorStep &step = task.steps.at(i);
        QStringList words {QStringLiteral("env"), QStringLiteral("-i")};
        for (const QString &variable : task.environment)
            words << shellWord(variable);
        for (const QString &argument : step.argv)
            words << shellWord(argument);
        QString line = words.join(QLatin1Char(' '));
        if (!step.input.isEmpty()) {
            const QString input = folder + QStringLiteral("/in-%1-%2").arg(task.id).arg(i);
            write(input, step.input);
            line += QStringLiteral(" < ") + shellWord(input);
        } else {
            line += QStringLiteral(" < /dev/null");
        }
        line += QStringLiteral(" > /dev/null 2>&1");
        line += step.mayFail ? QStringLiteral(" || true") : QStringLiteral(" || exit 1");
        text += line.toUtf8() + '\n';
    }
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int clients = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (const QString why = SshdServer::unavailable(); !why.isEmpty()) {
        std::printf("bench_delivery: skipped: %s\n", qPrintable(why));
        return 0;
    }
    QTemporaryDir home(QStringLiteral("/tmp/vo-bench-XXXXXX"));
    qputenv("VARNO_OSK_SSH_FOLDER", home.filePath(QStringLiteral("ssh")).toUtf8());
    SshdServer sshd;
    ConsoleKey key;
    if (!sshd.start() || !key.ensure() || !sshd.authorize(key.publicKey())) {
        std::fprintf(stderr, "bench_delivery: %s %s\n", qPrintable(sshd.error()), qPrintable(key.error()));
        return 1;
    }

    // The stand-in service: as large as the real one, and it ends at once.
    const QString stub = home.filePath(QStringLiteral("stub"));
    QDir().mkpath(stub);
    QByteArray program = "#!/bin/sh\n[ \"$1\" = --version ] && echo 0.0.0\nexit 0\n";
    program += "#" + QByteArray(qMax<qint64>(0, QFileInfo(QStringLiteral(VO_CLIENT_PROGRAM)).size() - program.size() - 2), 'x') + "\n";
    write(stub + QStringLiteral("/varno-osk-client"), program, true);

    QByteArray config;
    QStringList names;
    for (int n = 1; n <= clients; ++n) {
        names << QStringLiteral("c%1").arg(n, 5, 10, QLatin1Char('0'));
        config += "Host " + names.last().toUtf8() + "\n  HostName 127.0.0.1\n  Port " + QByteArray::number(sshd.port()) + "\n  User root\n";
    }
    write(home.filePath(QStringLiteral("ssh_config")), config);
    SshDeliveryPlan plan({{"SourcePath", stub}, {"DestPath", sshd.clientRoot() + QStringLiteral("/drop")},
        {"SshConfig", home.filePath(QStringLiteral("ssh_config"))}});

    // One host key, trusted under every name.
    KnownHosts known(KnownHosts::defaultFile(), plan.client());
    KnownHosts::Scan scan;
    if (!known.scan(names.constFirst(), scan) || !known.record(scan, false)) {
        std::fprintf(stderr, "bench_delivery: %s\n", qPrintable(known.error()));
        return 1;
    }
    QFile knownFile(KnownHosts::defaultFile());
    knownFile.open(QIODevice::ReadOnly);
    const QByteArray line = knownFile.readAll();
    knownFile.close();
    QByteArray all;
    for (const QString &name : std::as_const(names))
        all += QByteArray(line).replace(names.constFirst().toUtf8(), name.toUtf8());
    write(KnownHosts::defaultFile(), all);

    QList<TransferorTask> tasks;
    for (int n = 1; n <= clients; ++n) {
        const std::string computer = names.at(n - 1).toStdString();
        const modRunFile::RunFile run {1, "check", std::string(2 * modProtocol::TokenBytes, 'a'), std::string(64, 'b'), 1, 1, "varnoosk.log",
            "varnoosk.sts", "bench", computer};
        const modEngineLink::JobClient client {n, names.at(n - 1), QStringLiteral("root"), {{"varnoosk.cfg", QByteArray(2000, 'c')}}};
        TransferorTask task = plan.deliver(client, QByteArray::fromStdString(modRunFile::Compose(run)));
        task.id = n;
        task.client = n;
        TransferorStep stop;
        stop.name = QStringLiteral("stop");
        stop.argv = plan.client().stop(client.name, client.login);
        stop.mayFail = true;
        task.steps.append(stop);
        tasks << task;
    }

    const QString scripts = home.filePath(QStringLiteral("scripts"));
    QDir().mkpath(scripts);
    QByteArray list;
    for (const TransferorTask &task : std::as_const(tasks)) {
        const QString path = scripts + QStringLiteral("/%1.sh").arg(task.id);
        write(path, script(task, scripts));
        list += path.toUtf8() + '\n';
    }

    const auto viaXargs = [&] {
        QElapsedTimer timer;
        timer.start();
        QProcess xargs;
        xargs.start(QStringLiteral("xargs"), {QStringLiteral("-P"), QString::number(kTransferors), QStringLiteral("-n"), QStringLiteral("1"),
                                                  QStringLiteral("sh")});
        xargs.write(list);
        xargs.closeWriteChannel();
        xargs.waitForFinished(-1);
        return timer.elapsed();
    };
    int failed = 0;
    const auto viaEngine = [&] {
        QElapsedTimer timer;
        timer.start();
        TransferorPool pool(QStringLiteral(VO_ENGINE_PROGRAM),
            {QStringLiteral("--transferor"), QStringLiteral("%1"), QStringLiteral("--log"), home.filePath(QStringLiteral("transferor%1.log"))},
            kTransferors);
        int done = 0;
        failed = 0;
        QObject::connect(&pool, &TransferorPool::finished, &application, [&](const TransferorOutcome &outcome) {
            failed += outcome.ok ? 0 : 1;
            if (++done == clients)
                application.quit();
        });
        for (const TransferorTask &task : std::as_const(tasks))
            pool.submit(task);
        application.exec();
        return timer.elapsed();
    };

    // Alternating rounds (argument 2, default 1), the best of each: a later
    // round meets caches the earlier one warmed.
    const int rounds = argc > 2 ? qMax(1, std::atoi(argv[2])) : 1;
    qint64 xargsMs = viaXargs();
    qint64 engineMs = viaEngine();
    for (int round = 1; round < rounds; ++round) {
        xargsMs = qMin(xargsMs, viaXargs());
        engineMs = qMin(engineMs, viaEngine());
    }
    const double ratio = double(engineMs) / double(qMax<qint64>(1, xargsMs));
    std::printf("delivery to %d clients, %d at once: transferors %lld ms, xargs -P %d %lld ms, ratio %.2f (target <= 1.20)%s\n", clients,
        kTransferors, static_cast<long long>(engineMs), kTransferors, static_cast<long long>(xargsMs), ratio,
        failed ? qPrintable(QStringLiteral("; %1 deliveries failed").arg(failed)) : "");
    return ratio <= 1.2 && failed == 0 ? 0 : 1;
}
