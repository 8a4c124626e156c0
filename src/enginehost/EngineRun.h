#pragma once

#include "common/PrivateFolder.h"
#include "engine/EngineJournal.h"
#include "engine/EngineLogFile.h"
#include "engine/modEngineLink.h"
#include "enginehost/TransferorTask.h"
#include "enginehost/WaveSchedule.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class ClientChannel;
class DeliveryPlan;
class TransferorPool;

// One run of the engine program: every client of the job is delivered by a
// transferor, reports over the channel while it works, and is collected when
// it is done. The run owns each client's state and is the only one to decide
// its status; the console hears the statuses, the findings and the end.
//
// A client moves Queued -> Delivering ("L") -> Started (waiting for its
// report) -> Working (its own statuses) -> Collecting ("U") -> ended ("XS",
// "XW", "XE", "XC", "XA"). A client that cannot be reached ends "XE" with the
// finding that says why; one that stops reporting for longer than the
// reporting period (plus what it asked for) ends "XE" with "no report from
// the client for N s", and is told the run has ended if it comes back.
//
// With a pending timeout set, a client that cannot be reached stays "NP"
// and is tried again every retry interval until the timeout has passed
// since its first try, and one that was delivered and went quiet shows
// "WR" (waiting for its report) instead of ending, until the same timeout:
// laptops are off overnight.
//
// A run taken up after its engine died marks the clients that engine was at
// work on: each is asked over ssh first how it stands (Asking). Where the
// service never began its work it is delivered; where it has ended, what it
// left is collected and its own status file gives the outcome; where it is
// still at work, it shows "WR" and is asked again until the same limits as
// a quiet client. Nothing is delivered to a client while its lock is held.
// The clients are started wave by wave
// (WaveSchedule); a wave stopped at its failure threshold is cancelled with
// every wave after it.
class EngineRun final : public QObject
{
    Q_OBJECT

public:
    EngineRun(const QJsonObject &settings, std::unique_ptr<ClientChannel> channel, std::unique_ptr<DeliveryPlan> plan,
        std::unique_ptr<TransferorPool> pool, QObject *parent = nullptr);
    ~EngineRun() override;

    // False with the console's error number when the run cannot begin.
    bool start(const QList<modEngineLink::JobClient> &clients, int &errorNumber);

    void cancel(int client);
    void abort(int client);
    void cancelAll();
    void abortAll();
    void writeLog(const QString &text);

    bool complete() const { return m_open == 0; }
    // The last status of every client (empty before its first), for a
    // console that attaches in the middle of the run.
    const QStringList &lastStatuses() const { return m_lastStatuses; }
    QString waveText() const { return m_schedule.describe(); }
    const TransferorPool &pool() const { return *m_pool; }

Q_SIGNALS:
    void status(int client, const QString &code);
    void finding(int client, int code, const QString &text);
    void success(int client);
    // A client that could not be reached waits for its next try (`next`, UTC).
    void pending(int client, int tries, const QDateTime &next, const QString &reason);
    // Where the waves stand (`line`: a change the log keeps, else the status bar's text).
    void wave(const QString &text, bool line);
    void lastClient();
    void processingComplete();

private:
    enum class Phase : quint8 { Queued, Asking, Delivering, Pending, Started, Working, Collecting, Ended };
    enum class Request : quint8 { None, Cancel, Abort };

    struct Client
    {
        modEngineLink::JobClient job;
        Phase phase = Phase::Queued;
        Request request = Request::None;
        QString reported; // the client's last own status
        QString outcome; // "XS" ... once known
        int task = 0;
        qint64 heardAt = 0; // ms on m_clock
        qint64 grace = 0; // ms the client asked for beyond the reporting period
        int tries = 0; // deliveries that could not reach the client
        qint64 firstTry = -1; // ms on m_clock
        qint64 nextTry = 0; // ms on m_clock, while Pending
        bool quiet = false; // delivered, silent past the reporting period, waited for
        bool left = false; // out of the engine's queue: delivered, or ended
        bool adopted = false; // collected for an earlier engine: its status file says how it went
        qint64 atWorkSince = -1; // ms on m_clock: first found at work by another instance
        QString collectedStatus; // below the results folder, while collecting
    };

    Client *byName(const QString &computer);
    void setStatus(Client &client, const QString &code);
    void addFinding(Client &client, int code, const QString &text);
    void end(Client &client, const QString &code);
    void queueDelivery(Client &client);
    void queueCollection(Client &client);
    void submit(Client &client, TransferorTask task);
    // Takes back a client not yet at work; false once it may have been delivered.
    bool withdrawn(Client &client);
    // Delivers the client, or asks it first how it stands.
    void queueNext(Client &client);
    void onAnswer(Client &client, const TransferorOutcome &outcome);
    void takeStatusFile(Client &client);
    QByteArray runFile(const Client &client) const;
    QString outcomeOf(const Client &client) const;

    void leftQueue();
    void onTaken(int taskId, int client);
    void onTask(const TransferorOutcome &outcome);
    void onStatus(const QString &computer, const QString &code);
    void onFinding(const QString &computer, int code, const QString &text);
    void onKeepAlive(const QString &computer, int seconds);
    void onGone(const QString &computer);
    void checkSilence();
    // Delivers what the waves allow now and arms the timer for what comes later.
    void dispatch();
    void wake();
    bool offline(Client &client, int code, const QString &reason);
    void stopWaves(const WaveSchedule::Stop &stop);

    QJsonObject m_settings;
    std::unique_ptr<ClientChannel> m_channel;
    std::unique_ptr<DeliveryPlan> m_plan;
    std::unique_ptr<TransferorPool> m_pool;
    QList<Client> m_clients; // by number - 1
    QHash<QString, int> m_byName;
    QHash<int, int> m_byTask; // task id -> client number
    QHash<QString, QString> m_tokens;
    int m_nextTask = 0;
    int m_open = 0;
    int m_queuedDeliveries = 0;
    PrivateFolder m_results;
    EngineLogFile m_log;
    // Every status change of every client, as vo retry and vo rollback read them.
    EngineLogFile m_statusFile;
    EngineJournal m_journal;
    QStringList m_lastStatuses;
    QElapsedTimer m_clock;
    QTimer m_silence;
    qint64 m_reportingMs = 120'000;
    qint64 m_keepAliveMs = 300'000;
    qint64 m_retryMs = 300'000;
    qint64 m_pendingMs = 0; // 0: a client not reached ends at once
    WaveSchedule m_schedule;
    // The clients waiting for their next try, by number: a run of 100,000
    // computers looks at these, not at all of them, after each outcome.
    QSet<int> m_pending;
    QTimer m_wake;
    bool m_dispatching = false;
};
