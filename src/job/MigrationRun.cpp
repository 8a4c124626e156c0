#include "job/MigrationRun.h"

#include "common/AppState.h"
#include "common/Clock.h"
#include "common/RunState.h"
#include "common/modErrorHandler.h"
#include "common/modGeneral.h"
#include "common/modRehearsal.h"
#include "common/modRollback.h"
#include "job/RollbackJob.h"
#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"
#include "engine/EngineJournal.h"
#include "engine/modEngineLink.h"
#include "engine/QXEHandler.h"
#include "engine/QXEInterface.h"
#include "job/ComputerDBJobExport.h"

#include <QDir>
#include <QFile>

const QString MigrationRun::CompleteLine = QStringLiteral("Processing complete.");

using Command = RunState::Command;

MigrationRun::MigrationRun(ComputerDB &database, QObject *parent)
    : QObject(parent)
    , m_database(database)
{
    connect(&RunState::instance(), &RunState::changed, this, [this](RunState::State state, RunState::State previous) {
        // Back to editing without a completion: the run could not start, or the engine failed.
        if (m_started && state == RunState::State::Editing && RunState::mode(previous) == RunState::Mode::Migration) {
            m_started = false;
            if (m_complete)
                return;
            ended();
            Q_EMIT Stopped();
        }
    });
}

bool MigrationRun::allowed(RunState::Command command)
{
    return RunState::instance().isEnabled(command);
}

void MigrationRun::Attach(QXEInterface &engine)
{
    if (m_engine == &engine)
        return;
    if (m_engine)
        m_engine->disconnect(this);
    m_engine = &engine;

    connect(&engine, &QXEInterface::ClientStatusChanged, this, &MigrationRun::statusChanged);
    connect(&engine, &QXEInterface::Progress, this, &MigrationRun::progress);
    connect(&engine, &QXEInterface::ClientPending, this, &MigrationRun::pending);
    connect(&engine, &QXEInterface::WaveProgress, this, [this](const QString &text, bool line) {
        if (line) {
            Q_EMIT Line(text);
        } else {
            // The window's status bar reads it four times a second.
            m_waveText = text;
        }
    });
    connect(&engine, &QXEInterface::Message, this, &MigrationRun::Message);
    connect(&engine, &QXEInterface::LastClient, this, [this] {
        RunState::instance().nothingLeftToCancel();
        Q_EMIT LastClient();
    });
    connect(&engine, &QXEInterface::ProcessingComplete, this, [this] {
        // An engine that says so twice has still completed once.
        if (m_complete)
            return;
        m_complete = true;
        // Nothing is left of any wave; the tally says how the run ended.
        m_waveText.clear();
        // The run stays on until the administrator is done with it, but the
        // console may now exit without a warning.
        RunState::instance().processingComplete();
        Q_EMIT Line(CompleteLine);
        ended();
        Q_EMIT ProcessingComplete();
    });
}

void MigrationRun::begin(QXEInterface &engine, Kind kind, const QString &firstLine)
{
    Attach(engine);
    m_lastStatus.clear();
    m_tally = {};
    m_complete = false;
    m_started = true;
    m_kind = kind;
    m_outcomes.clear();
    m_seen.clear();
    m_historyFailed = false;
    m_waveText.clear();
    // Whoever reads the log, now or from a copy later, learns first whether computers were changed.
    Q_EMIT Line(firstLine);
}

void MigrationRun::keepHistory()
{
    QString problem;
    if (m_outcomes.isEmpty() || m_historyFailed)
        return;
    if (!RunHistory().record(m_outcomes, problem)) {
        // Said once; the run goes on without its history.
        m_historyFailed = true;
        Q_EMIT Line(problem);
    }
    m_outcomes.clear();
}

void MigrationRun::ended()
{
    keepHistory();
    if (m_kind == Kind::Rehearsal)
        Q_EMIT Line(modRehearsal::LastLine());
    else if (m_kind == Kind::Rollback)
        Q_EMIT Line(modRollback::LastLine(m_forget));
}

void MigrationRun::Start(QXEInterface &engine, const QString &wave)
{
    const bool rehearsal = engine.Engine().Rehearses();
    m_forget = false;
    m_jobName = AppState::Get().CurrentJobName;
    m_resultsFolder = modGeneral::GetLogPath();
    begin(engine, rehearsal ? Kind::Rehearsal : Kind::Migration, rehearsal ? modRehearsal::FirstLine() : modRehearsal::SshFirstLine());
    ComputerDBJobExport job(m_database);
    job.SetWave(wave);
    engine.Run(job);
    // Added rather than set: an engine may report a client before Run returns.
    m_tally.NotStarted += ClientCount();
}

