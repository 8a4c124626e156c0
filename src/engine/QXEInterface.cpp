#include "engine/QXEInterface.h"

#include "common/AppState.h"
#include "common/ConsoleConfig.h"
#include "common/RunState.h"
#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "common/modGeneral.h"
#include "engine/ClientConfig.h"
#include "engine/JobColumns.h"
#include "engine/QXEHandler.h"
#include "engine/RemoteEngine.h"
#include "engine/modEngine.h"
#include "engine/modStrings.h"
#include "network/modNetwork.h"

#include <QCoreApplication>

#include <optional>

namespace {

const QString kNoKeyForNode = QStringLiteral("Unable to find QXE key for selected node.");

// What Run reads from the console's key, with the defaults it falls back on.
struct RunValues
{
    QString clientLogFile;
    QString clientStatusFile;
    QString destPath;
    QString destShare;
    QString handlerLogFile;
    int keepAliveIncrement = 0;
    int loggingLevel = 0;
    int maxTransferors = 0;
    int reportingPeriod = 0;
    QString sourcePath;
    int statusCheckPeriod = 0;
    QString transferorLogFile;
    int retryInterval = 0;
    int pendingTimeout = 0;
};

} // namespace

QXEInterface::QXEInterface(QObject *parent)
    : QXEInterface(modEngine::CreateHandler(), parent)
{ }

QXEInterface::QXEInterface(std::unique_ptr<QXEHandler> engine, QObject *parent)
    : QObject(parent)
    , m_catalogue(std::make_unique<DispatchWrapper>())
    , m_engine(std::move(engine))
    , m_regPath(AppState::Get().AppKeyPath)
{
    setRunning(false);
    m_engine->SetRegistryPath(EngineRegistryPath());
    m_engine->SetProgramFolder(modGeneral::ProgramFolder());
    connectEngine();
}

QXEInterface::~QXEInterface()
{
    m_clientArray.Erase();
    m_settingsArray.Erase();
    m_translationArray.Erase();
    if (m_engine)
        m_engine->disconnect(this);
}

QString QXEInterface::EngineRegistryPath()
{
    return AppState::Get().AppKeyPath + QStringLiteral("\\Handler");
}

void QXEInterface::connectEngine()
{
    QXEHandler *engine = m_engine.get();
    connect(engine, &QXEHandler::ClientStatusChanged, this, &QXEInterface::engineClientStatusChanged);
    connect(engine, &QXEHandler::ClientSuccess, this, &QXEInterface::engineClientSuccess);
    connect(engine, &QXEHandler::Error, this, &QXEInterface::engineError);
    connect(engine, &QXEHandler::LastClient, this, &QXEInterface::LastClient);
    connect(engine, &QXEHandler::ProcessingComplete, this, &QXEInterface::engineProcessingComplete);
    connect(engine, &QXEHandler::TestReceived, this, &QXEInterface::engineTestReceived);
    connect(engine, &QXEHandler::ClientFinding, this, [this](int client, int code, const QString &text) {
        modErrorHandler::Guard("QXEInterface.QXE_ClientFinding", [&] { Q_EMIT ClientFinding(m_translationArray.At(client), code, text); });
    });
    connect(engine, &QXEHandler::ClientPending, this, [this](int client, int tries, const QDateTime &next, const QString &reason) {
        modErrorHandler::Guard(
            "QXEInterface.QXE_ClientPending", [&] { Q_EMIT ClientPending(m_translationArray.At(client), tries, next, reason); });
    });
    connect(engine, &QXEHandler::WaveProgress, this, &QXEInterface::WaveProgress);
}

void QXEInterface::setRunning(bool running)
{
    if (running)
        RunState::instance().startMigration();
    else
        RunState::instance().backToEditing();
}

bool QXEInterface::running()
{
    return RunState::instance().running();
}

void QXEInterface::ExportJob(JobExport &database)
{
    m_clientArray.Erase();
    m_settingsArray.Erase();
    m_translationArray.Erase();
    database.ExportArrays(m_clientArray, m_settingsArray, m_translationArray, [this](int row) { return CreateConfigFile(row); });
}

