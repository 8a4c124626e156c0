#include "enginehost/EngineRun.h"

#include "common/ConsoleConfig.h"
#include "common/modRehearsal.h"
#include "common/modRollback.h"
#include "engine/SimulatedEngine.h"
#include "enginehost/ClientChannel.h"
#include "enginehost/DeliveryPlan.h"
#include "enginehost/TransferorPool.h"
#include "enginehost/modClientText.h"
#include "protocol/modFindings.h"
#include "protocol/modProtocol.h"
#include "protocol/modRunFile.h"
#include "protocol/modStatusFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

QString text(const QJsonObject &settings, const char *name, const QString &fallback = QString())
{
    const QString value = settings.value(QLatin1String(name)).toString();
    return value.isEmpty() ? fallback : value;
}

qint64 seconds(const QJsonObject &settings, const char *name, int fallback)
{
    const int value = settings.value(QLatin1String(name)).toInt(fallback);
    return qint64(value > 0 ? value : fallback);
}

} // namespace

EngineRun::EngineRun(const QJsonObject &settings, std::unique_ptr<ClientChannel> channel, std::unique_ptr<DeliveryPlan> plan,
    std::unique_ptr<TransferorPool> pool, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_channel(std::move(channel))
    , m_plan(std::move(plan))
    , m_pool(std::move(pool))
{
    m_reportingMs = seconds(settings, "ReportingPeriod", 120) * 1000;
    m_keepAliveMs = seconds(settings, "KeepAliveIncrement", 300) * 1000;
    m_retryMs = seconds(settings, "RetryInterval", 300) * 1000;
    m_pendingMs = qMax(0, settings.value(QStringLiteral("PendingTimeout")).toInt()) * qint64(1000);
    m_wake.setSingleShot(true);
    connect(&m_wake, &QTimer::timeout, this, &EngineRun::wake);
    connect(m_pool.get(), &TransferorPool::taken, this, &EngineRun::onTaken);
    connect(m_pool.get(), &TransferorPool::finished, this, &EngineRun::onTask);
    connect(m_channel.get(), &ClientChannel::status, this, &EngineRun::onStatus);
    connect(m_channel.get(), &ClientChannel::finding, this, &EngineRun::onFinding);
    connect(m_channel.get(), &ClientChannel::keepAlive, this, &EngineRun::onKeepAlive);
    connect(m_channel.get(), &ClientChannel::gone, this, &EngineRun::onGone);
    connect(m_channel.get(), &ClientChannel::logLine, this, &EngineRun::writeLog);
    m_silence.setInterval(int(seconds(settings, "StatusCheckPeriod", 15) * 1000));
    connect(&m_silence, &QTimer::timeout, this, &EngineRun::checkSilence);
}

EngineRun::~EngineRun() = default;

bool EngineRun::start(const QList<modEngineLink::JobClient> &clients, int &errorNumber)
{
    if (clients.isEmpty()) {
        errorNumber = 1029;
        return false;
    }
    QList<modEngineLink::JobWave> waves;
    QString wavesProblem;
    if (!modEngineLink::DecodeWaves(m_settings.value(QStringLiteral("Waves")).toArray(), waves, wavesProblem)) {
        errorNumber = 1029;
        return false;
    }
    m_schedule = WaveSchedule(waves, qMax(1, m_settings.value(QStringLiteral("MaxTransferors")).toInt(ConsoleConfig::MaxTransferorsLimit)));
    if (!m_results.Open(text(m_settings, "LogPath"))
        || !m_log.Open(m_results, text(m_settings, "HLogFile", QStringLiteral("handler.log")))
        || !m_statusFile.Open(m_results, text(m_settings, "CStatusFile", QStringLiteral("varnoosk.sts")))) {
        errorNumber = 1002;
        return false;
    }
    const QString mode = text(m_settings, "Mode");
    EngineJournal::Contents header;
    header.run = QFileInfo(QDir::cleanPath(text(m_settings, "LogPath"))).fileName();
    header.mode = mode;
    header.pid = QCoreApplication::applicationPid();
    header.attach = text(m_settings, "AttachPath");
    header.started = QDateTime::currentDateTimeUtc();
    for (const modEngineLink::JobClient &job : clients)
        header.clients.append(job.name);
    if (!m_journal.Open(m_results, header)) {
        m_log.Line(QStringLiteral("The engine journal could not be written: ") + m_journal.ErrorString());
        errorNumber = 1002;
        return false;
    }
    if (mode == QLatin1String(modEngineLink::ModeMigrate))
        m_log.Line(modRehearsal::SshFirstLine());
    else if (mode == QLatin1String(modEngineLink::ModeRollback) || mode == QLatin1String(modEngineLink::ModeForget))
        m_log.Line(modRollback::FirstLine(mode == QLatin1String(modEngineLink::ModeForget)));
    QString problem;
    if (!m_channel->listen(
            text(m_settings, "ListenerIP"), quint16(m_settings.value(QStringLiteral("ListenerPort")).toInt()), errorNumber, problem)) {
        m_log.Line(QStringLiteral("The listener could not start: ") + problem);
        return false;
    }
    m_log.Line(QStringLiteral("Run started (%1): %2 clients, %3 transferors")
                   .arg(text(m_settings, "Mode", QString::fromLatin1(modEngineLink::ModeCheck)))
                   .arg(clients.size())
                   .arg(m_pool->size()));
    m_clock.start();
    m_clients.reserve(clients.size());
    m_lastStatuses = QStringList(clients.size(), QString());
    for (const modEngineLink::JobClient &job : clients) {
        Client client;
        client.job = job;
        m_clients.append(client);
        m_byName.insert(job.name.toLower(), int(m_clients.size()));
        m_schedule.add(job.number, job.wave);
    }
    m_open = int(m_clients.size());
    // Counted before the first is queued: a free transferor takes a client
    // the moment it is queued.
    m_queuedDeliveries = m_open;
    m_silence.start();
    dispatch();
    return true;
}

EngineRun::Client *EngineRun::byName(const QString &computer)
{
    const int n = m_byName.value(computer.toLower());
    return n > 0 ? &m_clients[n - 1] : nullptr;
}

void EngineRun::setStatus(Client &client, const QString &code)
{
    m_log.Line(QStringLiteral("%1 (client %2): %3").arg(client.job.name).arg(client.job.number).arg(code));
    m_statusFile.Line(QStringLiteral("%1\t%2\t%3").arg(client.job.number).arg(client.job.name, code), QStringLiteral("\t"));
    m_journal.Status(client.job.number, code);
    m_lastStatuses[client.job.number - 1] = code;
    Q_EMIT status(client.job.number, code);
}

void EngineRun::addFinding(Client &client, int code, const QString &line)
{
    m_log.Line(QStringLiteral("%1 (client %2): finding %3: %4").arg(client.job.name).arg(client.job.number).arg(code).arg(line));
    Q_EMIT finding(client.job.number, code, line);
}

void EngineRun::end(Client &client, const QString &code)
{
    if (client.phase == Phase::Ended)
        return;
    const bool wasQueued = !client.left;
    client.left = true;
    m_pending.remove(client.job.number);
    client.phase = Phase::Ended;
    m_channel->end(client.job.name);
    setStatus(client, code);
    if (code == QLatin1String("XS") && text(m_settings, "Mode") == QLatin1String(modEngineLink::ModeMigrate))
        Q_EMIT success(client.job.number);
    const std::optional<WaveSchedule::Stop> stop = m_schedule.ended(client.job.number, code == QLatin1String("XE"));
    if (wasQueued)
        leftQueue();
    if (--m_open == 0) {
        m_silence.stop();
        m_wake.stop();
        m_log.Line(QStringLiteral("Run complete."));
        m_journal.Complete();
        Q_EMIT processingComplete();
        return;
    }
    if (stop)
        stopWaves(*stop);
    dispatch();
}

void EngineRun::stopWaves(const WaveSchedule::Stop &stop)
{
    m_log.Line(stop.reason);
    Q_EMIT wave(stop.reason, true);
    for (const int n : m_schedule.clientsOf(stop))
        cancel(n);
}

void EngineRun::dispatch()
{
    if (m_dispatching || m_open == 0)
        return;
    m_dispatching = true;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString turn = m_schedule.takeTurnLine(now);
    if (!turn.isEmpty()) {
        m_log.Line(turn);
        Q_EMIT wave(turn, true);
    }
    for (const int n : m_schedule.take(now)) {
        Client &client = m_clients[n - 1];
        if (client.phase == Phase::Queued && client.task == 0)
            queueNext(client);
    }
    const QString where = m_schedule.describe();
    if (!where.isEmpty())
        Q_EMIT wave(where, false);
    // The next moment something is due: a wave's start or a client's next try.
    qint64 due = -1;
    if (const QDateTime start = m_schedule.waitsUntil(now); start.isValid())
        due = now.msecsTo(start);
    for (const int n : std::as_const(m_pending)) {
        const qint64 in = qMax(qint64(0), m_clients[n - 1].nextTry - m_clock.elapsed());
        due = due < 0 ? in : qMin(due, in);
    }
    if (due >= 0)
        m_wake.start(int(qMin(due + 50, qint64(3'600'000))));
    m_dispatching = false;
}

void EngineRun::wake()
{
    const qint64 now = m_clock.elapsed();
    const QList<int> waiting(m_pending.cbegin(), m_pending.cend());
    for (const int n : waiting) {
        Client &client = m_clients[n - 1];
        if (client.nextTry > now)
            continue;
        m_pending.remove(n);
        client.phase = Phase::Queued;
        m_schedule.resumed(client.job.number);
        queueNext(client);
    }
    dispatch();
}

bool EngineRun::offline(Client &client, int code, const QString &reason)
{
    const bool unreachable = code == modFindings::NameDoesNotResolve || code == modFindings::ConnectionRefused
        || code == modFindings::ConnectionTimedOut;
    if (!unreachable || m_pendingMs <= 0 || client.request != Request::None || m_schedule.stopped(client.job.number))
        return false;
    const qint64 now = m_clock.elapsed();
    if (client.firstTry < 0)
        client.firstTry = now;
    ++client.tries;
    if (now + m_retryMs - client.firstTry > m_pendingMs) {
        addFinding(client, code,
            QStringLiteral("%1 (not reached in %2 tries over %3 s)").arg(reason).arg(client.tries).arg((now - client.firstTry) / 1000));
        return false;
    }
    client.phase = Phase::Pending;
    client.nextTry = now + m_retryMs;
    m_pending.insert(client.job.number);
    m_schedule.waiting(client.job.number);
    const QDateTime next = QDateTime::currentDateTimeUtc().addMSecs(m_retryMs);
    addFinding(client, code, QStringLiteral("%1 (try %2; next try at %3)").arg(reason).arg(client.tries).arg(WaveSchedule::LocalTime(next)));
    setStatus(client, QStringLiteral("NP"));
    Q_EMIT pending(client.job.number, client.tries, next, reason);
    dispatch();
    return true;
}

QByteArray EngineRun::runFile(const Client &client) const
{
    modRunFile::RunFile file;
    file.protocol = modProtocol::Version;
    file.mode = text(m_settings, "Mode", QString::fromLatin1(modEngineLink::ModeCheck)).toStdString();
    file.token = m_tokens.value(client.job.name).toStdString();
    file.fingerprint = m_channel->fingerprint().toStdString();
    file.reportingPeriod = static_cast<int>(m_reportingMs / 1000);
    file.keepAliveIncrement = static_cast<int>(m_keepAliveMs / 1000);
    file.clientLog = text(m_settings, "CLogFile", QStringLiteral("varnoosk.log")).toStdString();
    file.clientStatus = text(m_settings, "CStatusFile", QStringLiteral("varnoosk.sts")).toStdString();
    file.run = QFileInfo(QDir::cleanPath(text(m_settings, "LogPath"))).fileName().toStdString();
    file.computer = client.job.name.toStdString();
    return QByteArray::fromStdString(modRunFile::Compose(file));
}

void EngineRun::queueDelivery(Client &client)
{
    const QString token = m_channel->admit(client.job.name);
    m_tokens.insert(client.job.name, token);
    m_journal.Token(client.job.number, token);
    submit(client, m_plan->deliver(client.job, runFile(client)));
}

void EngineRun::submit(Client &client, TransferorTask task)
{
    task.id = ++m_nextTask;
    task.client = client.job.number;
    task.computer = client.job.name;
    client.task = task.id;
    m_byTask.insert(task.id, client.job.number);
    m_pool->submit(task);
}

void EngineRun::queueNext(Client &client)
{
    if (!client.job.askFirst) {
        queueDelivery(client);
        return;
    }
    client.phase = Phase::Asking;
    submit(client, m_plan->ask(client.job));
}

void EngineRun::onAnswer(Client &client, const TransferorOutcome &outcome)
{
    const DeliveryPlan::State state = outcome.ok ? m_plan->stateOf(outcome) : DeliveryPlan::State::Unknown;
    if (!outcome.ok || state == DeliveryPlan::State::Unknown) {
        QString reason = QStringLiteral("its answer was not understood");
        const int code = outcome.ok ? modFindings::SshFailed : m_plan->diagnose(outcome, reason);
        client.phase = Phase::Queued;
        if (offline(client, code, reason))
            return;
        if (client.tries == 0)
            addFinding(client, code, QStringLiteral("asked how it stands: ") + reason);
        end(client, client.request == Request::None ? QStringLiteral("XE") : outcomeOf(client));
        return;
    }
    switch (state) {
    case DeliveryPlan::State::NotStarted:
        client.job.askFirst = false;
        client.phase = Phase::Queued;
        if (client.request != Request::None) {
            end(client, outcomeOf(client));
            return;
        }
        writeLog(QStringLiteral("%1 (client %2): the service never began its work there; delivered now")
                     .arg(client.job.name)
                     .arg(client.job.number));
        queueDelivery(client);
        return;
    case DeliveryPlan::State::Ended:
        writeLog(QStringLiteral("%1 (client %2): the service has ended there; what it left is collected")
                     .arg(client.job.name)
                     .arg(client.job.number));
        client.adopted = true;
        if (!client.left) {
            client.left = true;
            leftQueue();
        }
        queueCollection(client);
        return;
    case DeliveryPlan::State::AtWork:
    case DeliveryPlan::State::Unknown:
        break;
    }
    // An instance of the run still works there and reports to an engine
    // that is gone: asked again until it ends, as long as a quiet client
    // would be waited for.
    const qint64 now = m_clock.elapsed();
    if (client.atWorkSince < 0)
        client.atWorkSince = now;
    if (client.request != Request::None) {
        addFinding(client, modFindings::NoReport, QStringLiteral("still at work for an engine that is gone; it could not be told to stop"));
        end(client, QStringLiteral("XE"));
        return;
    }
    if (now - client.atWorkSince > qMax(m_reportingMs + m_keepAliveMs, m_pendingMs)) {
        addFinding(client, modFindings::NoReport,
            QStringLiteral("still at work after %1 s, for an engine that is gone").arg((now - client.atWorkSince) / 1000));
        end(client, QStringLiteral("XE"));
        return;
    }
    client.phase = Phase::Pending;
    client.nextTry = now + m_silence.interval();
    m_pending.insert(client.job.number);
    m_schedule.waiting(client.job.number);
    if (m_lastStatuses.at(client.job.number - 1) != QLatin1String("WR"))
        setStatus(client, QStringLiteral("WR"));
    dispatch();
}

void EngineRun::takeStatusFile(Client &client)
{
    // What the client wrote for the engine that started it: its last status
    // and its findings, which no engine heard.
    QFile file;
    QByteArray text;
    if (!client.collectedStatus.isEmpty() && m_results.OpenFile(file, client.collectedStatus, QIODevice::ReadOnly))
        text = file.read(qint64(1) << 20);
    const modStatusFile::Contents left = modStatusFile::Parse(std::string_view(text.constData(), std::size_t(text.size())));
    for (const auto &[code, particulars] : left.findings) {
        if (modFindings::IsClientCode(code))
            addFinding(client, code, modClientText::Clean(particulars));
    }
    QString status = modClientText::Clean(std::string_view(left.status).substr(0, 8));
    const bool ended = status.startsWith(QLatin1Char('P')) || status == QLatin1String("XC") || status == QLatin1String("XA");
    if (!ended) {
        addFinding(client, modFindings::WorkCutOff,
            status.isEmpty() ? QStringLiteral("no status was left") : QStringLiteral("its last status was %1").arg(status));
        status = QStringLiteral("XE");
    }
    client.reported = status;
}

void EngineRun::queueCollection(Client &client)
{
    client.phase = Phase::Collecting;
    setStatus(client, QStringLiteral("U"));
    const QString name = SimulatedEngine::SafeFileName(client.job.name);
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddhhmmss"));
    const QString statusFolder = QStringLiteral("clients/") + name;
    QString logFile = m_results.FilePath(name + QLatin1Char('-') + stamp + QStringLiteral(".log"));
    QString statusFile;
    client.collectedStatus.clear();
    if (m_results.MakeFolder(statusFolder)) {
        client.collectedStatus = statusFolder + QLatin1Char('/') + text(m_settings, "CStatusFile", QStringLiteral("varnoosk.sts"));
        // Collected once already when an earlier engine got that far; the
        // client's own copy is the one to read.
        if (client.adopted)
            m_results.Remove(client.collectedStatus);
        statusFile = m_results.FilePath(client.collectedStatus);
    }
    submit(client, m_plan->collect(client.job, logFile, statusFile));
}

QString EngineRun::outcomeOf(const Client &client) const
{
    if (client.request == Request::Abort)
        return QStringLiteral("XA");
    if (client.request == Request::Cancel && client.reported.isEmpty())
        return QStringLiteral("XC");
    if (client.reported == QLatin1String("PS"))
        return QStringLiteral("XS");
    if (client.reported == QLatin1String("PW"))
        return QStringLiteral("XW");
    if (client.reported.startsWith(QLatin1Char('X')))
        return client.reported;
    return QStringLiteral("XE");
}

void EngineRun::onTaken(int taskId, int n)
{
    if (n < 1 || n > m_clients.size() || m_clients[n - 1].task != taskId)
        return;
    Client &client = m_clients[n - 1];
    if (client.phase != Phase::Queued)
        return;
    client.phase = Phase::Delivering;
    setStatus(client, QStringLiteral("L"));
}

void EngineRun::leftQueue()
{
    if (--m_queuedDeliveries == 0)
        Q_EMIT lastClient();
}

void EngineRun::onTask(const TransferorOutcome &outcome)
{
    const int n = m_byTask.take(outcome.id);
    if (n < 1 || n > m_clients.size() || m_clients[n - 1].task != outcome.id)
        return;
    Client &client = m_clients[n - 1];
    client.task = 0;
    if (client.phase == Phase::Collecting) {
        if (!outcome.ok) {
            QString reason;
            m_plan->diagnose(outcome, reason);
            addFinding(client, modFindings::CollectFailed, reason);
        }
        if (client.adopted)
            takeStatusFile(client);
        QString code = outcomeOf(client);
        if (!m_plan->cleanedUp(outcome)) {
            addFinding(client, modFindings::CleanUpNotConfirmed, QStringLiteral("the client's folders could not be checked"));
            if (code == QLatin1String("XS"))
                code = QStringLiteral("XW");
        }
        end(client, code);
        return;
    }
    if (client.phase == Phase::Asking) {
        onAnswer(client, outcome);
        return;
    }
    if (client.phase != Phase::Delivering && client.phase != Phase::Queued)
        return;
    if (!outcome.ok) {
        QString reason;
        const int code = outcome.workerDied ? modFindings::SshFailed : m_plan->diagnose(outcome, reason);
        if (outcome.workerDied)
            reason = QStringLiteral("the transferor ended twice while it delivered the client");
        if (offline(client, code, reason))
            return;
        if (client.tries == 0)
            addFinding(client, code, reason);
        end(client, client.request == Request::None ? QStringLiteral("XE") : outcomeOf(client));
        return;
    }
    client.phase = Phase::Started;
    client.heardAt = m_clock.elapsed();
    if (!client.left) {
        // The engine has started the client: what Cancel no longer stops.
        client.left = true;
        leftQueue();
    }
}

void EngineRun::onStatus(const QString &computer, const QString &code)
{
    Client *client = byName(computer);
    if (!client || client->phase == Phase::Ended || client->phase == Phase::Collecting)
        return;
    if (client->phase == Phase::Queued || client->phase == Phase::Delivering || client->phase == Phase::Started) {
        // The first word of a client: commands given while it was on its way go to it now.
        if (client->request == Request::Cancel)
            m_channel->cancel(computer);
        else if (client->request == Request::Abort)
            m_channel->abort(computer);
    }
    if (client->quiet) {
        client->quiet = false;
        m_schedule.resumed(client->job.number);
    }
    client->phase = Phase::Working;
    client->heardAt = m_clock.elapsed();
    client->grace = 0;
    client->reported = code;
    setStatus(*client, code);
}

void EngineRun::onFinding(const QString &computer, int code, const QString &line)
{
    if (Client *client = byName(computer); client && client->phase != Phase::Ended) {
        client->heardAt = m_clock.elapsed();
        addFinding(*client, code, line);
    }
}

void EngineRun::onKeepAlive(const QString &computer, int secondsMore)
{
    if (Client *client = byName(computer); client && client->phase != Phase::Ended) {
        client->heardAt = m_clock.elapsed();
        client->grace = qBound(qint64(0), qint64(secondsMore) * 1000, m_keepAliveMs);
    }
}

void EngineRun::onGone(const QString &computer)
{
    Client *client = byName(computer);
    if (!client || client->phase != Phase::Working)
        return;
    // A client that has given its result, or has stopped as it was told,
    // is done; any other goes on being waited for until it is silent too long.
    if (client->reported.startsWith(QLatin1Char('P')) || client->reported.startsWith(QLatin1Char('X')))
        queueCollection(*client);
}

void EngineRun::checkSilence()
{
    const qint64 now = m_clock.elapsed();
    for (Client &client : m_clients) {
        if (client.phase != Phase::Started && client.phase != Phase::Working)
            continue;
        const qint64 silent = now - client.heardAt;
        if (silent <= m_reportingMs + client.grace)
            continue;
        if (m_pendingMs > 0 && silent <= m_pendingMs && client.request == Request::None) {
            if (!client.quiet) {
                client.quiet = true;
                m_schedule.waiting(client.job.number);
                setStatus(client, QStringLiteral("WR"));
                dispatch();
            }
            continue;
        }
        addFinding(client, modFindings::NoReport, QStringLiteral("no report from the client for %1 s").arg(silent / 1000));
        end(client, QStringLiteral("XE"));
    }
}

void EngineRun::cancel(int n)
{
    if (n < 1 || n > m_clients.size())
        return;
    Client &client = m_clients[n - 1];
    if (client.phase == Phase::Ended || client.request != Request::None)
        return;
    client.request = Request::Cancel;
    if (withdrawn(client)) {
        end(client, QStringLiteral("XC"));
    } else if (client.phase == Phase::Working) {
        m_channel->cancel(client.job.name);
    }
}

void EngineRun::abort(int n)
{
    if (n < 1 || n > m_clients.size())
        return;
    Client &client = m_clients[n - 1];
    if (client.phase == Phase::Ended || client.request == Request::Abort)
        return;
    client.request = Request::Abort;
    if (withdrawn(client)) {
        end(client, QStringLiteral("XA"));
        return;
    }
    setStatus(client, QStringLiteral("AP"));
    if (client.phase == Phase::Working)
        m_channel->abort(client.job.name);
}

bool EngineRun::withdrawn(Client &client)
{
    // Waiting for its next try, or for a transferor that can still let it go.
    if (client.phase == Phase::Pending
        || ((client.phase == Phase::Queued || client.phase == Phase::Asking) && (client.task == 0 || m_pool->withdraw(client.task)))) {
        client.task = 0;
        return true;
    }
    return false;
}

void EngineRun::cancelAll()
{
    for (int n = 1; n <= m_clients.size(); ++n)
        cancel(n);
}

void EngineRun::abortAll()
{
    for (int n = 1; n <= m_clients.size(); ++n)
        abort(n);
}

void EngineRun::writeLog(const QString &line)
{
    m_log.Line(line);
}
