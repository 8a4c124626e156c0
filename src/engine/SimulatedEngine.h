#pragma once

#include "common/ConsoleConfig.h"
#include "common/PrivateFolder.h"
#include "engine/EngineLogFile.h"
#include "engine/EngineScheduler.h"
#include "engine/JobArray.h"
#include "engine/QXEHandler.h"
#include "engine/SimulationProfile.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class NetworkTestListener;

// The engine the console drives on this machine: it plays a migration the
// way the real Handler reports one, so that a whole run can be started,
// watched, cancelled and aborted without any client computer.
//
// Each client, in client-number order and at most "MaxTransferors" at once,
// reports "NP" when a transferor takes it, "L0" to "L9" while its files are
// copied (the generated files of client column 10 land in
// <results folder>/clients/<computer name>/, which stands for the client's
// destination share), "CL" while it executes, "U" while it unloads, then
// "PS", "PW" or "PE" and finally "XS", "XW" or "XE". A client not yet
// started that is cancelled ends "XC"; one that is aborted goes "AP", "A0" to
// "A4", "XA" (or straight to "XA" when it had not started).
//
// On "CL" the client reads its "varnoosk.cfg" back from that folder as a
// client does (descrambled, every key in order, version "00002", its own
// computer name, client number and the listener port); a file it cannot use
// ends the client with errors, and its client log says why. What the file
// asks for (users, domain join, reboot) is what the client log records.
//
// The results folder receives the handler log ("HLogFile"), one log per
// transferor ("TLogFile" with "*" replaced by the transferor's number), one
// log per client (computer name + "-" + yyyyMMddhhmmss + ".log", stamped
// with the console's clock when the client starts) and the client status file
// ("CStatusFile"), to which every status change appends one line: time,
// client number, computer name, code. The status file lives in the second
// results-folder property.
//
// Clients' files land in the results folder, which may sit on a shared
// disk: everything below it is written through PrivateFolder, never through
// a link. A handler log or status file that cannot be written that way
// stops the run before it starts (1043, naming the path); a client whose
// log or folder cannot be, ends with errors, and the handler log names the
// path.
//
// Each status change costs the same whatever the number of clients: the
// engine keeps the clients in an array by number and the next one to start
// as an index, and never scans them.
class SimulatedEngine final : public QXEHandler
{
    Q_OBJECT

public:
    // Steps an abort goes through between "AP" and "XA".
    static constexpr int AbortSteps = 5;
    // The environment variable and the registry value that name the profile.
    static const char *const ProfileVariable; // "VARNO_OSK_SIMULATION"
    static const QString ProfileValueName; // "SimulationProfile"

    // Without a scheduler the engine runs on Qt timers.
    explicit SimulatedEngine(std::unique_ptr<EngineScheduler> scheduler = nullptr, QObject *parent = nullptr);
    ~SimulatedEngine() override;

    void SetRegistryPath(const QString &path) override;
    void SetProgramFolder(const QString &folder) override;
    void SetLoggingLevel(quint8 level) override;
    void SetLogPath(const QString &resultsFolder) override;
    void SetHandlerLogFile(const QString &fileName) override;
    void SetClientLogFile(const QString &fileName) override;
    void SetClientStatusFile(const QString &fileName) override;
    void SetStatusPath(const QString &resultsFolder) override;
    void SetTransferorLogFile(const QString &pattern) override;
    void SetDestPath(const QString &path) override;
    void SetDestShare(const QString &share) override;
    void SetSourcePath(const QString &path) override;
    void SetKeepAliveIncrement(qint32 seconds) override;
    void SetListenerIP(const QString &address) override;
    void SetListenerPort(quint16 port) override;
    void SetMaxTransferors(quint8 count) override;
    void SetReportingPeriod(qint32 seconds) override;
    void SetStatusCheckPeriod(qint32 seconds) override;

    void SetClients(const JobArray &clients) override;
    void StartProcessing() override;

    void CancelAll() override;
    void AbortAll() override;
    void CancelClient(int client) override;
    void AbortClient(int client) override;
    ClientStatusRecord GetClientStatus(int client) const override;
    bool Rehearses() const override { return true; }

    void NetworkTestStart(qint32 address, qint32 port) override;
    void NetworkTestEnd() override;

    void WriteLog(quint8 level, int number, const QString &text) override;

    // Plays this profile instead of the one named by the environment or the registry.
    void SetProfile(const SimulationProfile &profile);
    void ClearProfile();