bool QXEInterface::StreamJob(JobExport &database, const JobExport::RowVisitor &visit)
{
    return database.ExportRows(
        [this](const JobExport::Row &row) { return configFile(row.Clients, row.Settings, 1, row.Client); }, visit);
}

void QXEInterface::SetListenerAddressSource(std::function<QString()> source)
{
    m_listenerAddressSource = std::move(source);
}

QString QXEInterface::ListenerAddress() const
{
    if (m_listenerAddressSource)
        return m_listenerAddressSource();
    return modNetwork::GetListenerIP(ConsoleConfig(m_regPath));
}

QString QXEInterface::ComputerName(int client) const
{
    return m_clientArray.Text(ClientColumn::ComputerName, client);
}

// Node keys and client numbers ------------------------------------------------

int QXEInterface::CDBtoQXE(int computerId)
{
    if (!m_translationArray.Exists()) {
        modErrorHandler::ShowMessage(modErrorHandler::Error, QStringLiteral("Translation array not initialized."));
        return -1;
    }
    // Events run during the scan and may start a new run that replaces the
    // array; the scan keeps to the array it began with.
    const QList<qint32> ids = m_translationArray.Ids();
    const int lower = 1;
    const int upper = static_cast<int>(ids.size());
    if (upper < lower)
        return -1;

    const bool fromLower = qint64(computerId) - lower <= qint64(upper) - computerId;
    const int first = fromLower ? lower : upper;
    const int last = fromLower ? upper : lower;
    const int direction = fromLower ? 1 : -1;
    for (int row = first;; row += direction) {
        if (ids.at(row - 1) == computerId)
            return row;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        if (row == last)
            break;
    }
    return -1;
}

int QXEInterface::clientForNodeKey(const QString &nodeKey)
{
    bool numeric = false;
    const int id = nodeKey.mid(1).toInt(&numeric);
    // Not a computer's key at all: no client can match it.
    return CDBtoQXE(numeric ? id : -1);
}

QString QXEInterface::SimpleClientStatus(const QString &nodeKey)
{
    QString status;
    modErrorHandler::Guard("QXEInterface.SimpleClientStatus", [&] {
        const int client = clientForNodeKey(nodeKey);
        if (client < 0) {
            modErrorHandler::ShowMessage(modErrorHandler::Warning,
                QStringLiteral("Unable to find QXE key for selected node (") + QString::number(client) + QStringLiteral(")."));
            return;
        }
        status = m_engine->GetClientStatus(client).StatusCode;
    });
    return status;
}

void QXEInterface::AbortAll()
{
    if (!running())
        return;
    modErrorHandler::Guard("QXEInterface.AbortAll", [&] { m_engine->AbortAll(); });
}

void QXEInterface::CancelAll()
{
    if (!running())
        return;
    modErrorHandler::Guard("QXEInterface.CancelAll", [&] { m_engine->CancelAll(); });
}

void QXEInterface::AbortClient(const QString &nodeKey)
{
    if (!running())
        return;
    modErrorHandler::Guard("QXEInterface.AbortClient", [&] {
        const int client = clientForNodeKey(nodeKey);
        if (client < 0) {
            modErrorHandler::ShowMessage(modErrorHandler::Warning, kNoKeyForNode);
            return;
        }
        m_engine->AbortClient(client);
    });
}

void QXEInterface::CancelClient(const QString &nodeKey)
{
    if (!running())
        return;
    modErrorHandler::Guard("QXEInterface.CancelClient", [&] {
        const int client = clientForNodeKey(nodeKey);
        if (client < 0) {
            modErrorHandler::ShowMessage(modErrorHandler::Warning, kNoKeyForNode);
            return;
        }
        m_engine->CancelClient(client);
    });
}

// The configuration file -----------------------------------------------------------

QByteArray QXEInterface::CreateConfigFile(int client)
{
    return configFile(m_clientArray, m_settingsArray, client, client);
}