bool MigrationRun::StartUndelivered(QXEInterface &engine, const QString &resultsFolder, QString &problem)
{
    QStringList unknown;
    QStringList asked;
    EngineJournal::Contents journal;
    if (!EngineJournal::Read(resultsFolder, journal, problem))
        return false;
    QSet<qint32> undelivered;
    QSet<qint32> askFirst;
    for (int n = 1; n <= journal.clients.size(); ++n) {
        const QString &name = journal.clients.at(n - 1);
        const QString code = journal.statuses.value(n);
        const qint32 id = m_database.FindComputer(name);
        if (code.startsWith(QLatin1Char('X')))
            continue;
        if (id < 0) {
            unknown.append(name);
            continue;
        }
        undelivered.insert(id);
        // "NP" after a try that did not reach it: it was never delivered.
        // Any other status: the engine was at work on it, and the new one
        // asks the client how it stands before it delivers anything.
        if (!code.isEmpty() && code != QLatin1String("NP")) {
            askFirst.insert(id);
            asked.append(name);
        }
    }
    if (undelivered.isEmpty()) {
        problem = QStringLiteral("The engine of the run in \"%1\" had ended every computer of the job; none is left to deliver.")
                      .arg(QDir::toNativeSeparators(resultsFolder));
        return false;
    }
    // The new engine journals its own run; the dead one's is kept beside it.
    QDir folder(resultsFolder);
    int kept = 1;
    while (folder.exists(EngineJournal::FileName + QLatin1Char('.') + QString::number(kept)))
        ++kept;
    folder.rename(EngineJournal::FileName, EngineJournal::FileName + QLatin1Char('.') + QString::number(kept));
    const bool rehearsal = engine.Engine().Rehearses();
    m_forget = false;
    m_jobName = journal.run;
    m_resultsFolder = resultsFolder;
    begin(engine, rehearsal ? Kind::Rehearsal : Kind::Migration,
        QStringLiteral("The run \"%1\" goes on without its engine, which is gone: the %2 computers it did not end are "
                       "taken up now.")
            .arg(journal.run)
            .arg(undelivered.size()));
    if (!asked.isEmpty())
        Q_EMIT Line(QStringLiteral("Asked first how they stand, as the engine was at work on them when it went: %1.")
                        .arg(asked.join(QStringLiteral(", "))));
    if (!unknown.isEmpty())
        Q_EMIT Line(QStringLiteral("Left alone, as the job no longer has them: %1.").arg(unknown.join(QStringLiteral(", "))));
    ComputerDBJobExport job(m_database);
    job.SetComputers(&undelivered);
    job.SetAskFirst(&askFirst);
    engine.Run(job, resultsFolder);
    m_tally.NotStarted += ClientCount();
    return true;
}

MigrationRun::Leftover MigrationRun::LeftoverOf(const QString &resultsFolder)
{
    EngineJournal::Contents journal;
    QString problem;
    if (!EngineJournal::Read(resultsFolder, journal, problem) || journal.complete)
        return Leftover::None;
    return EngineJournal::EngineAlive(journal) ? Leftover::Going : Leftover::EngineGone;
}

bool MigrationRun::Reattach(QXEInterface &engine, const QString &resultsFolder, QString &problem)
{
    EngineJournal::Contents journal;
    if (!EngineJournal::Read(resultsFolder, journal, problem))
        return false;
    const QString folder = QDir::toNativeSeparators(resultsFolder);
    if (journal.complete) {
        problem = QStringLiteral("The run in \"%1\" has ended; vo status and the run report show how.").arg(folder);
        return false;
    }
    if (!EngineJournal::EngineAlive(journal)) {
        problem = QStringLiteral("The engine of the run in \"%1\" is gone (it was killed, or its machine restarted). "
                                 "Its computers' last statuses are in the results folder: vo retry makes a job of those "
                                 "it did not finish.")
                      .arg(folder);
        return false;
    }
    QList<qint32> ids;
    for (const QString &name : std::as_const(journal.clients))
        ids.append(m_database.FindComputer(name));
    const bool rollback = journal.mode == QLatin1String(modEngineLink::ModeRollback) || journal.mode == QLatin1String(modEngineLink::ModeForget);
    m_forget = journal.mode == QLatin1String(modEngineLink::ModeForget);
    m_jobName = journal.run;
    m_resultsFolder = resultsFolder;
    begin(engine, rollback ? Kind::Rollback : Kind::Migration,
        QStringLiteral("Attached again to the run \"%1\", which went on without its console.").arg(journal.run));
    if (!engine.Reattach(journal, ids)) {
        problem = QStringLiteral("The engine of the run in \"%1\" does not answer.").arg(folder);
        m_started = false;
        return false;
    }
    m_tally.NotStarted += ClientCount();
    return true;
}

