#include "engine/RemoteEngine.h"

#include "common/ConsoleConfig.h"
#include "engine/JobArray.h"
#include "engine/JobColumns.h"
#include "engine/NetworkTestListener.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <csignal>

#include <atomic>

const char *const RemoteEngine::ProgramVariable = "VARNO_OSK_ENGINE";
const QString RemoteEngine::ProgramName = QStringLiteral("varno-osk-engine");

namespace {

// A folder of this run that only this user can enter: it holds the job,
// passwords and all, and the socket the engine program connects to.
QString makeRunFolder(QString &problem)
{
    static std::atomic<int> runs {0};
    // The runtime folder is the user's own and cleared at logout; without one
    // (a service, a cron job) the data folder's stands in.
    const QString base = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")
        ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/varno-osk")
        : QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/varno-osk/run");
    const QString folder = base + QStringLiteral("/engine-%1-%2").arg(QCoreApplication::applicationPid()).arg(++runs);
    QDir().mkpath(base);
    QFile::setPermissions(base, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(folder).removeRecursively();
    if (!QDir().mkdir(folder) || !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        problem = folder;
        return {};
    }
    return folder;
}

} // namespace

RemoteEngine::RemoteEngine(const QString &mode, QObject *parent)
    : QXEHandler(parent)
    , m_mode(mode)
{
    set("Mode", mode);
    // Until the program connects, only its going away tells that it failed.
    m_watch.setInterval(250);
    connect(&m_watch, &QTimer::timeout, this, [this] {
        if (!m_link && !programAlive())
            onProgramEnded();
    });
}

RemoteEngine::~RemoteEngine()
{
    stop();
}

void RemoteEngine::set(const char *name, const QJsonValue &value)
{
    m_settings.insert(QLatin1String(name), value);
}

void RemoteEngine::SetRegistryPath(const QString &path)
{
    set("RegistryPath", path);
    // Only this engine reaches clients over ssh, so the handler's setters
    // have no place for the administrator's ssh_config: it comes with the
    // console's own configuration.
    set("SshConfig", ConsoleConfig().Text(ConsoleConfig::SshConfig));
}

void RemoteEngine::SetProgramFolder(const QString &folder)
{
    m_programFolder = folder;
    set("ProgramFolder", folder);
}

void RemoteEngine::SetLoggingLevel(quint8 level)
{
    set("LoggingLevel", level);
}

void RemoteEngine::SetLogPath(const QString &resultsFolder)
{
    set("LogPath", resultsFolder);
}

void RemoteEngine::SetHandlerLogFile(const QString &fileName)
{
    set("HLogFile", fileName);
}

void RemoteEngine::SetClientLogFile(const QString &fileName)
{
    set("CLogFile", fileName);
}

void RemoteEngine::SetClientStatusFile(const QString &fileName)
{
    set("CStatusFile", fileName);
}

void RemoteEngine::SetStatusPath(const QString &resultsFolder)
{
    set("StatusPath", resultsFolder);
}

void RemoteEngine::SetTransferorLogFile(const QString &pattern)
{
    set("TLogFile", pattern);
}

void RemoteEngine::SetDestPath(const QString &path)
{
    set("DestPath", path);
}

void RemoteEngine::SetDestShare(const QString &share)
{
    set("DestShare", share);
}

void RemoteEngine::SetSourcePath(const QString &path)
{
    set("SourcePath", path);
}

void RemoteEngine::SetKeepAliveIncrement(qint32 seconds)
{
    set("KeepAliveIncrement", seconds);
}

void RemoteEngine::SetListenerIP(const QString &address)
{
    set("ListenerIP", address);
}

void RemoteEngine::SetListenerPort(quint16 port)
{
    set("ListenerPort", port);
}

void RemoteEngine::SetMaxTransferors(quint8 count)
{
    set("MaxTransferors", count);
}

void RemoteEngine::SetReportingPeriod(qint32 seconds)
{
    set("ReportingPeriod", seconds);
}

void RemoteEngine::SetStatusCheckPeriod(qint32 seconds)
{
    set("StatusCheckPeriod", seconds);
}

void RemoteEngine::SetPendingRetry(qint32 retrySeconds, qint32 timeoutSeconds)
{
    set("RetryInterval", retrySeconds);
    set("PendingTimeout", timeoutSeconds);
}

void RemoteEngine::SetWaves(const QList<modEngineLink::JobWave> &waves)
{
    m_waves = waves;
    m_settings.insert(QStringLiteral("Waves"), modEngineLink::EncodeWaves(waves));
}

QString RemoteEngine::programPath() const
{
    const QString given = qEnvironmentVariable(ProgramVariable);
    if (!given.isEmpty())
        return given;
    QString folder = m_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_programFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + ProgramName;
}

void RemoteEngine::SetClients(const JobArray &clients)
{
    m_clients.clear();
    if (m_processing) {
        Q_EMIT Error(1032);
        return;
    }
    QString problem;
    m_runFolder = makeRunFolder(problem);
    if (m_runFolder.isEmpty()) {
        Q_EMIT Error(1043);
        return;
    }
    m_jobFile = m_runFolder + QStringLiteral("/job");
    QFile job(m_jobFile);
    if (!job.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        Q_EMIT Error(1043);
        return;
    }
    job.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    for (int row = 1; row <= clients.Rows(); ++row) {
        modEngineLink::JobClient client;
        client.number = row;
        client.name = clients.Text(ClientColumn::ComputerName, row);
        client.login = clients.Text(ClientColumn::AdminAUsername, row);
        client.askFirst = clients.Text(ClientColumn::AskFirst, row) == QLatin1String("1");
        const QString wave = clients.Text(ClientColumn::Wave, row);
        for (qsizetype index = 0; !wave.isEmpty() && index < m_waves.size(); ++index) {
            if (m_waves.at(index).name.compare(wave, Qt::CaseInsensitive) == 0)
                client.wave = int(index + 1);
        }
        for (const QVariant &entry : clients.Value(ClientColumn::GeneratedFiles, row).toList()) {
            const QVariantList file = entry.toList();
            if (file.size() == 2)
                client.files.append({file.at(0).toString(), file.at(1).toByteArray()});
        }
        job.write(modEngineLink::Encode(modEngineLink::EncodeJobClient(client)));
        m_clients.append({client.name, QStringLiteral("NP")});
    }
    if (!job.flush()) {
        Q_EMIT Error(1043);
        m_clients.clear();
    }
}

void RemoteEngine::StartProcessing()
{
    if (m_processing) {
        Q_EMIT Error(1032);
        return;
    }
    if (m_clients.isEmpty()) {
        Q_EMIT Error(1029);
        return;
    }
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString socketPath = m_runFolder + QStringLiteral("/link");
    if (!m_server->listen(socketPath)) {
        fail(ErrorNotStarted);
        return;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, &RemoteEngine::onConnection);

    // Where a console takes the run back after this one went away; beside
    // the run's folder, which goes when this console is done with it.
    set("AttachPath", m_runFolder + QStringLiteral(".attach"));
    m_processing = true;
    m_complete = false;
    m_leaving = false;
    send({{QStringLiteral("op"), QStringLiteral("settings")}, {QStringLiteral("values"), m_settings}});
    send({{QStringLiteral("op"), QStringLiteral("start")}, {QStringLiteral("job"), m_jobFile}});
    // Detached: a migration outlives a console that is closed with the run
    // left going, or that dies. The link tells when the program ends.
    QProcess launcher;
    launcher.setProgram(programPath());
    launcher.setArguments({QStringLiteral("--link"), socketPath});
    qint64 pid = 0;
    if (!launcher.startDetached(&pid)) {
        onProgramEnded();
        return;
    }
    m_pid = pid;
    m_watch.start();
}

bool RemoteEngine::programAlive() const
{
    return m_pid > 1 && (::kill(pid_t(m_pid), 0) == 0 || errno == EPERM);
}

void RemoteEngine::Leave()
{
    m_leaving = true;
    stop();
}

bool RemoteEngine::Reattach(const QString &attachPath, qint64 pid, const QStringList &clients)
{
    if (m_processing || attachPath.isEmpty())
        return false;
    auto *link = new QLocalSocket(this);
    link->connectToServer(attachPath);
    if (!link->waitForConnected(5000)) {
        delete link;
        return false;
    }
    m_clients.clear();
    for (const QString &name : clients)
        m_clients.append({name, QStringLiteral("NP")});
    m_link = link;
    m_reader = {};
    connect(m_link, &QLocalSocket::readyRead, this, &RemoteEngine::onReadable);
    // Queued: the socket is deleted with the server, never inside its own signal.
    connect(m_link, &QLocalSocket::disconnected, this, &RemoteEngine::onProgramEnded, Qt::QueuedConnection);
    // Another console started it: it is never signalled by a number that may
    // name another process by now, only told over its link.
    Q_UNUSED(pid);
    m_pid = 0;
    m_processing = true;
    m_complete = false;
    m_leaving = false;
    return true;
}

void RemoteEngine::onConnection()
{
    QLocalSocket *socket = m_server->nextPendingConnection();
    if (!socket)
        return;
    if (m_link) {
        // Only the program this run started talks to it.
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_link = socket;
    m_watch.stop();
    connect(m_link, &QLocalSocket::readyRead, this, &RemoteEngine::onReadable);
    // Queued: the socket is deleted with the server, never inside its own signal.
    connect(m_link, &QLocalSocket::disconnected, this, &RemoteEngine::onProgramEnded, Qt::QueuedConnection);
    for (const QByteArray &line : std::as_const(m_waiting))
        m_link->write(line);
    m_waiting.clear();
    m_server->close();
}

void RemoteEngine::send(const QJsonObject &message)
{
    const QByteArray line = modEngineLink::Encode(message);
    if (m_link)
        m_link->write(line);
    else
        m_waiting.append(line);
}

void RemoteEngine::onReadable()
{
    QList<QJsonObject> messages;
    QString problem;
    const bool good = m_reader.read(*m_link, messages, problem);
    for (const QJsonObject &message : std::as_const(messages))
        handle(message);
    if (!good)
        fail(ErrorEnded);
}

void RemoteEngine::handle(const QJsonObject &message)
{
    const QString event = message.value(QStringLiteral("e")).toString();
    const int n = message.value(QStringLiteral("n")).toInt();
    const bool known = n >= 1 && n <= m_clients.size();
    if (event == QLatin1String("status") && known) {
        const QString code = message.value(QStringLiteral("code")).toString();
        m_clients[n - 1].status = code;
        Q_EMIT ClientStatusChanged(n, code);
    } else if (event == QLatin1String("success") && known) {
        Q_EMIT ClientSuccess(n);
    } else if (event == QLatin1String("finding") && known) {
        Q_EMIT ClientFinding(n, message.value(QStringLiteral("code")).toInt(), message.value(QStringLiteral("text")).toString());
    } else if (event == QLatin1String("pending") && known) {
        Q_EMIT ClientPending(n, message.value(QStringLiteral("tries")).toInt(),
            QDateTime::fromString(message.value(QStringLiteral("next")).toString(), Qt::ISODate),
            message.value(QStringLiteral("reason")).toString());
    } else if (event == QLatin1String("wave")) {
        Q_EMIT WaveProgress(message.value(QStringLiteral("text")).toString(), message.value(QStringLiteral("line")).toBool());
    } else if (event == QLatin1String("last")) {
        Q_EMIT LastClient();
    } else if (event == QLatin1String("error")) {
        // The engine's error ends the run; the program ending after it is no second failure.
        m_processing = false;
        Q_EMIT Error(message.value(QStringLiteral("number")).toInt());
    } else if (event == QLatin1String("test")) {
        Q_EMIT TestReceived();
    } else if (event == QLatin1String("complete")) {
        m_complete = true;
        m_processing = false;
        // The program ends with its run; the run's folder goes with it.
        QMetaObject::invokeMethod(this, &RemoteEngine::stop, Qt::QueuedConnection);
        Q_EMIT ProcessingComplete();
    }
}

void RemoteEngine::onProgramEnded()
{
    if (m_link)
        onReadable();
    if (m_processing && !m_complete)
        fail(m_link ? ErrorEnded : ErrorNotStarted);
    stop();
}

void RemoteEngine::fail(int number)
{
    if (!m_processing)
        return;
    m_processing = false;
    for (int n = 1; n <= m_clients.size(); ++n) {
        const QString &status = m_clients.at(n - 1).status;
        if (!status.startsWith(QLatin1Char('X'))) {
            m_clients[n - 1].status = QStringLiteral("XE");
            Q_EMIT ClientStatusChanged(n, QStringLiteral("XE"));
        }
    }
    Q_EMIT Error(number);
    stop();
}

void RemoteEngine::stop()
{
    m_watch.stop();
    if (m_link)
        m_link->disconnect(this);
    // Left going, the program carries on without this console; else it is
    // told to end, and the one this console started is made to when it does
    // not. A program that said its run is complete ends by itself.
    if (!m_leaving && !m_complete && m_link && m_link->state() == QLocalSocket::ConnectedState) {
        m_link->write(modEngineLink::Encode({{QStringLiteral("op"), QStringLiteral("end")}}));
        m_link->flush();
        m_link->waitForDisconnected(3000);
    }
    if (m_pid > 0 && !m_leaving && !m_complete && programAlive()) {
        QDeadlineTimer gone(2000);
        if (programAlive())
            ::kill(pid_t(m_pid), SIGTERM);
        while (programAlive() && !gone.hasExpired())
            QThread::msleep(20);
        if (programAlive())
            ::kill(pid_t(m_pid), SIGKILL);
    }
    m_pid = 0;
    if (m_link) {
        m_link->disconnect(this);
        m_link->deleteLater();
        m_link = nullptr;
    }
    m_server.reset();
    m_waiting.clear();
    if (!m_runFolder.isEmpty()) {
        QDir(m_runFolder).removeRecursively();
        m_runFolder.clear();
    }
}

void RemoteEngine::CancelAll()
{
    if (m_processing)
        send({{QStringLiteral("op"), QStringLiteral("cancelAll")}});
}

void RemoteEngine::AbortAll()
{
    if (m_processing)
        send({{QStringLiteral("op"), QStringLiteral("abortAll")}});
}

void RemoteEngine::CancelClient(int client)
{
    if (m_processing)
        send({{QStringLiteral("op"), QStringLiteral("cancel")}, {QStringLiteral("n"), client}});
}

void RemoteEngine::AbortClient(int client)
{
    if (m_processing)
        send({{QStringLiteral("op"), QStringLiteral("abort")}, {QStringLiteral("n"), client}});
}

ClientStatusRecord RemoteEngine::GetClientStatus(int client) const
{
    if (client < 1 || client > m_clients.size())
        return {};
    return {client, m_clients.at(client - 1).status, m_clients.at(client - 1).name, 0};
}

void RemoteEngine::NetworkTestStart(qint32 address, qint32 port)
{
    if (port < 0 || port > 65535) {
        Q_EMIT Error(1027);
        return;
    }
    if (!m_networkTest) {
        m_networkTest = new NetworkTestListener(this);
        connect(m_networkTest, &NetworkTestListener::KeyReceived, this, &RemoteEngine::TestReceived);
    }
    if (const int failure = m_networkTest->Start(UnpackAddress(address), static_cast<quint16>(port)); failure != 0)
        Q_EMIT Error(failure);
}

void RemoteEngine::NetworkTestEnd()
{
    if (m_networkTest)
        m_networkTest->Stop();
}

void RemoteEngine::WriteLog(quint8 level, int number, const QString &text)
{
    if (m_processing)
        send({{QStringLiteral("op"), QStringLiteral("log")}, {QStringLiteral("level"), level}, {QStringLiteral("number"), number},
            {QStringLiteral("text"), text}});
}