QByteArray QXEInterface::configFile(const JobArray &clients, const JobArray &settings, int row, int client)
{
    QByteArray file;
    modErrorHandler::Guard("QXEInterface.CreateConfigFile", [&] {
        if (!clients.Contains(ClientColumn::ComputerName, row) || !settings.Contains(SettingsColumn::SourceUsers, row))
            modErrorHandler::Raise(9);
        auto c = [&](int column) { return clients.Text(column, row); };
        auto s = [&](int column) { return settings.Text(column, row); };
        // In the order of ClientConfig::Keys().
        using namespace SettingsColumn;
        const QStringList values = {
            ClientConfig::Version,
            m_consoleIP,
            QString::number(m_listenerPort),
            c(ClientColumn::AdminAUsername),
            c(ClientColumn::AdminAPassword),
            c(ClientColumn::AdminADomain),
            c(ClientColumn::AdminBUsername),
            c(ClientColumn::AdminBPassword),
            c(ClientColumn::AdminBDomain),
            c(ClientColumn::ComputerName),
            s(DestinationUsers),
            s(DestinationDomain),
            s(ForceReboot),
            QString::number(client), // KEY
            s(MinFreeSpace),
            s(ProfileActions),
            s(RebootPermitted),
            s(DestinationDCIP),
            s(DestinationDCName),
            s(DestinationLookupAccount),
            s(DestinationLookupPassword),
            s(JoinDomain),
            s(JoinDCName),
            s(JoinDCIP),
            s(JoinAccount),
            s(JoinPassword),
            s(Workgroup),
            s(OverwriteProfile),
            s(SourceDCIP),
            s(SourceDCName),
            s(SourceSIDs),
            s(SourceLookupAccount),
            s(SourceLookupPassword),
            s(SourceUsers),
            s(SourceDomain),
        };
        const QString text = ClientConfig::Compose(values);
        file = m_random ? modScramble::Scramble(text, m_random) : modScramble::Scramble(text);
    });
    return file;
}

// Network test ------------------------------------------------------------------

void QXEInterface::NetworkTestStart(qint32 address, qint32 port)
{
    modErrorHandler::Guard("QXEInterface.NetworkTestStart", [&] {
        Q_EMIT Progress(m_catalogue->MessageText(4008));
        m_engine->NetworkTestStart(address, port);
    });
}

void QXEInterface::NetworkTestEnd()
{
    modErrorHandler::Guard("QXEInterface.NetworkTestEnd", [&] {
        Q_EMIT Progress(m_catalogue->MessageText(4009));
        m_engine->NetworkTestEnd();
    });
}

// Run ------------------------------------------------------------------------------

QString QXEInterface::RunFailureText(int number) const
{
    switch (number) {
    case 1022:
        return modStrings::LoadResString(1022);
    case 1021:
    case 1027:
    case 1028:
    case 1029:
    case 1032:
    case 1033:
    case 1043:
    case 1044:
        return m_catalogue->MessageText(number);
    default:
        return QStringLiteral("Error in QXEInterface.Run. ") + m_catalogue->MessageText(9999) + QLatin1Char(' ') + QString::number(number);
    }
}

void QXEInterface::Run(JobExport &database)
{
    start(database, modGeneral::GetLogPath(), false);
}

void QXEInterface::Run(JobExport &database, const QString &resultsFolder)
{
    start(database, resultsFolder, false);
}

bool QXEInterface::Reattach(const EngineJournal::Contents &journal, const QList<qint32> &computerIds)
{
    if (computerIds.size() != journal.clients.size())
        return false;
    setRunning(true);
    m_clientArray.Erase();
    m_settingsArray.Erase();
    m_translationArray.Erase();
    m_translationArray.Create(int(computerIds.size()));
    for (int row = 1; row <= computerIds.size(); ++row)
        m_translationArray[row] = computerIds.at(row - 1);
    m_clientCount = int(computerIds.size());
    if (!m_engine->Reattach(journal.attach, journal.pid, journal.clients)) {
        m_translationArray.Erase();
        setRunning(false);
        return false;
    }
    return true;
}

void QXEInterface::Leave()
{
    m_engine->Leave();
}

void QXEInterface::Check(JobExport &database, const QString &resultsFolder)
{
    start(database, resultsFolder, true);
}

