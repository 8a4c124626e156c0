#include "ssh/modSshRun.h"

#include <QDeadlineTimer>
#include <QProcess>

namespace modSshRun {

namespace {

void take(QProcess &process, QProcess::ProcessChannel channel, QByteArray &into, qint64 cap)
{
    process.setReadChannel(channel);
    const QByteArray chunk = process.readAll();
    if (into.size() < cap)
        into += chunk.left(cap - into.size());
}

} // namespace

Result Run(const QStringList &argv, const QStringList &environment, const QByteArray &input, int timeoutMs, qint64 cap)
{
    Result result;
    if (argv.isEmpty())
        return result;
    QProcess process;
    process.setEnvironment(environment);
    process.start(argv.first(), argv.mid(1));
    if (!process.waitForStarted()) {
        result.error = process.errorString().toUtf8();
        return result;
    }
    process.write(input);
    process.closeWriteChannel();
    QDeadlineTimer deadline(timeoutMs);
    // Read as it comes, so that a chatty program neither blocks on a full pipe
    // nor grows our memory past the cap.
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        process.waitForReadyRead(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 100)));
        take(process, QProcess::StandardOutput, result.output, cap);
        take(process, QProcess::StandardError, result.error, cap);
    }
    if (process.state() != QProcess::NotRunning) {
        result.timedOut = true;
        process.kill();
        process.waitForFinished();
        return result;
    }
    take(process, QProcess::StandardOutput, result.output, cap);
    take(process, QProcess::StandardError, result.error, cap);
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    return result;
}

} // namespace modSshRun
