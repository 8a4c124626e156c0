#pragma once

#include "common/RunHistory.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

// What the run history says about each computer, as the fleet view shows it:
// the newest outcome, how many outcomes there are, and when the computer was
// last heard of. Filled once per rebuild; the table looks each computer up
// by its name and directory identity.
class FleetHistory
{
public:
    struct Row
    {
        QString Status; // the newest outcome's status code
        QString Run; // the job that outcome came from
        QDateTime Time; // when it ended, UTC
        int Tries = 0;
        QDateTime LastSeen;
    };

    // Every computer's row from `history`. False with the reason; the rows
    // read until then stay.
    bool load(RunHistory &history, QString &problem);
    void insert(const QString &name, const QString &directoryID, const Row &row);
    // Nothing for a computer the history does not know. A computer with a
    // directory identity also counts the runs under its name from before it
    // had one.
    std::optional<Row> find(const QString &name, const QString &directoryID) const;
    qsizetype size() const { return m_summaries.size(); }

private:
    QHash<QString, RunHistory::Summary> m_summaries;
};