void QXEInterface::start(JobExport &database, const QString &resultsFolder, bool check)
{
    if (check)
        RunState::instance().startClientCheck();
    else
        setRunning(true);

    bool busy = false;
    auto finish = [&] {
        if (busy)
            Q_EMIT BusyChanged(false);
    };

    try {
        const ConsoleConfig config(m_regPath);
        bool readFailed = false;
        auto text = [&](ConsoleConfig::Value value) {
            QString read;
            readFailed = !config.Read(value, read) || readFailed;
            return read;
        };
        auto number = [&](ConsoleConfig::Value value) {
            int read = 0;
            readFailed = !config.Read(value, read) || readFailed;
            return read;
        };

        using Config = ConsoleConfig;
        RunValues v;
        v.clientLogFile = text(Config::CLogFile);
        v.clientStatusFile = text(Config::CStatusFile);
        v.destPath = text(Config::DestPath);
        v.destShare = text(Config::DestShare);
        v.handlerLogFile = text(Config::HLogFile);
        v.keepAliveIncrement = number(Config::KeepAliveIncrement);
        v.loggingLevel = number(Config::LoggingLevel);
        v.maxTransferors = number(Config::MaxTransferors);
        v.reportingPeriod = number(Config::ReportingPeriod);
        v.sourcePath = text(Config::SourcePath);
        v.statusCheckPeriod = number(Config::StatusCheckPeriod);
        v.transferorLogFile = text(Config::TLogFile);
        v.retryInterval = number(Config::RetryInterval);
        v.pendingTimeout = number(Config::PendingTimeout);

        if (readFailed) {
            Q_EMIT Message(LevelError, m_catalogue->MessageText(1003));
            Q_EMIT Progress(modStrings::LoadResString(modStrings::ExecutionCanceled));
            finish();
            // No engine was started, so nothing would ever end the run.
            setRunning(false);
            return;
        }

        m_listenerIP = ListenerAddress();
        if (m_listenerIP.isEmpty())
            modErrorHandler::Raise(1021);

        int port = number(Config::ListenerPort);
        // A port the engine's 16 bits cannot hold is as unusable as one below 1.
        if (port < 1 || port > 65535)
            port = Config::DefaultListenerPort;
        m_listenerPort = port;
        const QString consoleIP = text(Config::ConsoleIP);
        m_consoleIP = modFormat::IsValidIPAddress(consoleIP) ? consoleIP : m_listenerIP;

        busy = true;
        Q_EMIT BusyChanged(true);
        Q_EMIT Progress(modStrings::LoadResString(modStrings::BuildingMigrationList));

        // An export that finds no computer leaves the arrays alone; erased
        // first, they cannot pass off the last run's clients as this one's.
        m_clientArray.Erase();
        m_settingsArray.Erase();
        m_translationArray.Erase();
        database.ExportArrays(m_clientArray, m_settingsArray, m_translationArray, [this](int row) { return CreateConfigFile(row); });
        if (!m_translationArray.Exists() || m_translationArray.Rows() < 1 || m_clientArray.Rows() < 1)
            modErrorHandler::Raise(1022);

        Q_EMIT Progress(modStrings::LoadResString(modStrings::ProcessingEntries));

        QXEHandler &engine = *m_engine;
        engine.SetLoggingLevel(static_cast<quint8>(qBound(0, v.loggingLevel, 255)));
        engine.SetLogPath(resultsFolder);
        engine.SetHandlerLogFile(v.handlerLogFile);
        engine.SetClientLogFile(v.clientLogFile);
        engine.SetClientStatusFile(v.clientStatusFile);
        engine.SetStatusPath(resultsFolder);
        engine.SetTransferorLogFile(v.transferorLogFile);
        engine.SetDestPath(v.destPath);
        engine.SetDestShare(v.destShare);
        engine.SetSourcePath(v.sourcePath);
        engine.SetKeepAliveIncrement(v.keepAliveIncrement);
        engine.SetListenerIP(m_listenerIP);
        engine.SetListenerPort(static_cast<quint16>(m_listenerPort));
        engine.SetMaxTransferors(static_cast<quint8>(qBound(0, v.maxTransferors, 255)));
        engine.SetReportingPeriod(v.reportingPeriod);
        engine.SetStatusCheckPeriod(v.statusCheckPeriod);
        // A readiness check wants its answer now: a client that cannot be
        // reached is a finding of the check, not one to wait for.
        if (!check) {
            engine.SetPendingRetry(qBound(Config::RetryIntervalMin, v.retryInterval, Config::RetryIntervalMax),
                v.pendingTimeout <= 0 ? 0 : qBound(Config::PendingTimeoutMin, v.pendingTimeout, Config::PendingTimeoutMax));
            engine.SetWaves(database.Waves());
        }
        engine.SetClients(m_clientArray);
        engine.StartProcessing();
    } catch (...) {
        const modErrorHandler::ErrorInfo error = modErrorHandler::ClassifyCurrentException();
        const int failure = error.Number;
        if (running()) {
            QString text = RunFailureText(failure);
            // The engine names the folder or file of the results it could not use.
            if (failure == 1043 && !error.Description.isEmpty())
                text += QStringLiteral("\r\r") + error.Description;
            Q_EMIT Message(failure == 1022 ? LevelWarning : LevelError, text);
            setRunning(false);
        }
    }
    finish();
}

