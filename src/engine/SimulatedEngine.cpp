#include "engine/SimulatedEngine.h"

#include "common/Clock.h"
#include "common/modErrorHandler.h"
#include "common/modFileRead.h"
#include "common/modFormat.h"
#include "common/modRegistry.h"
#include "common/modRehearsal.h"
#include "common/modText.h"
#include "engine/ClientConfig.h"
#include "engine/JobColumns.h"
#include "engine/NetworkTestListener.h"
#include "engine/TimerScheduler.h"
#include "engine/modScramble.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <limits>

const char *const SimulatedEngine::ProfileVariable = "VARNO_OSK_SIMULATION";
const QString SimulatedEngine::ProfileValueName = QStringLiteral("SimulationProfile");

namespace {

constexpr int kLoadSteps = 10; // "L0" to "L9"

// Engine error numbers: the millions name the part of the Handler that failed.
constexpr int kProfileUnreadable = 5'000'001;
constexpr int kProfileInvalid = 5'000'002;

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString valueOr(const QString &value, const QString &otherwise)
{
    return value.isEmpty() ? otherwise : value;
}

} // namespace

SimulatedEngine::SimulatedEngine(std::unique_ptr<EngineScheduler> scheduler, QObject *parent)
    : QXEHandler(parent)
    , m_scheduler(scheduler ? std::move(scheduler) : std::make_unique<TimerScheduler>())
    , m_listener(new NetworkTestListener(this))
{
    m_clients.resize(1);
    connect(m_listener, &NetworkTestListener::Connected, this,
        [this](const QString &peer) { handlerLine(QStringLiteral("Network test: connection from %1.").arg(peer)); });
    connect(m_listener, &NetworkTestListener::KeyReceived, this, [this](const QString &peer) {
        handlerLine(QStringLiteral("Network test: %1 completed the test.").arg(peer));
        Q_EMIT TestReceived();
    });
}

SimulatedEngine::~SimulatedEngine()
{
    // Pending steps refer to this engine; they must never run.
    m_scheduler->CancelAll();
    closeLogs();
}

// Properties ---------------------------------------------------------------

void SimulatedEngine::SetRegistryPath(const QString &path)
{
    m_settings.registryPath = path;
}
void SimulatedEngine::SetProgramFolder(const QString &folder)
{
    m_settings.programFolder = folder;
}
void SimulatedEngine::SetLoggingLevel(quint8 level)
{
    m_settings.loggingLevel = level;
}
void SimulatedEngine::SetLogPath(const QString &resultsFolder)
{
    m_settings.logPath = resultsFolder;
}
void SimulatedEngine::SetHandlerLogFile(const QString &fileName)
{
    m_settings.handlerLogFile = fileName;
}
void SimulatedEngine::SetClientLogFile(const QString &fileName)
{
    m_settings.clientLogFile = fileName;
}
void SimulatedEngine::SetClientStatusFile(const QString &fileName)
{
    m_settings.clientStatusFile = fileName;
}
void SimulatedEngine::SetStatusPath(const QString &resultsFolder)
{
    m_settings.statusPath = resultsFolder;
}
void SimulatedEngine::SetTransferorLogFile(const QString &pattern)
{
    m_settings.transferorLogFile = pattern;
}
void SimulatedEngine::SetDestPath(const QString &path)
{
    m_settings.destPath = path;
}
void SimulatedEngine::SetDestShare(const QString &share)
{
    m_settings.destShare = share;
}
void SimulatedEngine::SetSourcePath(const QString &path)
{
    m_settings.sourcePath = path;
}
void SimulatedEngine::SetKeepAliveIncrement(qint32 seconds)
{
    m_settings.keepAliveIncrement = seconds;
}
void SimulatedEngine::SetListenerIP(const QString &address)
{
    m_settings.listenerIP = address;
}
void SimulatedEngine::SetListenerPort(quint16 port)
{
    m_settings.listenerPort = port;
}
void SimulatedEngine::SetMaxTransferors(quint8 count)
{
    m_settings.maxTransferors = count;
}
void SimulatedEngine::SetReportingPeriod(qint32 seconds)
{
    m_settings.reportingPeriod = seconds;
}
void SimulatedEngine::SetStatusCheckPeriod(qint32 seconds)
{
    m_settings.statusCheckPeriod = seconds;
}

