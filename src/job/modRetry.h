#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

class ComputerDB;

// A new job for the computers a run did not finish: File > New Job from
// Unfinished Computers and `vo retry`. The new job has every group and every
// settings record of the old one and only the computers still to do; the
// old database is only read.
namespace modRetry {

// Whether a computer whose last status is `code` is done. A migration that
// ended with warnings is done: its profiles were moved, and what the
// warnings were about is in its client log. No status at all (the client
// never answered), errors, cancel and abort, and a run that stopped while
// the client was busy all leave it to do.
bool Finished(const QString &code);

// The client status file of a results folder, as the configuration names it
// ("CStatusFile", normally varnoosk.sts).
QString StatusFilePath(const QString &resultsFolder);

// A run of 100,000 clients writes some 100 MB of status lines; runs
// appended to it add theirs. Anything larger is not a status file.
constexpr qint64 MaxStatusFileBytes = qint64(1) << 30;

// The last status of each of `computers` (by NameKey) in a client status
// file. Each line is "time<TAB>client<TAB>computer name<TAB>code", one per
// status change, the newest last; names of other computers are passed over,
// so that what is kept is bounded by the job. False with the reason in
// `problem` when the file cannot be read or is larger than any status file.
bool ReadStatusFile(const QString &path, const QSet<QString> &computers, QHash<QString, QString> &statuses, QString &problem);

// The key ReadStatusFile files a computer's status under.
QString NameKey(const QString &computerName);

// The NameKeys of the database's active computers.
QSet<QString> ActiveComputerKeys(const ComputerDB &database);

// The client status file of a migration's results folder; empty, with the
// reason in `problem`, for a rollback's results (whose statuses say what
// was reversed) and for a folder that holds no status file.
QString MigrationStatusFile(const QString &resultsFolder, QString &problem);

struct Split
{
    std::unique_ptr<ComputerDB> Database;
    int Kept = 0; // computers still to do, now in Database
    int Finished = 0; // computers left out
};

// A copy of `database` without the computers that finished, by
// `lastStatus` of a computer ID; the settings records of the computers left
// out go with them. IDs stay what they were.
Split UnfinishedJob(const ComputerDB &database, const std::function<QString(int id)> &lastStatus);

// The name of the retry of `jobName`: `jobName` + " retry", or " retry 2"
// and so on while that job's results folder holds files.
QString NextJobName(const QString &jobName);

} // namespace modRetry