// Engine events -------------------------------------------------------------------

QString QXEInterface::EngineErrorText(int number) const
{
    switch (number) {
    case 1002:
    case 1004:
    case 1021:
    case 1027:
    case 1028:
    case 1029:
    case 1032:
    case 1033:
    case 1044:
    // The engine program's own failures: not the Handler's, but an
    // administrator needs their words, not a number.
    case RemoteEngine::ErrorNotStarted:
    case RemoteEngine::ErrorEnded:
        return m_catalogue->MessageText(number);
    default:
        break;
    }

    struct Part
    {
        int base;
        const char *text;
    };
    static constexpr Part parts[] = {
        {6'000'000, "Error in whnHandler.ProcessClient."},
        {5'000'000, "Error in whnHandler.LoadGeneralTransferorSettings."},
        {4'000'000, "Error in whnHandler.ErrorNumber."},
        {3'000'000, "Error in whnHandler.CheckStatus."},
        {2'000'000, "Error in whnHandler.GetClientStatus."},
        {1'000'000, "Error in whnHandler.Execute."},
    };
    QString where = QStringLiteral("Error whnHandler.");
    qint64 rest = number;
    for (const Part &part : parts) {
        if (number >= part.base) {
            where = QString::fromLatin1(part.text);
            rest = qint64(number) - part.base;
            break;
        }
    }
    return where + QStringLiteral("  ") + m_catalogue->MessageText(9999) + QLatin1Char(' ') + QString::number(rest);
}

void QXEInterface::engineError(int number)
{
    const QString text = EngineErrorText(number);
    setRunning(false);
    Q_EMIT EditColorsRequested();
    Q_EMIT Message(LevelError, text);
}

void QXEInterface::engineClientStatusChanged(int client, const QString &status)
{
    modErrorHandler::Guard("QXEInterface.QXE_ClientStatusChanged", [&] {
        const int computerId = m_translationArray.At(client);
        Q_EMIT ClientStatusChanged(computerId, status);
    });
}

void QXEInterface::engineClientSuccess(int client)
{
    modErrorHandler::Guard("QXEInterface.QXE_ClientSuccess", [&] {
        // The users ride inside {DATA}, so that the line still ends with the text's own full stop.
        QString data = QStringLiteral(" - ") + ComputerName(client);
        const QString sourceUsers = m_settingsArray.Text(SettingsColumn::SourceUsers, client);
        if (!sourceUsers.isEmpty())
            data += QStringLiteral(": ") + sourceUsers + QStringLiteral(" -> ")
                + m_settingsArray.Text(SettingsColumn::DestinationUsers, client);
        QString line = modStrings::LoadResString(modStrings::MigrationSuccessful);
        line.replace(QStringLiteral("{DATA}"), data);
        m_engine->WriteLog(QXEHandler::LogLevelSuccess, modStrings::MigrationSuccessful, line);
    });
}

void QXEInterface::engineProcessingComplete()
{
    // The clients and their configuration files are the engine's no more;
    // the translation stays for the statuses asked after the run.
    m_clientArray.Erase();
    m_settingsArray.Erase();
    Q_EMIT ProcessingComplete();
}

void QXEInterface::engineTestReceived()
{
    const QString text = m_catalogue->MessageText(3027);
    RunState::instance().testReceived();
    Q_EMIT Progress(text);
    Q_EMIT Message(LevelInformation, text);
    Q_EMIT TestReceived();
}