void SimulatedEngine::SetClients(const JobArray &clients)
{
    m_clientArray = clients;
}

void SimulatedEngine::SetProfile(const SimulationProfile &profile)
{
    m_fixedProfile = profile;
}

void SimulatedEngine::ClearProfile()
{
    m_fixedProfile.reset();
}

int SimulatedEngine::TransferorCount() const
{
    return qBound(1, static_cast<int>(m_settings.maxTransferors), MaxTransferorsLimit);
}

quint16 SimulatedEngine::TestPort() const
{
    return m_listener->Port();
}

QString SimulatedEngine::SafeFileName(const QString &name)
{
    QString safe = name;
    for (QChar &c : safe) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 32 || c.unicode() == 127)
            c = QLatin1Char('_');
    }
    if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String(".."))
        safe = QStringLiteral("_") + safe;
    return safe;
}

QString SimulatedEngine::clientFolderName(int client) const
{
    return QStringLiteral("clients/") + SafeFileName(m_clients[client].name);
}

QString SimulatedEngine::ClientFolder(int client) const
{
    if (!validClient(client))
        return QString();
    return joinPath(m_settings.logPath, clientFolderName(client) + QLatin1Char('/'));
}

QString SimulatedEngine::ClientLogPath(int client) const
{
    if (!validClient(client) || m_clients[client].logStamp == 0)
        return QString();
    return joinPath(m_settings.logPath, clientLogName(client));
}

QString SimulatedEngine::clientLogName(int client) const
{
    return SafeFileName(m_clients[client].name) + QLatin1Char('-') + QString::number(m_clients[client].logStamp) + QStringLiteral(".log");
}

QString SimulatedEngine::transferorLogName(int transferor) const
{
    QString name = m_settings.transferorLogFile;
    if (name.contains(QLatin1Char('*'))) {
        name.replace(QLatin1Char('*'), QString::number(transferor));
    } else {
        // A pattern without "*" still has to give each transferor its own log.
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        name.insert(dot < 0 ? name.size() : dot, QString::number(transferor));
    }
    return name;
}

// Starting a run --------------------------------------------------------------

bool SimulatedEngine::loadProfile(QString *problem)
{
    if (m_fixedProfile) {
        m_profile = *m_fixedProfile;
        return true;
    }
    m_profile = SimulationProfile();
    QString path = QProcessEnvironment::systemEnvironment().value(QString::fromLatin1(ProfileVariable));
    if (path.isEmpty() && !m_settings.registryPath.isEmpty())
        path = modRegistry::GetSettingString(m_settings.registryPath, ProfileValueName);
    if (path.isEmpty())
        return true;
    handlerLine(QStringLiteral("Simulation profile: %1").arg(path));
    return m_profile.Load(path, problem);
}

void SimulatedEngine::StartProcessing()
{
    if (m_processing)
        modErrorHandler::Raise(1032, QStringLiteral("The Handler is already processing a migration."));
    if (!m_clientArray.Exists() || m_clientArray.Rows() < 1 || m_clientArray.Columns() < ClientColumn::Count)
        modErrorHandler::Raise(1029, QStringLiteral("The client array has no rows or fewer than 10 columns."));
    closeLogs();
    // The clients' logs may quote their accounts: the results folder is the owner's alone.
    if (m_settings.logPath.isEmpty() || !m_results.Open(m_settings.logPath))
        modErrorHandler::Raise(1043, m_results.ErrorString());
    const QString statusPath = valueOr(m_settings.statusPath, m_settings.logPath);
    PrivateFolder *statusFolder = &m_results;
    if (QDir(statusPath) != QDir(m_settings.logPath)) {
        if (!m_statusFolder.Open(statusPath))
            modErrorHandler::Raise(1043, m_statusFolder.ErrorString());
        statusFolder = &m_statusFolder;
    }
    if (!m_handlerLog.Open(m_results, m_settings.handlerLogFile))
        modErrorHandler::Raise(1043, QStringLiteral("The handler log could not be written: %1").arg(m_handlerLog.ErrorString()));
    if (!m_settings.clientStatusFile.isEmpty() && !m_statusFile.Open(*statusFolder, m_settings.clientStatusFile))
        modErrorHandler::Raise(1043, QStringLiteral("The client status file could not be written: %1").arg(m_statusFile.ErrorString()));
    if (!statusFolder->Write(QString::fromLatin1(modRehearsal::MarkerFile), modRehearsal::FirstLine().toUtf8() + '\n'))
        modErrorHandler::Raise(1043, QStringLiteral("The rehearsal's mark could not be written beside the client status file."));

    const int count = m_clientArray.Rows();
    m_clients.clear();
    m_clients.resize(static_cast<size_t>(count) + 1);
    for (int n = 1; n <= count; ++n)
        m_clients[n].name = m_clientArray.Text(ClientColumn::ComputerName, n);
    m_next = 1;
    m_pending = count;
    m_active = 0;
    m_ended = 0;
    m_steps = 0;
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    m_lastClientRaised = false;
    m_begun = false;
    m_transferorBusy.assign(static_cast<size_t>(TransferorCount()) + 1, false);
    m_transferorLogs.clear();
    m_transferorLogs.resize(static_cast<size_t>(TransferorCount()) + 1);
    m_processing = true;

    const quint32 run = ++m_run;
    // The call returns at once; the run itself begins on the next turn of the scheduler.
    m_scheduler->Schedule(0, [this, run] { beginRun(run); });
}

