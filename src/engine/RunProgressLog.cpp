#include "engine/RunProgressLog.h"

#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"
#include "engine/QXEInterface.h"

const QString RunProgressLog::CompleteLine = QStringLiteral("Processing complete.");

RunProgressLog::RunProgressLog(const ComputerDB &database, QXEInterface &engine, QObject *parent)
    : QObject(parent)
    , m_database(database)
{
    connect(&engine, &QXEInterface::ClientStatusChanged, this, &RunProgressLog::statusChanged);
    connect(&engine, &QXEInterface::Progress, this, &RunProgressLog::Line);
    connect(&engine, &QXEInterface::ProcessingComplete, this, [this] { Q_EMIT Line(CompleteLine); });
}

QString RunProgressLog::LastStatus(int computerId) const
{
    if (computerId < 0 || static_cast<size_t>(computerId) >= m_lastStatus.size())
        return QString();
    return m_lastStatus[static_cast<size_t>(computerId)];
}

void RunProgressLog::statusChanged(int computerId, const QString &code)
{
    if (computerId >= 0) {
        if (static_cast<size_t>(computerId) >= m_lastStatus.size())
            m_lastStatus.resize(static_cast<size_t>(qMax(computerId + 1, m_database.ComputerCount())));
        QString &last = m_lastStatus[static_cast<size_t>(computerId)];
        // An end is counted once, however often the engine repeats it.
        if (code != last && code.startsWith(QLatin1Char('X'))) {
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
    }
    Q_EMIT Line(m_database.GetComputerName(computerId) + QStringLiteral(": ") + ClientStatus::Text(code));
}
