#include "engine/MigrationRun.h"

#include "common/AppState.h"
#include "common/modErrorHandler.h"
#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"
#include "engine/ComputerDBJobExport.h"
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

void MigrationRun::Start(QXEInterface &engine)
{
    if (m_engine)
        m_engine->disconnect(this);
    m_engine = &engine;
    m_lastStatus.clear();
    m_tally = {};
    m_lastClient = false;
    m_complete = false;
    m_abortSent = false;

    connect(&engine, &QXEInterface::ClientStatusChanged, this, &MigrationRun::statusChanged);
    connect(&engine, &QXEInterface::Progress, this, &MigrationRun::progress);
    connect(&engine, &QXEInterface::Message, this, &MigrationRun::Message);
    connect(&engine, &QXEInterface::LastClient, this, [this] {
        m_lastClient = true;
        Q_EMIT LastClient();
    });
    connect(&engine, &QXEInterface::ProcessingComplete, this, [this] {
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

    ComputerDBJobExport job(m_database);
    engine.Run(job);
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
    return m_engine && m_engine->Translation().Exists() ? m_engine->Translation().Rows() : 0;
}

QList<qint32> MigrationRun::ClientIds() const
{
    const QXEInterface *engine = m_engine.data();
    return engine && engine->Translation().Exists() ? engine->Translation().Ids() : QList<qint32>();
}

void MigrationRun::statusChanged(int computerId, const QString &code)
{
    QString &last = m_lastStatus[computerId];
    // An end is counted once, however often the engine repeats it.
    if (code != last) {
        if (code == QLatin1String("XS"))
            ++m_tally.Successful;
        else if (code == QLatin1String("XW"))
            ++m_tally.Warnings;
        else if (code == QLatin1String("XE"))
            ++m_tally.Errors;
        else if (code == QLatin1String("XC"))
            ++m_tally.Canceled;
        else if (code == QLatin1String("XA"))
            ++m_tally.Aborted;
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
