#include "enginehost/TransferorWorker.h"

#include "engine/modEngineLink.h"
#include "enginehost/modTransferorWire.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace {

void keepTail(QByteArray &tail, const QByteArray &more, qsizetype limit)
{
    tail += more;
    if (tail.size() > limit)
        tail.remove(0, tail.size() - limit);
}

QString firstLine(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes).trimmed();
    return text.section(QLatin1Char('\n'), 0, 0).left(300);
}

} // namespace

TransferorWorker::TransferorWorker(int number, const QString &logPath)
    : m_number(number)
{
    if (!logPath.isEmpty()) {
        const int fd = ::open(logPath.toLocal8Bit().constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 && !m_log.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle))
            ::close(fd);
    }
}

void TransferorWorker::log(const QString &text)
{
    if (!m_log.isOpen())
        return;
    m_log.write((QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral("  T")
        + QString::number(m_number) + QStringLiteral("  ") + text + QStringLiteral("\r\n"))
                    .toUtf8());
    m_log.flush();
}

int TransferorWorker::exec(std::FILE *input, std::FILE *output)
{
    std::string line;
    for (int c = std::fgetc(input); c != EOF; c = std::fgetc(input)) {
        if (c != '\n') {
            if (qsizetype(line.size()) >= modEngineLink::MaxLineBytes) {
                log(QStringLiteral("A task longer than %1 bytes: the transferor stops.").arg(modEngineLink::MaxLineBytes));
                return 1;
            }
            line += static_cast<char>(c);
            continue;
        }
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line));
        line.clear();
        TransferorTask task;
        if (!document.isObject() || !modTransferorWire::DecodeTask(document.object(), task)) {
            log(QStringLiteral("A task that cannot be read: the transferor stops."));
            return 1;
        }
        const QByteArray answer = modEngineLink::Encode(modTransferorWire::EncodeOutcome(run(task)));
        std::fwrite(answer.constData(), 1, size_t(answer.size()), output);
        std::fflush(output);
    }
    return 0;
}

TransferorOutcome TransferorWorker::run(const TransferorTask &task)
{
    TransferorOutcome outcome;
    outcome.id = task.id;
    outcome.client = task.client;
    outcome.ok = true;
    log(QStringLiteral("%1 (client %2): %3 steps").arg(task.computer).arg(task.client).arg(task.steps.size()));
    for (const TransferorStep &step : task.steps) {
        const TransferorStepResult result = runStep(step, task.environment);
        outcome.results.append(result);
        if (result.exitCode != 0 && !step.mayFail) {
            outcome.ok = false;
            break;
        }
    }
    return outcome;
}

TransferorStepResult TransferorWorker::runStep(const TransferorStep &step, const QStringList &environment)
{
    TransferorStepResult result;
    result.name = step.name;
    log(QStringLiteral("%1: %2").arg(step.name, step.argv.join(QLatin1Char(' '))));

    QFile out;
    if (!step.outputFile.isEmpty()) {
        const int fd = ::open(step.outputFile.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 || !out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            if (fd >= 0)
                ::close(fd);
            result.error = QByteArrayLiteral("cannot make ") + step.outputFile.toUtf8();
            log(QStringLiteral("%1: %2").arg(step.name, QString::fromUtf8(result.error)));
            return result;
        }
    }

    QProcess process;
    QProcessEnvironment env;
    for (const QString &entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.start(step.argv.constFirst(), step.argv.mid(1));
    if (!process.waitForStarted(10'000)) {
        result.error = process.errorString().toUtf8();
        log(QStringLiteral("%1: did not start: %2").arg(step.name, process.errorString()));
        return result;
    }
    process.write(step.input);
    process.closeWriteChannel();

    qint64 written = 0;
    auto drain = [&] {
        const QByteArray chunk = process.readAllStandardOutput();
        if (out.isOpen()) {
            const qint64 room = step.outputCap - written;
            if (room > 0)
                written += out.write(chunk.left(room));
        } else {
            keepTail(result.output, chunk, TailBytes);
        }
        keepTail(result.error, process.readAllStandardError(), TailBytes);
    };
    const QDeadlineTimer deadline(std::chrono::seconds(step.timeoutSeconds));
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired()) {
            result.timedOut = true;
            process.kill();
            process.waitForFinished(5000);
            break;
        }
        process.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
        drain();
    }
    drain();
    if (!result.timedOut && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    log(QStringLiteral("%1: %2%3")
            .arg(step.name,
                result.timedOut ? QStringLiteral("timed out after %1 s").arg(step.timeoutSeconds)
                                : QStringLiteral("exit %1").arg(result.exitCode),
                result.error.isEmpty() ? QString() : QStringLiteral(": ") + firstLine(result.error)));
    return result;
}
