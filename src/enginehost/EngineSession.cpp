#include "enginehost/EngineSession.h"

#include "enginehost/ClientChannel.h"
#include "enginehost/DeliveryPlan.h"
#include "enginehost/EngineRun.h"
#include "enginehost/TransferorPool.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cstdio>

namespace {

QString setting(const QJsonObject &settings, const char *name)
{
    return settings.value(QLatin1String(name)).toString();
}

} // namespace

EngineSession::EngineSession(Parts parts, QObject *parent)
    : QObject(parent)
    , m_parts(std::move(parts))
{ }

EngineSession::~EngineSession()
{
    if (m_attach)
        m_attach->close();
}

bool EngineSession::connectTo(const QString &socketPath)
{
    auto *link = new QLocalSocket(this);
    link->connectToServer(socketPath);
    if (!link->waitForConnected(10'000)) {
        delete link;
        return false;
    }
    adopt(link);
    return true;
}

void EngineSession::adopt(QLocalSocket *link)
{
    m_link = link;
    m_reader = {};
    connect(link, &QLocalSocket::readyRead, this, &EngineSession::onReadable);
    connect(link, &QLocalSocket::disconnected, this, &EngineSession::linkLost);
}

bool EngineSession::outlivesConsole() const
{
    const QString mode = setting(m_settings, "Mode");
    return m_run && !m_run->complete() && !m_ending
        && (mode == QLatin1String(modEngineLink::ModeMigrate) || mode == QLatin1String(modEngineLink::ModeRollback)
            || mode == QLatin1String(modEngineLink::ModeForget));
}

void EngineSession::linkLost()
{
    if (m_link) {
        m_link->disconnect(this);
        m_link->deleteLater();
        m_link = nullptr;
    }
    if (outlivesConsole()) {
        m_run->writeLog(QStringLiteral("The console went away; the run goes on and waits for a console to attach."));
        return;
    }
    // Without the console nobody hears the run: its clients are told it is over.
    m_run.reset();
    Q_EMIT finished();
}

void EngineSession::onAttach()
{
    while (QLocalSocket *link = m_attach->nextPendingConnection()) {
        // One console at a time follows the run.
        if (m_link || !m_run) {
            link->abort();
            link->deleteLater();
            continue;
        }
        link->setParent(this);
        adopt(link);
        m_run->writeLog(QStringLiteral("A console attached to the run."));
        const QStringList &statuses = m_run->lastStatuses();
        for (int n = 1; n <= statuses.size(); ++n) {
            if (!statuses.at(n - 1).isEmpty())
                post({{QStringLiteral("e"), QStringLiteral("status")}, {QStringLiteral("n"), n}, {QStringLiteral("code"), statuses.at(n - 1)}});
        }
        if (const QString wave = m_run->waveText(); !wave.isEmpty())
            post({{QStringLiteral("e"), QStringLiteral("wave")}, {QStringLiteral("text"), wave}, {QStringLiteral("line"), false}});
    }
}

void EngineSession::onReadable()
{
    if (!m_link)
        return;
    QList<QJsonObject> messages;
    QString problem;
    const bool good = m_reader.read(*m_link, messages, problem);
    for (const QJsonObject &message : std::as_const(messages))
        handle(message);
    if (!good) {
        std::fprintf(stderr, "varno-osk-engine: the console sent %s\n", qPrintable(problem));
        m_link->abort();
    }
}

void EngineSession::handle(const QJsonObject &message)
{
    const QString op = message.value(QStringLiteral("op")).toString();
    const int n = message.value(QStringLiteral("n")).toInt();
    if (op == QLatin1String("settings"))
        m_settings = message.value(QStringLiteral("values")).toObject();
    else if (op == QLatin1String("start"))
        start(message.value(QStringLiteral("job")).toString());
    else if (op == QLatin1String("end"))
        Q_EMIT finished();
    else if (!m_run)
        return;
    else if (op == QLatin1String("cancel"))
        m_run->cancel(n);
    else if (op == QLatin1String("abort"))
        m_run->abort(n);
    else if (op == QLatin1String("cancelAll"))
        m_run->cancelAll();
    else if (op == QLatin1String("abortAll"))
        m_run->abortAll();
    else if (op == QLatin1String("log"))
        m_run->writeLog(message.value(QStringLiteral("text")).toString());
}

void EngineSession::start(const QString &jobFile)
{
    if (m_run) {
        post({{QStringLiteral("e"), QStringLiteral("error")}, {QStringLiteral("number"), 1032}});
        return;
    }
    QFile file(jobFile);
    QList<QJsonObject> lines;
    QString problem;
    modEngineLink::LineReader reader;
    if (!file.open(QIODevice::ReadOnly) || !reader.read(file, lines, problem))
        return fail(1029, problem.isEmpty() ? file.errorString() : problem);
    QList<modEngineLink::JobClient> clients;
    for (const QJsonObject &line : std::as_const(lines)) {
        modEngineLink::JobClient client;
        if (!modEngineLink::DecodeJobClient(line, client, problem) || client.number != clients.size() + 1)
            return fail(1029, problem);
        clients.append(client);
    }

    std::unique_ptr<ClientChannel> channel = m_parts.channel ? m_parts.channel(m_settings) : nullptr;
    std::unique_ptr<DeliveryPlan> plan = m_parts.plan ? m_parts.plan(m_settings) : nullptr;
    if (!channel || !plan)
        return fail(1004, QStringLiteral("this engine has no way to reach clients"));
    const int transferors = qBound(1, m_settings.value(QStringLiteral("MaxTransferors")).toInt(1), int(clients.size()));
    QString log = setting(m_settings, "TLogFile");
    QString folder = setting(m_settings, "LogPath");
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    log = log.isEmpty() ? QString() : folder + log.replace(QLatin1Char('*'), QStringLiteral("%1"));
    auto pool = std::make_unique<TransferorPool>(m_parts.transferorProgram,
        QStringList {QStringLiteral("--transferor"), QStringLiteral("%1"), QStringLiteral("--log"), log}, transferors);

    m_run = std::make_unique<EngineRun>(m_settings, std::move(channel), std::move(plan), std::move(pool));
    connect(m_run.get(), &EngineRun::status, this, [this](int client, const QString &code) {
        post({{QStringLiteral("e"), QStringLiteral("status")}, {QStringLiteral("n"), client}, {QStringLiteral("code"), code}});
    });
    connect(m_run.get(), &EngineRun::finding, this, [this](int client, int code, const QString &text) {
        post({{QStringLiteral("e"), QStringLiteral("finding")}, {QStringLiteral("n"), client}, {QStringLiteral("code"), code},
            {QStringLiteral("text"), text}});
    });
    connect(m_run.get(), &EngineRun::success, this, [this](int client) {
        post({{QStringLiteral("e"), QStringLiteral("success")}, {QStringLiteral("n"), client}});
    });
    connect(m_run.get(), &EngineRun::pending, this, [this](int client, int tries, const QDateTime &next, const QString &reason) {
        post({{QStringLiteral("e"), QStringLiteral("pending")}, {QStringLiteral("n"), client}, {QStringLiteral("tries"), tries},
            {QStringLiteral("next"), next.toString(Qt::ISODate)}, {QStringLiteral("reason"), reason}});
    });
    connect(m_run.get(), &EngineRun::wave, this, [this](const QString &text, bool line) {
        post({{QStringLiteral("e"), QStringLiteral("wave")}, {QStringLiteral("text"), text}, {QStringLiteral("line"), line}});
    });
    connect(m_run.get(), &EngineRun::lastClient, this, [this] { post({{QStringLiteral("e"), QStringLiteral("last")}}); });
    connect(m_run.get(), &EngineRun::processingComplete, this, [this] {
        m_ending = true;
        post({{QStringLiteral("e"), QStringLiteral("complete")}});
    });
    int number = 0;
    if (!m_run->start(clients, number)) {
        m_run.reset();
        return fail(number, QString());
    }
    if (const QString attach = setting(m_settings, "AttachPath"); !attach.isEmpty()) {
        m_attach = std::make_unique<QLocalServer>();
        m_attach->setSocketOptions(QLocalServer::UserAccessOption);
        QLocalServer::removeServer(attach);
        if (m_attach->listen(attach))
            connect(m_attach.get(), &QLocalServer::newConnection, this, &EngineSession::onAttach);
        else
            m_run->writeLog(QStringLiteral("No console can attach to this run later: ") + m_attach->errorString());
    }
}

void EngineSession::fail(int number, const QString &why)
{
    if (!why.isEmpty())
        std::fprintf(stderr, "varno-osk-engine: %s\n", qPrintable(why));
    m_ending = true;
    post({{QStringLiteral("e"), QStringLiteral("error")}, {QStringLiteral("number"), number}});
}

void EngineSession::post(const QJsonObject &event)
{
    m_outgoing += modEngineLink::Encode(event);
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, &EngineSession::flush);
    }
}

void EngineSession::flush()
{
    m_flushQueued = false;
    if (m_link && m_link->state() == QLocalSocket::ConnectedState) {
        m_link->write(m_outgoing);
        m_link->flush();
    }
    m_outgoing.clear();
    if (m_ending) {
        if (m_link)
            m_link->waitForBytesWritten(5000);
        if (m_attach)
            m_attach->close();
        Q_EMIT finished();
    }
}
