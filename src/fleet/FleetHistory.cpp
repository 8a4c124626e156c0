#include "fleet/FleetHistory.h"

bool FleetHistory::load(RunHistory &history, QString &problem)
{
    m_summaries.clear();
    return history.summary(m_summaries, problem);
}

void FleetHistory::insert(const QString &name, const QString &directoryID, const Row &row)
{
    RunHistory::Summary summary;
    summary.latest.Computer = name;
    summary.latest.DirectoryID = directoryID;
    summary.latest.Status = row.Status;
    summary.latest.Run = row.Run;
    summary.latest.Time = row.Time;
    summary.tries = row.Tries;
    summary.lastSeen = row.LastSeen;
    m_summaries.insert(RunHistory::KeyOf(name, directoryID), summary);
}

std::optional<FleetHistory::Row> FleetHistory::find(const QString &name, const QString &directoryID) const
{
    const std::optional<RunHistory::Summary> summary = RunHistory::SummaryOf(m_summaries, name, directoryID);
    if (!summary)
        return std::nullopt;
    return Row {summary->latest.Status, summary->latest.Run, summary->latest.Time, summary->tries, summary->lastSeen};
}