void SimulatedEngine::beginRun(quint32 run)
{
    if (run != m_run || !m_processing)
        return;
    m_begun = true;
    const int count = static_cast<int>(m_clients.size()) - 1;
    // Whoever opens the handler log alone must see at once that nothing was
    // migrated.
    handlerLine(modRehearsal::FirstLine());
    handlerLine(QStringLiteral("Varno-Osk Handler (simulated) starts processing %1 client(s).").arg(count));
    handlerLine(QStringLiteral("Results folder: %1").arg(m_settings.logPath));
    handlerLine(QStringLiteral("Listener: %1:%2; transferors: %3; reporting period %4 s; status check period %5 s; keep alive %6 s.")
                    .arg(m_settings.listenerIP)
                    .arg(m_settings.listenerPort)
                    .arg(TransferorCount())
                    .arg(m_settings.reportingPeriod)
                    .arg(m_settings.statusCheckPeriod)
                    .arg(m_settings.keepAliveIncrement));
    handlerLine(QStringLiteral("Client files from %1 to %2\\%3.").arg(m_settings.sourcePath, m_settings.destShare, m_settings.destPath));

    QString problem;
    if (!loadProfile(&problem)) {
        const bool unreadable = !problem.contains(QStringLiteral(", line "));
        failEngine(unreadable ? kProfileUnreadable : kProfileInvalid, problem);
        return;
    }
    handlerLine(QStringLiteral("Time per step: %1 ms.").arg(m_profile.StepMs));
    dispatch();
    checkComplete();
}

void SimulatedEngine::dispatch()
{
    if (!m_begun)
        return; // commands that end clients before the run begins start nobody
    const int count = static_cast<int>(m_clients.size()) - 1;
    while (m_processing && m_active < TransferorCount() && m_next <= count) {
        const int n = m_next++;
        if (m_clients[n].phase != Phase::Pending)
            continue; // cancelled or aborted before its turn
        startClient(n);
    }
}

void SimulatedEngine::startClient(int n)
{
    Client &c = m_clients[n];
    int transferor = 1;
    while (transferor < static_cast<int>(m_transferorBusy.size()) && m_transferorBusy[transferor])
        ++transferor;
    m_transferorBusy[transferor] = true;
    c.transferor = transferor;
    c.phase = Phase::Started;
    c.outcome = m_profile.OutcomeFor(c.name);
    ++m_active;

    const QString stamp = Clock::instance().currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
    c.log = std::make_unique<EngineLogFile>();
    c.problem.clear();
    c.logStamp = stamp.toULongLong();
    if (!c.log->Open(m_results, clientLogName(n)))
        handlerLine(QStringLiteral("Client %1 (%2): the client log could not be written: %3").arg(n).arg(c.name, c.log->ErrorString()));
    c.log->Line(QStringLiteral("Varno-Osk client %1, client number %2, transferor %3.").arg(c.name).arg(n).arg(transferor));

    transferorLine(transferor, QStringLiteral("Client %1 (%2) started.").arg(n).arg(c.name));
    handlerLine(QStringLiteral("Client %1 (%2) given to transferor %3.").arg(n).arg(c.name).arg(transferor));

    setStatus(n, QStringLiteral("NP"));
    --m_pending;
    pendingGone();
    scheduleStep(n, m_profile.StepMs);
}

