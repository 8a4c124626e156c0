#pragma once

#include "common/ConsoleConfig.h"
#include "engine/modEngineLink.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

class JobArray;

// What a client's status query answers.
struct ClientStatusRecord
{
    int Client = 0; // engine client number; 0 for a client the engine does not know
    QString StatusCode; // "NP", "L3", "CL", "XS", ...; empty for an unknown client
    QString ComputerName;
    int Transferor = 0; // the transferor working on it; 0 when none
};

// The migration engine as the console drives it. QXEInterface is its only
// user and knows it through this interface alone, so another engine binds
// in modEngine::CreateHandler without a change to the console.
//
// Calls are made on the user-interface thread and return at once; whatever
// the engine has to say later arrives through its signals on that thread.
// Failures of a call that the caller must hear about are raised as
// modErrorHandler::Failure with the engine's message number.
class QXEHandler : public QObject
{
    Q_OBJECT

public:
    // The engine's own limit on "MaxTransferors": a run uses at most this
    // many transferors at once.
    static constexpr int MaxTransferorsLimit = ConsoleConfig::MaxTransferorsLimit;

    // Levels of WriteLog lines, as the console passes them.
    static constexpr quint8 LogLevelSuccess = 3;

    using QObject::QObject;
    ~QXEHandler() override;

    // Set once, when the console creates the engine.
    virtual void SetRegistryPath(const QString &path) = 0;
    virtual void SetProgramFolder(const QString &folder) = 0;

    // Set by every run, in this order, before SetClients.
    virtual void SetLoggingLevel(quint8 level) = 0;
    virtual void SetLogPath(const QString &resultsFolder) = 0;
    virtual void SetHandlerLogFile(const QString &fileName) = 0;
    virtual void SetClientLogFile(const QString &fileName) = 0;
    virtual void SetClientStatusFile(const QString &fileName) = 0;
    virtual void SetStatusPath(const QString &resultsFolder) = 0;
    // "*" stands for the transferor number.
    virtual void SetTransferorLogFile(const QString &pattern) = 0;
    virtual void SetDestPath(const QString &path) = 0;
    virtual void SetDestShare(const QString &share) = 0;
    virtual void SetSourcePath(const QString &path) = 0;
    virtual void SetKeepAliveIncrement(qint32 seconds) = 0;
    virtual void SetListenerIP(const QString &address) = 0;
    virtual void SetListenerPort(quint16 port) = 0;
    virtual void SetMaxTransferors(quint8 count) = 0;
    virtual void SetReportingPeriod(qint32 seconds) = 0;
    virtual void SetStatusCheckPeriod(qint32 seconds) = 0;
    // How a client that cannot be reached is waited for; a timeout of 0
    // ends it at its first failed try. Engines that deliver nothing ignore it.
    virtual void SetPendingRetry(qint32 retrySeconds, qint32 timeoutSeconds)
    {
        Q_UNUSED(retrySeconds);
        Q_UNUSED(timeoutSeconds);
    }
    // The job's waves in run order; each client names its wave (JobArray's
    // Wave column). Engines without an order of their own ignore them.
    virtual void SetWaves(const QList<modEngineLink::JobWave> &waves) { Q_UNUSED(waves); }

    // Lets the run go on without this console (an engine of its own
    // process); the others end it with the console.
    virtual void Leave() { }
    // Follows the run of an engine program that a console before this one
    // started (its journal names `attachPath` and `pid`), with its clients
    // by number; false when it cannot be reached.
    virtual bool Reattach(const QString &attachPath, qint64 pid, const QStringList &clients)
    {
        Q_UNUSED(attachPath);
        Q_UNUSED(pid);
        Q_UNUSED(clients);
        return false;
    }

    // The client array (10 columns, one row per client); the engine keeps its own copy.
    virtual void SetClients(const JobArray &clients) = 0;
    virtual void StartProcessing() = 0;

    virtual void CancelAll() = 0;
    virtual void AbortAll() = 0;
    virtual void CancelClient(int client) = 0;
    virtual void AbortClient(int client) = 0;
    virtual ClientStatusRecord GetClientStatus(int client) const = 0;

    // The address as a 32-bit number in the order inet_addr gives it: the
    // first octet in the lowest byte.
    virtual void NetworkTestStart(qint32 address, qint32 port) = 0;
    virtual void NetworkTestEnd() = 0;

    virtual void WriteLog(quint8 level, int number, const QString &text) = 0;

    // True for an engine that only plays a run: its results are no
    // migration and are shown as a rehearsal.
    virtual bool Rehearses() const { return false; }

    // "10.1.2.3" as NetworkTestStart takes it, and back; 0 for text that is
    // not a dotted IPv4 address.
    static qint32 PackAddress(const QString &address);
    static QString UnpackAddress(qint32 address);

Q_SIGNALS:
    void ClientStatusChanged(int client, const QString &status);
    void ClientSuccess(int client);
    // One finding of a check (its code from modFindings, and the client's
    // or the engine's particulars); engines that only migrate never send one.
    void ClientFinding(int client, int code, const QString &text);
    // A client that could not be reached is tried again at `next` (UTC).
    void ClientPending(int client, int tries, const QDateTime &next, const QString &reason);
    // Where the job's waves stand: a change for the log (`line`), or the
    // status bar's text.
    void WaveProgress(const QString &text, bool line);
    void Error(int number);
    void LastClient();
    void ProcessingComplete();
    void TestReceived();
};
