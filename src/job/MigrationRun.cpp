#include "job/MigrationRun.h"

#include "common/AppState.h"
#include "common/modErrorHandler.h"
#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"
#include "job/ComputerDBJobExport.h"
#include "engine/QXEInterface.h"

const QString MigrationRun::CompleteLine = QStringLiteral("Processing complete.");

MigrationRun::MigrationRun(ComputerDB &database, QObject *parent)
    : QObject(parent)
    , m_database(database)
{ }

bool MigrationRun::running() const
{
    return AppState::Get().MigrationRunning;
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
    connect(&engine, &QXEInterface::Message, this, &MigrationRun::Message);
    connect(&engine, &QXEInterface::LastClient, this, [this] {
        m_lastClient = true;
        Q_EMIT LastClient();
    });
    connect(&engine, &QXEInterface::ProcessingComplete, this, [this] {
        // An engine that says so twice has still completed once.
        if (m_complete)
            return;
        m_complete = true;
        // The run stays on until the administrator is done with it, but the
        // console may now exit without a warning.
        AppState::Get().MigrationIdle = true;
        Q_EMIT Line(CompleteLine);
        Q_EMIT ProcessingComplete();
    });
    connect(&engine, &QXEInterface::RunningChanged, this, [this](bool on) {
        if (!on && !m_complete)
            Q_EMIT Stopped();
    });
}

void MigrationRun::Start(QXEInterface &engine)
{
    Attach(engine);
    m_lastStatus.clear();
    m_tally = {};
    m_lastClient = false;
    m_complete = false;
    m_abortSent = false;

    ComputerDBJobExport job(m_database);
    engine.Run(job);
    // Added rather than set: an engine may report a client before Run returns.
    m_tally.NotStarted += ClientCount();
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
    if (m_engine && CanCancel())
        m_engine->CancelAll();
}

void MigrationRun::AbortAll()
{
    if (!m_engine || !CanAbort())
        return;
    m_abortSent = true;
    m_engine->AbortAll();
}

void MigrationRun::CancelClient(const QString &nodeKey)
{
    if (m_engine && running())
        m_engine->CancelClient(nodeKey);
}

void MigrationRun::AbortClient(const QString &nodeKey)
{
    if (m_engine && running())
        m_engine->AbortClient(nodeKey);
}

bool MigrationRun::CanCancel() const
{
    return running() && !m_lastClient && !m_complete;
}

bool MigrationRun::CanAbort() const
{
    return running() && !m_complete && !m_abortSent;
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
    // A client moves between counts only when its category changes, so an
    // end is counted once however often the engine repeats it.
    const ClientStatus::Category before = ClientStatus::CategoryOf(last);
    const ClientStatus::Category after = ClientStatus::CategoryOf(code);
    if (before != after) {
        --m_tally.Count(before);
        ++m_tally.Count(after);
    }
    last = code;
    Q_EMIT StatusChanged(computerId, code);
    Q_EMIT Line(m_database.GetComputerName(computerId) + QStringLiteral(": ") + ClientStatus::Text(code));
}

void MigrationRun::progress(const QString &text)
{
    if (!running()) {
        modErrorHandler::ShowMessage(
            modErrorHandler::InternalError, QStringLiteral("Progress message when not running"), QStringLiteral("wintQXE_Progress"));
        return;
    }
    Q_EMIT Line(text);
}