// Playing a client --------------------------------------------------------------

void SimulatedEngine::scheduleStep(int n, qint64 delayMs)
{
    const quint32 run = m_run;
    const quint32 generation = m_clients[n].generation;
    const int delay = static_cast<int>(qBound(qint64(0), delayMs, qint64(std::numeric_limits<int>::max())));
    m_scheduler->Schedule(delay, [this, run, n, generation] {
        if (run != m_run || !m_processing || !validClient(n))
            return;
        const Client &c = m_clients[n];
        if (c.generation != generation || c.phase == Phase::Done)
            return;
        step(n);
    });
}

void SimulatedEngine::countStep()
{
    ++m_steps;
    if (m_profile.EngineError != 0 && m_steps > m_profile.EngineErrorAfter)
        failEngine(m_profile.EngineError, QStringLiteral("The simulation profile asks for engine error %1.").arg(m_profile.EngineError));
}

void SimulatedEngine::step(int n)
{
    countStep();
    if (!m_processing)
        return;
    Client &c = m_clients[n];
    switch (c.phase) {
    case Phase::Started:
        c.phase = Phase::Loading;
        c.step = 0;
        loadStep(n);
        break;
    case Phase::Loading:
        if (c.step < kLoadSteps - 1) {
            ++c.step;
            loadStep(n);
        } else {
            c.phase = Phase::Executing;
            c.step = 0;
            readConfiguration(n);
            setStatus(n, QStringLiteral("CL"));
            executeStep(n);
        }
        break;
    case Phase::Executing:
        if (c.step < m_profile.ExecuteSteps - 1) {
            ++c.step;
            executeStep(n);
        } else if (c.outcome == SimulationProfile::Outcome::Silent) {
            c.phase = Phase::Silent;
            const qint64 wait = m_profile.SilentTimeoutMs >= 0 ? m_profile.SilentTimeoutMs : qint64(m_settings.reportingPeriod) * 1000;
            c.log->Line(QStringLiteral("The client stopped reporting."));
            scheduleStep(n, wait);
        } else {
            c.phase = Phase::Unloading;
            c.log->Line(QStringLiteral("Unloading: stopping and removing the Varno and Osk services."));
            setStatus(n, QStringLiteral("U"));
            scheduleStep(n, m_profile.StepMs);
        }
        break;
    case Phase::Silent: {
        const QString reason = QStringLiteral("The client did not report within the reporting period; the Handler gave up on it.");
        c.log->Line(reason);
        handlerLine(QStringLiteral("Client %1 (%2): %3").arg(n).arg(c.name, reason));
        finish(n, QStringLiteral("XE"));
        break;
    }
    case Phase::Unloading:
        c.phase = Phase::Reported;
        switch (c.outcome) {
        case SimulationProfile::Outcome::Success:
            setStatus(n, QStringLiteral("PS"));
            break;
        case SimulationProfile::Outcome::Warnings:
            setStatus(n, QStringLiteral("PW"));
            break;
        default:
            setStatus(n, QStringLiteral("PE"));
            break;
        }
        scheduleStep(n, m_profile.StepMs);
        break;
    case Phase::Reported:
        finish(n,
            c.status == QLatin1String("PS")       ? QStringLiteral("XS")
                : c.status == QLatin1String("PW") ? QStringLiteral("XW")
                                                  : QStringLiteral("XE"));
        break;
    case Phase::Aborting:
        if (++c.step < AbortSteps) {
            setStatus(n, QStringLiteral("A") + QString::number(c.step));
            scheduleStep(n, m_profile.StepMs);
        } else {
            c.log->Line(QStringLiteral("The migration of this client was aborted; it may be left in an incomplete state."));
            finish(n, QStringLiteral("XA"));
        }
        break;
    case Phase::Pending:
    case Phase::Done:
        break;
    }
}

