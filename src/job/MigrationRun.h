#pragma once

#include "common/RunHistory.h"
#include "common/RunState.h"
#include "engine/ClientStatus.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

class ComputerDB;
class QXEInterface;
struct RollbackJob;

// A migration run as the console drives it, without a window: it hands the
// database's job to the engine interface, turns the engine's events into
// the lines of the progress log and the status of each computer, and
// carries the cancel and abort commands. `vo run` prints its lines; the main
// window shows them, sets each computer's tree image from StatusChanged and
// offers its commands as CanCancel and CanAbort say.
//
// It is also the one keeper of every computer's last status code: the tree
// shows it and the settings file can save it. The record outlives the run
// and starts over with the next one.
class MigrationRun : public QObject
{
    Q_OBJECT

public:
    // Where the clients of the run stand: live while it goes on, how they
    // ended once it is complete.
    struct Tally
    {
        int NotStarted = 0;
        int InProgress = 0;
        int Successful = 0; // "XS"
        int Warnings = 0; // "XW"
        int Errors = 0; // "XE"
        int Canceled = 0; // "XC"
        int Aborted = 0; // "XA"

        int Ended() const { return Successful + Warnings + Errors + Canceled + Aborted; }
        int &Count(ClientStatus::Category category);
        int Count(ClientStatus::Category category) const;
    };

    explicit MigrationRun(ComputerDB &database, QObject *parent = nullptr);

    // Exports the database's active computers and starts the engine through
    // `engine`, which switches the running state on first. A run that cannot
    // start says why through Message and ends with Stopped.
    // Takes the engine's events from now on: its progress lines and
    // messages reach the log also during a network test. Start attaches
    // the engine it is given.
    void Attach(QXEInterface &engine);
    // `wave` names the one wave to run (vo run --wave); empty runs them all.
    void Start(QXEInterface &engine, const QString &wave = QString());
    // The computers of a run whose engine died that it never delivered: a
    // new engine delivers them into the same results folder. Those it was
    // at work on are left alone (how they stand is not known) and named in
    // `unknown`; those that ended keep their outcome. False with the reason
    // when there is nothing to deliver.
    bool StartUndelivered(QXEInterface &engine, const QString &resultsFolder, QString &problem);

    // Reach the engine only while a run is going on. The client commands
    // take the tree's node key ("C12").
    void CancelAll();
    void AbortAll();
    void CancelClient(const QString &nodeKey);
    void AbortClient(const QString &nodeKey);

    // What a client command (Cancel Client, Abort Client) finds among the
    // selected tree nodes.
    struct ClientChoice
    {
        // The computers it goes to, by node key.
        QStringList Keys;
        // The names of those that had already finished: nothing to do there.
        QStringList Finished;
        bool NoComputer = false;
    };
    ClientChoice ChooseClients(const QStringList &nodeKeys) const;
    // Why `command` ("cancel", "abort") leaves some or all of the selection
    // alone; empty when it goes to every selected computer.
    static QString WhyNot(const ClientChoice &choice, const QString &command);

    // Cancel has work until the engine starts its last client or a cancel
    // went out; abort until processing is complete or an abort was sent
    // (RunState's table).
    bool CanCancel() const;
    bool CanAbort() const;
    bool Complete() const { return m_complete; }
    // Starts the rollback of `job`'s computers into `resultsFolder`, the
    // rollback's own, through an engine made for it.
    void StartRollback(QXEInterface &engine, const RollbackJob &job, const QString &jobName, const QString &resultsFolder);
    // Follows the run whose engine journal is in `resultsFolder`, which an
    // earlier console left going: its clients' statuses come in from where
    // they stand. False with the reason when its engine is gone or cannot
    // be reached.
    bool Reattach(QXEInterface &engine, const QString &resultsFolder, QString &problem);
    // How the run of a results folder's journal stands: ended (or no
    // journal), going on with its engine, or cut short by its engine's end.
    enum class Leftover { None, Going, EngineGone };
    static Leftover LeftoverOf(const QString &resultsFolder);

    // The job name and results folder of the last run: the current job's,
    // or the rollback's own.
    QString JobName() const { return m_jobName; }
    QString ResultsFolder() const { return m_resultsFolder; }

    // What the last run was. A rehearsal's statuses are no migration, nor
    // are a rollback's; kept, like them, until the next run.
    enum class Kind { Migration, Rehearsal, Rollback };
    Kind RunKind() const { return m_kind; }
    bool Rehearsal() const { return m_kind == Kind::Rehearsal; }
    void SetRehearsal(bool rehearsal) { m_kind = rehearsal ? Kind::Rehearsal : Kind::Migration; }
    // `text` as a caption, summary or title of the last run shows it:
    // labelled " [Rehearsal]" or " [Rollback]" unless it was a migration.
    QString Label(const QString &text) const;

    // The clients of the job handed to the engine.
    int ClientCount() const;
    // Their computer IDs in client order.
    QList<qint32> ClientIds() const;
    const Tally &Clients() const { return m_tally; }

    // The last status code of a computer; empty before its first.
    QString LastStatus(int computerId) const { return m_lastStatus.value(computerId); }
    // Every computer's; a settings file's saved run state is restored into it.
    QMap<int, QString> &LastStatuses() { return m_lastStatus; }
    const QMap<int, QString> &LastStatuses() const { return m_lastStatus; }

    // Where the job's waves stand ("Wave 2 of 3 \"Night\": 40 of 200
    // computers left"); empty for a job without waves.
    QString WaveText() const { return m_waveText; }

    static const QString CompleteLine; // "Processing complete."

Q_SIGNALS:
    // A line for the progress log: the engine's progress, and a computer's
    // status each time its text changes, right after its StatusChanged.
    void Line(const QString &text);
    // A computer's new status code, for its tree image. Clients() already
    // counts it.
    void StatusChanged(int computerId, const QString &code);
    // The engine interface's messages: 16 error, 48 warning, else information.
    void Message(int level, const QString &text);
    void LastClient();
    void ProcessingComplete();
    // The running state ended before processing completed: the run could
    // not start, or the engine failed.
    void Stopped();

private:
    void begin(QXEInterface &engine, Kind kind, const QString &firstLine);
    void ended();
    // Writes the outcomes not yet in the run history.
    void keepHistory();
    void statusChanged(int computerId, const QString &code);
    void progress(const QString &text);
    void pending(int computerId, int tries, const QDateTime &next, const QString &reason);
    static bool allowed(RunState::Command command);

    ComputerDB &m_database;
    QPointer<QXEInterface> m_engine;
    QMap<int, QString> m_lastStatus;
    Tally m_tally;
    bool m_complete = false;
    Kind m_kind = Kind::Migration;
    QString m_jobName;
    QString m_resultsFolder;
    // Outcomes waiting for the run history, written a thousand at a time
    // and at the end: one transaction each, not one a computer.
    QList<RunHistory::Outcome> m_outcomes;
    // Computers whose client reported of itself during the run.
    QSet<int> m_seen;
    bool m_historyFailed = false;
    bool m_forget = false;
    QString m_waveText;
    // Between Start and the end of the running state.
    bool m_started = false;
};