    bool Processing() const { return m_processing; }
    // Transferors used at once by the current run: "MaxTransferors" within 1 to MaxTransferorsLimit.
    int TransferorCount() const;
    // The port the network test listens on; 0 when it does not listen.
    quint16 TestPort() const;
    // Where a client's generated files are put: <results folder>/clients/<name>/.
    QString ClientFolder(int client) const;
    // The client log of a started client; empty before it starts.
    QString ClientLogPath(int client) const;

    // A computer name as a file name: separators and control characters become "_".
    static QString SafeFileName(const QString &name);

private:
    enum class Phase : quint8 {
        Pending,
        Started,
        Loading,
        Executing,
        Silent,
        Unloading,
        Reported,
        Aborting,
        Done,
    };

    struct Client
    {
        QString name;
        QString status = QStringLiteral("NP");
        Phase phase = Phase::Pending;
        SimulationProfile::Outcome outcome = SimulationProfile::Outcome::Success;
        int step = 0;
        int transferor = 0;
        quint32 generation = 0;
        QString problem; // why the configuration file was unusable
        QStringList actions; // what the configuration file asks for
        // Open while the client runs only: a run of many thousand clients
        // must not keep a file object per client.
        std::unique_ptr<EngineLogFile> log;
        // yyyyMMddhhmmss of its client log, 0 before it starts: a number
        // rather than the log's path, as 100,000 paths are some 15 MB.
        quint64 logStamp = 0;
    };

    struct Settings
    {
        QString registryPath;
        QString programFolder;
        quint8 loggingLevel = 1;
        QString logPath;
        QString handlerLogFile = QStringLiteral("handler.log");
        QString clientLogFile = QStringLiteral("varnoosk.log");
        QString clientStatusFile = QStringLiteral("varnoosk.sts");
        QString statusPath;
        QString transferorLogFile = QStringLiteral("transferor*.log");
        QString destPath;
        QString destShare = QStringLiteral("ADMIN$");
        QString sourcePath;
        qint32 keepAliveIncrement = 300;
        QString listenerIP;
        quint16 listenerPort = ConsoleConfig::DefaultListenerPort;
        quint8 maxTransferors = ConsoleConfig::DefaultMaxTransferors;
        qint32 reportingPeriod = 120;
        qint32 statusCheckPeriod = 15;
    };

    bool loadProfile(QString *problem);
    void beginRun(quint32 run);
    void dispatch();
    void startClient(int client);
    void scheduleStep(int client, qint64 delayMs);
    void step(int client);
    void loadStep(int client);
    void executeStep(int client);
    void readConfiguration(int client);
    void copyGeneratedFiles(int client);
    void abortClient(int client);
    void setStatus(int client, const QString &code);
    void finish(int client, const QString &code);
    void end(int client, const QString &code);
    void afterEnd();
    void endWithoutStart(int client, const QString &code);
    void pendingGone();
    void checkComplete();
    void countStep();
    void failEngine(int number, const QString &reason);
    void closeLogs();
    void handlerLine(const QString &text, int detail = 1);
    void transferorLine(int transferor, const QString &text);
    QString transferorLogName(int transferor) const;
    QString clientFolderName(int client) const;
    QString clientLogName(int client) const;
    bool validClient(int client) const { return client >= 1 && client < static_cast<int>(m_clients.size()); }

    std::unique_ptr<EngineScheduler> m_scheduler;
    Settings m_settings;
    std::optional<SimulationProfile> m_fixedProfile;
    SimulationProfile m_profile;
    JobArray m_clientArray;

    // Index 0 unused, so that client numbers index directly.
    std::vector<Client> m_clients;
    int m_next = 1; // the next client to start
    int m_pending = 0; // not started and not ended
    int m_active = 0; // started and not ended
    int m_ended = 0;
    qint64 m_steps = 0;
    bool m_processing = false;
    bool m_lastClientRaised = false;
    bool m_begun = false;
    quint32 m_run = 0; // tasks of an earlier run find another number here and do nothing
    std::vector<bool> m_transferorBusy;
    std::vector<std::unique_ptr<EngineLogFile>> m_transferorLogs;
    // Open from the start of a run until the next; a late WriteLog still
    // reaches the handler log through it.
    PrivateFolder m_results;
    PrivateFolder m_statusFolder; // when the second results folder is another one
    EngineLogFile m_handlerLog;
    EngineLogFile m_statusFile;
    int m_counts[5] = {}; // XS, XW, XE, XC, XA

    NetworkTestListener *m_listener = nullptr;
};