void SimulatedEngine::loadStep(int n)
{
    Client &c = m_clients[n];
    const QString target = QStringLiteral("\\\\%1\\%2\\%3").arg(c.name, m_settings.destShare, m_settings.destPath);
    switch (c.step) {
    case 0:
        c.log->Line(QStringLiteral("Loading: connecting to %1.").arg(target));
        copyGeneratedFiles(n);
        break;
    case 1: {
        QStringList files;
        for (const QVariant &file : m_clientArray.Value(ClientColumn::FilesToCopy, n).toList())
            files << file.toString();
        c.log->Line(QStringLiteral("Loading: copying %1 from %2.")
                        .arg(files.isEmpty() ? QStringLiteral("no files") : files.join(QStringLiteral(", ")), m_settings.sourcePath));
        break;
    }
    case 5:
        for (const QVariant &service : m_clientArray.Value(ClientColumn::Services, n).toList()) {
            const QVariantList entry = service.toList();
            if (entry.size() >= 3)
                c.log->Line(QStringLiteral("Loading: installing service \"%1\" (%2), start type %3.")
                                .arg(entry.at(1).toString(), entry.at(0).toString())
                                .arg(entry.at(2).toInt()));
        }
        break;
    case kLoadSteps - 1:
        c.log->Line(QStringLiteral("Loading: starting the Varno service."));
        break;
    default:
        break;
    }
    setStatus(n, QStringLiteral("L") + QString::number(c.step));
    scheduleStep(n, m_profile.StepMs);
}

void SimulatedEngine::copyGeneratedFiles(int n)
{
    Client &c = m_clients[n];
    const QString folder = clientFolderName(n);
    // What cannot be copied leaves the client without its configuration; the
    // reason goes to both logs, as the client log may be what was refused.
    const auto refused = [&](const QString &what) {
        c.problem = QStringLiteral("%1 could not be written: %2").arg(what, m_results.ErrorString());
        c.log->Line(QStringLiteral("Loading: ") + c.problem);
        handlerLine(QStringLiteral("Client %1 (%2): %3").arg(n).arg(c.name, c.problem));
    };
    if (!m_results.MakeFolder(folder)) {
        refused(QStringLiteral("The destination folder"));
        return;
    }
    for (const QVariant &entryValue : m_clientArray.Value(ClientColumn::GeneratedFiles, n).toList()) {
        const QVariantList entry = entryValue.toList();
        if (entry.size() < 2)
            continue;
        const QString name = SafeFileName(entry.at(0).toString());
        // The export hands over the scrambled file as bytes; text would have
        // lost the codes that the ANSI code page has no character for.
        QByteArray content
            = entry.at(1).typeId() == QMetaType::QByteArray ? entry.at(1).toByteArray() : modText::ToAnsi(entry.at(1).toString());
        if (c.outcome == SimulationProfile::Outcome::Corrupt) {
            const qsizetype marker = content.indexOf('S');
            if (marker >= 0 && marker + 1 < content.size())
                content[marker + 1] = '\x01';
            else
                content = QByteArrayLiteral("\x01\x02\x03");
            c.log->Line(QStringLiteral("Loading: %1 was damaged on its way to the client.").arg(name));
        }
        if (!m_results.Write(folder + QLatin1Char('/') + name, content)) {
            refused(name);
            continue;
        }
        c.log->Line(QStringLiteral("Loading: %1 written (%2 bytes).").arg(name).arg(content.size()));
    }
}

