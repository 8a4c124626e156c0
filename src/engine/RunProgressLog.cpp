#include "engine/RunProgressLog.h"

#include "database/ComputerDB.h"
#include "engine/QXEInterface.h"

const QString RunProgressLog::CompleteLine = QStringLiteral("Processing complete.");

namespace {

// "L0" to "L9" and the like. The letter alone counts too: the engine's own
// list of codes names the families "L", "U" and "A", and our engine reports
// unloading as a bare "U".
bool letterAndDigit(const QString &code, QChar letter)
{
    if (code.size() == 1)
        return code.at(0) == letter;
    return code.size() == 2 && code.at(0) == letter && code.at(1) >= QLatin1Char('0') && code.at(1) <= QLatin1Char('9');
}

} // namespace

RunProgressLog::RunProgressLog(const ComputerDB &database, QXEInterface &engine, QObject *parent)
    : QObject(parent)
    , m_database(database)
{
    connect(&engine, &QXEInterface::ClientStatusChanged, this, &RunProgressLog::statusChanged);
    connect(&engine, &QXEInterface::Progress, this, &RunProgressLog::Line);
    connect(&engine, &QXEInterface::ProcessingComplete, this, [this] { Q_EMIT Line(CompleteLine); });
}

QString RunProgressLog::StatusText(const QString &code)
{
    if (code == QLatin1String("AP"))
        return QStringLiteral("Abort pending");
    if (code == QLatin1String("CL"))
        return QStringLiteral("Client executing");
    if (code == QLatin1String("XA"))
        return QStringLiteral("Migration aborted");
    if (code == QLatin1String("XC"))
        return QStringLiteral("Migration canceled");
    if (code == QLatin1String("XE"))
        return QStringLiteral("Migration complete with errors");
    if (code == QLatin1String("XS"))
        return QStringLiteral("Migration successful");
    if (code == QLatin1String("XW"))
        return QStringLiteral("Migration complete with warnings");
    if (code == QLatin1String("ID"))
        return QStringLiteral("Idle");
    if (letterAndDigit(code, QLatin1Char('L')))
        return QStringLiteral("Loading in progress");
    if (code == QLatin1String("NP"))
        return QStringLiteral("Not processed");
    if (code == QLatin1String("PE"))
        return QStringLiteral("Client process finished with errors");
    if (code == QLatin1String("PS"))
        return QStringLiteral("Client process successful");
    if (code == QLatin1String("PW"))
        return QStringLiteral("Client process finished with warnings");
    if (letterAndDigit(code, QLatin1Char('A')))
        return QStringLiteral("Aborting in progress");
    if (letterAndDigit(code, QLatin1Char('U')))
        return QStringLiteral("Unloading in progress");
    return QStringLiteral("Unspecified status = ") + code;
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
    Q_EMIT Line(m_database.GetComputerName(computerId) + QStringLiteral(": ") + StatusText(code));
}