void MigrationRun::StartRollback(QXEInterface &engine, const RollbackJob &job, const QString &jobName, const QString &resultsFolder)
{
    m_forget = job.Forget;
    m_jobName = jobName;
    m_resultsFolder = resultsFolder;
    begin(engine, Kind::Rollback, modRollback::FirstLine(job.Forget));
    // The folder says what its statuses are before the first of them lands.
    QDir().mkpath(resultsFolder);
    QFile marker(QDir(resultsFolder).filePath(QString::fromLatin1(modRollback::MarkerFile)));
    if (marker.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        marker.write((modRollback::FirstLine(job.Forget) + QStringLiteral("\nMigration results: ")
                         + QDir::toNativeSeparators(job.MigrationResults) + QLatin1Char('\n'))
                .toUtf8());
    ComputerDBJobExport rollback(m_database);
    rollback.SetRollback(&job);
    engine.Run(rollback, resultsFolder);
    m_tally.NotStarted += ClientCount();
}

QString MigrationRun::Label(const QString &text) const
{
    switch (m_kind) {
    case Kind::Rehearsal:
        return modRehearsal::Label(text);
    case Kind::Rollback:
        return modRollback::Label(text);
    case Kind::Migration:
        break;
    }
    return text;
}

namespace {

// One switch for both kinds of Tally.
template<typename TallyType> auto &countOf(TallyType &tally, ClientStatus::Category category)
{
    using ClientStatus::Category;
    switch (category) {
    case Category::NotStarted:
        return tally.NotStarted;
    case Category::InProgress:
        break;
    case Category::Successful:
        return tally.Successful;
    case Category::Warnings:
        return tally.Warnings;
    case Category::Errors:
        return tally.Errors;
    case Category::Canceled:
        return tally.Canceled;
    case Category::Aborted:
        return tally.Aborted;
    }
    return tally.InProgress;
}

} // namespace

int &MigrationRun::Tally::Count(ClientStatus::Category category)
{
    return countOf(*this, category);
}

int MigrationRun::Tally::Count(ClientStatus::Category category) const
{
    return countOf(*this, category);
}

void MigrationRun::CancelAll()
{
    if (!m_engine || !CanCancel())
        return;
    // Every client not yet started is canceled with it.
    RunState::instance().nothingLeftToCancel();
    m_engine->CancelAll();
}

void MigrationRun::AbortAll()
{
    if (!m_engine || !CanAbort())
        return;
    RunState::instance().abortSent();
    m_engine->AbortAll();
}

void MigrationRun::CancelClient(const QString &nodeKey)
{
    if (m_engine && allowed(Command::CancelClient))
        m_engine->CancelClient(nodeKey);
}

void MigrationRun::AbortClient(const QString &nodeKey)
{
    if (m_engine && allowed(Command::AbortClient))
        m_engine->AbortClient(nodeKey);
}

MigrationRun::ClientChoice MigrationRun::ChooseClients(const QStringList &nodeKeys) const
{
    using ClientStatus::Category;
    ClientChoice choice;
    for (const QString &key : nodeKeys) {
        const NodeInfo node = modGeneral::ParseNodeKey(key);
        if (!node.Valid || node.Type != NodeInfo::Computer)
            continue;
        const Category category = ClientStatus::CategoryOf(LastStatus(node.ID));
        if (category == Category::NotStarted || category == Category::InProgress)
            choice.Keys.append(key);
        else
            choice.Finished.append(m_database.GetComputerName(node.ID));
    }
    choice.NoComputer = choice.Keys.isEmpty() && choice.Finished.isEmpty();
    return choice;
}

QString MigrationRun::WhyNot(const ClientChoice &choice, const QString &command)
{
    if (choice.NoComputer) {
        QString caption = command;
        caption[0] = caption[0].toUpper();
        return QStringLiteral("No computer is selected.  Select in the tree the computers to %1, then choose %2 Client again.")
            .arg(command, caption);
    }
    if (choice.Finished.isEmpty())
        return QString();
    // A long selection names a few; the tree shows the rest.
    constexpr int named = 5;
    QString names = QLatin1Char('\'') + choice.Finished.mid(0, named).join(QStringLiteral("', '")) + QLatin1Char('\'');
    if (choice.Finished.size() > named)
        names += QStringLiteral(" and %1 more").arg(choice.Finished.size() - named);
    if (choice.Keys.isEmpty()) {
        return QStringLiteral("%1 %2 already finished: there is nothing left to %3.")
            .arg(names, choice.Finished.size() == 1 ? QStringLiteral("has") : QStringLiteral("have"), command);
    }
    return QStringLiteral("%1 of the selected computers had already finished their migration and were left as they are: %2.")
        .arg(choice.Finished.size())
        .arg(names);
}

bool MigrationRun::CanCancel() const
{
    return allowed(Command::CancelMigration);
}

bool MigrationRun::CanAbort() const
{
    return allowed(Command::AbortMigration);
}

int MigrationRun::ClientCount() const
{
    // Read once: the guarded pointer could be cleared between two reads.
    const QXEInterface *engine = m_engine.data();
    if (!engine || !engine->Translation().Exists())
        return 0;
    return engine->Translation().Rows();
}

QList<qint32> MigrationRun::ClientIds() const
{
    const QXEInterface *engine = m_engine.data();
    return engine && engine->Translation().Exists() ? engine->Translation().Ids() : QList<qint32>();
}

void MigrationRun::statusChanged(int computerId, const QString &code)
{
    QString &last = m_lastStatus[computerId];
    if (ClientStatus::ReportedByClient(code))
        m_seen.insert(computerId);
    // A client moves between counts only when its category changes, so an
    // end is counted once however often the engine repeats it.
    const ClientStatus::Category before = ClientStatus::CategoryOf(last);
    const ClientStatus::Category after = ClientStatus::CategoryOf(code);
    if (before != after) {
        --m_tally.Count(before);
        ++m_tally.Count(after);
        // A rehearsal's ends are no computer's history.
        using ClientStatus::Category;
        if (m_kind != Kind::Rehearsal && after != Category::NotStarted && after != Category::InProgress) {
            const ComputerRecord *computer = m_database.Computers(computerId);
            m_outcomes.append({m_database.GetComputerName(computerId), code, Clock::instance().currentDateTime().toUTC(), m_jobName,
                QString::fromLatin1(m_kind == Kind::Rollback ? "rollback" : "migration"), ClientStatus::Text(code),
                computer ? computer->Wave : QString(), computer ? computer->DirectoryID : QString(), m_seen.contains(computerId)});
            if (m_outcomes.size() >= 1000)
                keepHistory();
        }
    }
    // The engine counts its steps in the code ("L0" to "L9"); the log and
    // the tree show what the administrator can tell apart, once. A text and
    // its image come from one lookup, so the same text is the same image.
    const QString text = ClientStatus::Text(code);
    const bool news = last.isEmpty() || ClientStatus::Text(last) != text;
    last = code;
    if (!news)
        return;
    Q_EMIT StatusChanged(computerId, code);
    // Back to "Not processed" after a try: the pending line that follows says how it stands.
    if (before == ClientStatus::Category::InProgress && after == ClientStatus::Category::NotStarted)
        return;
    // A rollback's "Migration successful" is a migration reversed.
    static const QString migration = QStringLiteral("Migration");
    const QString shown = m_kind == Kind::Rollback && text.startsWith(migration) ? modRollback::Word() + text.mid(migration.size()) : text;
    Q_EMIT Line(m_database.GetComputerName(computerId) + QStringLiteral(": ") + shown);
}

void MigrationRun::pending(int computerId, int tries, const QDateTime &next, const QString &reason)
{
    Q_EMIT Line(QStringLiteral("%1: Not processed: %2 %3, the next at %4 (%5)")
                    .arg(m_database.GetComputerName(computerId))
                    .arg(tries)
                    .arg(tries == 1 ? QStringLiteral("try") : QStringLiteral("tries"))
                    .arg(next.toLocalTime().toString(QStringLiteral("HH:mm:ss")), reason));
}

void MigrationRun::progress(const QString &text)
{
    if (!RunState::instance().running()) {
        modErrorHandler::ShowMessage(
            modErrorHandler::InternalError, QStringLiteral("Progress message when not running"), QStringLiteral("wintQXE_Progress"));
        return;
    }
    Q_EMIT Line(text);
}
