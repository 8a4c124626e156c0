#pragma once

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

class ComputerDB;

// What the administrator chose to roll back: which computers of the job,
// from the results of which migration, and how. The export sends only those
// computers, each with the account that joins it back to its source domain
// when one was given (else the client leaves the destination realm as it is
// and says so).
struct RollbackJob
{
    // The migration's results folder: its client status file names the
    // computers it reached.
    QString MigrationResults;
    // Computer IDs of the job.
    QSet<qint32> Computers;
    // Remove the journals instead of reversing them.
    bool Forget = false;
    // A join account of the source domain, "user", "DOMAIN\user" or
    // "user@domain", and its password; empty for none.
    QString JoinAccount;
    QString JoinPassword;

    // A computer the migration reached and its last status there.
    struct Reached
    {
        qint32 Id = 0;
        QString Name;
        QString Status;
    };
    // The active computers of `database` that the run whose results are in
    // `results` reached, in ID order. False with the reason for a folder
    // without a status file, a rehearsal's or a rollback's results, and
    // results that name none of the job's computers.
    static bool ReadReached(const ComputerDB &database, const QString &results, QList<Reached> &reached, QString &problem);

    // The computers of `reached` whose name is in `names` (case does not
    // count); the names that match none go to `unknown`.
    static QSet<qint32> Named(const QList<Reached> &reached, const QStringList &names, QStringList &unknown);
};