void SimulatedEngine::readConfiguration(int n)
{
    Client &c = m_clients[n];
    c.actions.clear();
    const QString path = ClientFolder(n) + QStringLiteral("varnoosk.cfg");

    ClientConfig config;
    QString text;
    QString problem;
    std::optional<QByteArray> bytes;
    if (!c.problem.isEmpty()) {
        // The copy said why.
    } else if (!QFileInfo::exists(path)) {
        c.problem = QStringLiteral("The configuration file %1 is missing.").arg(path);
    } else if (bytes = modFileRead::ReadAll(path, ClientConfig::MaxFileBytes, problem); !bytes) {
        c.problem = QStringLiteral("The configuration file %1 could not be read: %2").arg(path, problem);
    } else if (!modScramble::Descramble(*bytes, text, &c.problem)) {
        // Descramble gave the reason.
    } else if (!config.Parse(text, &c.problem)) {
        // Parse gave the reason.
    } else if (!modText::SameText(config.Value(QStringLiteral("COMPUTERNAME")), c.name)) {
        c.problem
            = QStringLiteral("The file is for computer \"%1\", not for \"%2\".").arg(config.Value(QStringLiteral("COMPUTERNAME")), c.name);
    } else if (config.Value(QStringLiteral("KEY")) != QString::number(n)) {
        c.problem
            = QStringLiteral("The file carries client key \"%1\"; this is client %2.").arg(config.Value(QStringLiteral("KEY"))).arg(n);
    } else if (!modFormat::IsValidIPAddress(config.Value(QStringLiteral("CONSOLEIP")))) {
        c.problem = QStringLiteral("The console address \"%1\" is not an IPv4 address.").arg(config.Value(QStringLiteral("CONSOLEIP")));
    } else if (config.Value(QStringLiteral("CONSOLEPORT")) != QString::number(m_settings.listenerPort)) {
        c.problem = QStringLiteral("The file tells the client to report to port %1; the Handler listens on port %2.")
                        .arg(config.Value(QStringLiteral("CONSOLEPORT")))
                        .arg(m_settings.listenerPort);
    }

    if (!c.problem.isEmpty()) {
        c.log->Line(QStringLiteral("ERROR: the configuration file cannot be used.  %1").arg(c.problem));
        handlerLine(QStringLiteral("Client %1 (%2): unusable configuration file: %3").arg(n).arg(c.name, c.problem));
        if (c.outcome != SimulationProfile::Outcome::Silent)
            c.outcome = SimulationProfile::Outcome::Errors;
        c.actions << QStringLiteral("Nothing was migrated.");
        return;
    }

    auto value = [&config](const char *key) { return config.Value(QString::fromLatin1(key)); };
    c.log->Line(
        QStringLiteral("Configuration read: version %1, console %2:%3.").arg(value("VERSION"), value("CONSOLEIP"), value("CONSOLEPORT")));
    c.actions << QStringLiteral("Checking free disk space: at least %1 MB must remain after the migration.").arg(value("MINFREESPACE"));
    const QString destination = value("DESTUSER");
    if (!value("SOURCESID").isEmpty())
        c.actions
            << QStringLiteral("Migrating profiles of SIDs %1 to %2 in %3.").arg(value("SOURCESID"), destination, value("DESTUSERDOM"));
    else if (!value("SOURCEUSER").isEmpty())
        c.actions << QStringLiteral("Migrating profiles %1 of %2 to %3 in %4.")
                         .arg(value("SOURCEUSER"), value("SOURCEUSERDOM"), destination, value("DESTUSERDOM"));
    else
        c.actions << QStringLiteral("No profiles to migrate.");
    if (!value("JOINDOMAIN").isEmpty())
        c.actions << QStringLiteral("Joining domain %1 as %2.").arg(value("JOINDOMAIN"), value("JOINDOMUSER"));
    else if (!value("JOINWORKGROUP").isEmpty())
        c.actions << QStringLiteral("Joining workgroup %1.").arg(value("JOINWORKGROUP"));
    c.actions << (value("REBOOTPERM") == QLatin1String("1")
            ? QStringLiteral("Restart permitted%1.")
                  .arg(value("FORCEREBOOT") == QLatin1String("1") ? QStringLiteral(" and forced") : QString())
            : QStringLiteral("No restart permitted."));
    if (c.outcome == SimulationProfile::Outcome::Warnings)
        c.actions << QStringLiteral("WARNING: some files of a profile were in use and were skipped.");
    else if (c.outcome == SimulationProfile::Outcome::Errors)
        c.actions << QStringLiteral("ERROR: a profile could not be migrated.");
}

void SimulatedEngine::executeStep(int n)
{
    Client &c = m_clients[n];
    // The actions are spread over the steps the client spends executing.
    const int steps = m_profile.ExecuteSteps;
    for (qsizetype i = 0; i < c.actions.size(); ++i) {
        if (static_cast<int>(i % steps) == c.step)
            c.log->Line(c.actions.at(i));
    }
    scheduleStep(n, m_profile.StepMs);
}

void SimulatedEngine::setStatus(int n, const QString &code)
{
    Client &c = m_clients[n];
    c.status = code;
    if (m_statusFile.IsOpen())
        m_statusFile.Line(QStringLiteral("%1\t%2\t%3").arg(n).arg(c.name, code), QStringLiteral("\t"));
    handlerLine(QStringLiteral("Client %1 (%2): %3").arg(n).arg(c.name, code), 2);
    Q_EMIT ClientStatusChanged(n, code);
}

void SimulatedEngine::finish(int n, const QString &code)
{
    end(n, code);
    afterEnd();
}

