#pragma once

#include "engine/QXEHandler.h"
#include "engine/modEngineLink.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QTimer>

#include <memory>

class NetworkTestListener;
class QLocalServer;
class QLocalSocket;
class QProcess;

// The engine as a program of its own, varno-osk-engine, one process per
// run: this class is the console's side of it. It keeps the run's settings
// until StartProcessing, writes the job into a private folder of the run,
// starts the program, and hands it the job over a local socket that only
// this user can open. The program's events come back over the same socket
// and leave here as the handler's signals, on the thread that owns this
// object.
//
// A program that cannot be started, or that goes away before it reports the
// end of processing, is an engine error; the clients it had not finished
// are then told "XE", so that no computer looks as if it were still running.
//
// The network test needs no engine program: the console listens on the
// listener's address and port itself, as the simulated engine does.
class RemoteEngine final : public QXEHandler
{
    Q_OBJECT

public:
    // The environment variable that names the engine program, for tests and
    // installations that keep it elsewhere; else it is the program folder's.
    static const char *const ProgramVariable; // "VARNO_OSK_ENGINE"
    static const QString ProgramName; // "varno-osk-engine"

    // An engine program could not be started (1045) or ended before the run
    // did (1046).
    static constexpr int ErrorNotStarted = 1045;
    static constexpr int ErrorEnded = 1046;

    explicit RemoteEngine(const QString &mode = QString::fromLatin1(modEngineLink::ModeCheck), QObject *parent = nullptr);
    ~RemoteEngine() override;

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
    void SetPendingRetry(qint32 retrySeconds, qint32 timeoutSeconds) override;
    void SetWaves(const QList<modEngineLink::JobWave> &waves) override;

    void SetClients(const JobArray &clients) override;
    void StartProcessing() override;

    void CancelAll() override;
    void AbortAll() override;
    void CancelClient(int client) override;
    void AbortClient(int client) override;
    ClientStatusRecord GetClientStatus(int client) const override;

    void NetworkTestStart(qint32 address, qint32 port) override;
    void NetworkTestEnd() override;

    void WriteLog(quint8 level, int number, const QString &text) override;

    // The program this engine starts.
    QString programPath() const;
    bool Processing() const { return m_processing; }

    void Leave() override;
    bool Reattach(const QString &attachPath, qint64 pid, const QStringList &clients) override;

private:
    struct Client
    {
        QString name;
        QString status;
    };

    void set(const char *name, const QJsonValue &value);
    void send(const QJsonObject &message);
    void onConnection();
    void onReadable();
    void handle(const QJsonObject &message);
    void onProgramEnded();
    void fail(int number);
    void stop();
    bool programAlive() const;

    QString m_mode;
    QString m_programFolder;
    QJsonObject m_settings;
    QList<modEngineLink::JobWave> m_waves;
    QList<Client> m_clients; // by client number - 1
    QString m_runFolder;
    QString m_jobFile;
    std::unique_ptr<QLocalServer> m_server;
    QLocalSocket *m_link = nullptr;
    qint64 m_pid = 0;
    QTimer m_watch;
    bool m_leaving = false;
    modEngineLink::LineReader m_reader;
    QList<QByteArray> m_waiting; // commands given before the program connected
    bool m_processing = false;
    bool m_complete = false;
    NetworkTestListener *m_networkTest = nullptr;
};
