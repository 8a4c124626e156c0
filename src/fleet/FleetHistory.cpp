#include "fleet/FleetHistory.h"

#include "common/RunHistory.h"

bool FleetHistory::load(RunHistory &history, QString &problem)
{
    m_rows.clear();
    // Until the history keeps a summary per computer (RunHistory::summary,
    // keyed by RunHistory::KeyOf, with its tries and last-seen time), the
    // newest outcome stands for all of them: one try, seen when it ended.
    // This and keyOf are the two places that change with it.
    QHash<QString, RunHistory::Outcome> latest;
    const bool read = history.latest(latest, problem);
    m_rows.reserve(latest.size());
    for (auto it = latest.cbegin(); it != latest.cend(); ++it)
        m_rows.insert(it.key(), Row {it->Status, it->Run, it->Time, 1, it->Time});
    return read;
}

void FleetHistory::insert(const QString &name, const QString &directoryID, const Row &row)
{
    m_rows.insert(keyOf(name, directoryID), row);
}

const FleetHistory::Row *FleetHistory::find(const QString &name, const QString &directoryID) const
{
    const auto found = m_rows.constFind(keyOf(name, directoryID));
    return found == m_rows.cend() ? nullptr : &*found;
}

QString FleetHistory::keyOf(const QString &name, const QString &directoryID)
{
    // latest() files outcomes by the folded name alone; the directory
    // identity counts once the summary's keys do (RunHistory::KeyOf).
    Q_UNUSED(directoryID)
    return name.toCaseFolded();
}