void SimulatedEngine::end(int n, const QString &code)
{
    Client &c = m_clients[n];
    c.phase = Phase::Done;
    ++c.generation;
    if (c.transferor > 0) {
        transferorLine(c.transferor, QStringLiteral("Client %1 (%2) ended: %3.").arg(n).arg(c.name, code));
        m_transferorBusy[c.transferor] = false;
        --m_active;
    }
    if (c.log) {
        c.log->Line(QStringLiteral("Result: %1.").arg(code));
        c.log.reset();
    }
    // Given back rather than cleared: a cleared list keeps its room, and an
    // ended client needs neither.
    c.actions = QStringList();
    c.problem = QString();
    static const QStringList finals
        = {QStringLiteral("XS"), QStringLiteral("XW"), QStringLiteral("XE"), QStringLiteral("XC"), QStringLiteral("XA")};
    const qsizetype index = finals.indexOf(code);
    if (index >= 0)
        ++m_counts[index];
    ++m_ended;
    handlerLine(QStringLiteral("Client %1 (%2) ended: %3.").arg(n).arg(c.name, code));
    setStatus(n, code);
    if (code == QLatin1String("XS"))
        Q_EMIT ClientSuccess(n);
}

void SimulatedEngine::afterEnd()
{
    // A slot handler may have stopped the engine meanwhile.
    if (!m_processing)
        return;
    dispatch();
    checkComplete();
}

void SimulatedEngine::endWithoutStart(int n, const QString &code)
{
    // LastClient comes before the completion that this end may bring.
    --m_pending;
    end(n, code);
    pendingGone();
    afterEnd();
}

void SimulatedEngine::pendingGone()
{
    if (m_pending == 0 && !m_lastClientRaised && m_processing) {
        m_lastClientRaised = true;
        handlerLine(QStringLiteral("No client is left to start."));
        Q_EMIT LastClient();
    }
}

void SimulatedEngine::checkComplete()
{
    if (!m_processing || m_ended != static_cast<int>(m_clients.size()) - 1)
        return;
    m_processing = false;
    handlerLine(QStringLiteral("Processing complete: %1 successful, %2 with warnings, %3 with errors, %4 canceled, %5 aborted.")
                    .arg(m_counts[0])
                    .arg(m_counts[1])
                    .arg(m_counts[2])
                    .arg(m_counts[3])
                    .arg(m_counts[4]));
    handlerLine(modRehearsal::LastLine());
    closeLogs();
    // Every client has its files: the job's arrays, the configuration files
    // among them, are given back before the console reports on the run.
    m_clientArray = JobArray();
    Q_EMIT ProcessingComplete();
}

void SimulatedEngine::failEngine(int number, const QString &reason)
{
    handlerLine(QStringLiteral("ERROR %1: %2  Processing stops.").arg(number).arg(reason));
    if (m_begun)
        handlerLine(modRehearsal::LastLine());
    m_processing = false;
    ++m_run;
    closeLogs();
    m_clientArray = JobArray();
    Q_EMIT Error(number);
}

void SimulatedEngine::closeLogs()
{
    for (auto &log : m_transferorLogs) {
        if (log)
            log->Close();
    }
    for (Client &c : m_clients) {
        if (c.log)
            c.log->Close();
    }
    m_statusFile.Close();
    m_handlerLog.Close();
}

void SimulatedEngine::handlerLine(const QString &text, int detail)
{
    if (detail <= m_settings.loggingLevel)
        m_handlerLog.Line(text);
}

void SimulatedEngine::transferorLine(int transferor, const QString &text)
{
    if (transferor < 1 || transferor >= static_cast<int>(m_transferorLogs.size()))
        return;
    std::unique_ptr<EngineLogFile> &log = m_transferorLogs[transferor];
    if (!log) {
        log = std::make_unique<EngineLogFile>();
        if (log->Open(m_results, transferorLogName(transferor)))
            log->Line(QStringLiteral("Transferor %1 started.").arg(transferor));
        else
            handlerLine(QStringLiteral("Transferor %1: its log could not be written: %2").arg(transferor).arg(log->ErrorString()));
    }
    log->Line(text);
}

// Commands ----------------------------------------------------------------------

void SimulatedEngine::CancelClient(int client)
{
    if (!m_processing || !validClient(client))
        return;
    Client &c = m_clients[client];
    if (c.phase == Phase::Pending) {
        handlerLine(QStringLiteral("Client %1 (%2) canceled.").arg(client).arg(c.name));
        endWithoutStart(client, QStringLiteral("XC"));
    } else if (c.phase != Phase::Done) {
        handlerLine(QStringLiteral("Client %1 (%2) has started and cannot be canceled; abort it instead.").arg(client).arg(c.name));
    }
}

void SimulatedEngine::CancelAll()
{
    if (!m_processing)
        return;
    handlerLine(QStringLiteral("Cancel requested for every client not yet started."));
    const int count = static_cast<int>(m_clients.size()) - 1;
    for (int n = m_next; n <= count && m_processing; ++n) {
        if (m_clients[n].phase == Phase::Pending)
            endWithoutStart(n, QStringLiteral("XC"));
    }
}

void SimulatedEngine::AbortClient(int client)
{
    if (!m_processing || !validClient(client))
        return;
    abortClient(client);
}

void SimulatedEngine::AbortAll()
{
    if (!m_processing)
        return;
    handlerLine(QStringLiteral("Abort requested for every client."));
    // Clients waiting for a transferor end first: a started client that ends
    // meanwhile must not hand its transferor to one of them.
    const int count = static_cast<int>(m_clients.size()) - 1;
    for (int n = m_next; n <= count && m_processing; ++n) {
        if (m_clients[n].phase == Phase::Pending)
            endWithoutStart(n, QStringLiteral("XA"));
    }
    for (int n = 1; n < m_next && m_processing; ++n)
        abortClient(n);
}

void SimulatedEngine::abortClient(int n)
{
    Client &c = m_clients[n];
    switch (c.phase) {
    case Phase::Pending:
        handlerLine(QStringLiteral("Client %1 (%2) aborted before it started.").arg(n).arg(c.name));
        endWithoutStart(n, QStringLiteral("XA"));
        break;
    case Phase::Done:
    case Phase::Aborting:
        break;
    default:
        handlerLine(QStringLiteral("Client %1 (%2): abort requested.").arg(n).arg(c.name));
        c.log->Line(QStringLiteral("Abort requested by the console."));
        c.phase = Phase::Aborting;
        c.step = -1;
        ++c.generation;
        setStatus(n, QStringLiteral("AP"));
        scheduleStep(n, m_profile.StepMs);
        break;
    }
}

ClientStatusRecord SimulatedEngine::GetClientStatus(int client) const
{
    ClientStatusRecord record;
    if (!validClient(client))
        return record;
    const Client &c = m_clients[client];
    record.Client = client;
    record.StatusCode = c.status;
    record.ComputerName = c.name;
    record.Transferor = c.phase == Phase::Done ? 0 : c.transferor;
    return record;
}

void SimulatedEngine::WriteLog(quint8 level, int number, const QString &text)
{
    if (!m_handlerLog.IsOpen()) {
        // Between runs the log is closed; a late line still belongs in it.
        if (!m_results.IsOpen() || !m_handlerLog.Open(m_results, m_settings.handlerLogFile))
            return;
        m_handlerLog.Line(QStringLiteral("[%1/%2] %3").arg(level).arg(number).arg(text));
        if (!m_processing)
            m_handlerLog.Close();
        return;
    }
    m_handlerLog.Line(QStringLiteral("[%1/%2] %3").arg(level).arg(number).arg(text));
}

// Network test ---------------------------------------------------------------------

void SimulatedEngine::NetworkTestStart(qint32 address, qint32 port)
{
    const QString host = UnpackAddress(address);
    if (port < 0 || port > 65535) {
        Q_EMIT Error(1027);
        return;
    }
    const int failure = m_listener->Start(host, static_cast<quint16>(port));
    if (failure != 0) {
        handlerLine(QStringLiteral("Network test: cannot listen on %1:%2: %3").arg(host).arg(port).arg(m_listener->ErrorString()));
        Q_EMIT Error(failure);
        return;
    }
    handlerLine(QStringLiteral("Network test: listening on %1:%2.").arg(host).arg(m_listener->Port()));
}

void SimulatedEngine::NetworkTestEnd()
{
    if (m_listener->IsListening())
        handlerLine(QStringLiteral("Network test ended."));
    m_listener->Stop();
}
