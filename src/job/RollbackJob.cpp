#include "job/RollbackJob.h"

#include "common/modRehearsal.h"
#include "common/modRollback.h"
#include "database/ComputerDB.h"
#include "job/modRetry.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

bool RollbackJob::ReadReached(const ComputerDB &database, const QString &results, QList<Reached> &reached, QString &problem)
{
    const QString folder = QDir::toNativeSeparators(results);
    if (!QFileInfo(results).isDir()) {
        problem = QStringLiteral("\"%1\" is no results folder.").arg(folder);
        return false;
    }
    const QString path = modRetry::StatusFilePath(results);
    const QDir dir = QFileInfo(path).dir();
    if (dir.exists(QString::fromLatin1(modRehearsal::MarkerFile))) {
        problem = QStringLiteral("\"%1\" holds the results of a rehearsal: no computer was migrated, so there is nothing to roll back.")
                      .arg(folder);
        return false;
    }
    if (dir.exists(QString::fromLatin1(modRollback::MarkerFile))) {
        problem = QStringLiteral("\"%1\" holds the results of a rollback. Choose the results folder of the migration to roll back.").arg(folder);
        return false;
    }
    if (!QFileInfo(path).isFile()) {
        problem = QStringLiteral("The results folder \"%1\" holds no client status file (%2): no run of this job reported there.")
                      .arg(folder, QFileInfo(path).fileName());
        return false;
    }
    QSet<QString> computers;
    for (int id = 0; id < database.ComputerCount(); ++id) {
        if (const ComputerRecord *computer = database.Computers(id); computer && computer->Active)
            computers.insert(modRetry::NameKey(computer->Name));
    }
    QHash<QString, QString> statuses;
    if (!modRetry::ReadStatusFile(path, computers, statuses, problem))
        return false;
    reached.clear();
    for (int id = 0; id < database.ComputerCount(); ++id) {
        const ComputerRecord *computer = database.Computers(id);
        if (!computer || !computer->Active)
            continue;
        const auto status = statuses.constFind(modRetry::NameKey(computer->Name));
        if (status != statuses.cend())
            reached.append({id, computer->Name, *status});
    }
    if (reached.isEmpty()) {
        problem = QStringLiteral("None of the %1 computers of this job is named in \"%2\": those are the results of another job.")
                      .arg(computers.size())
                      .arg(folder);
        return false;
    }
    return true;
}

QSet<qint32> RollbackJob::Named(const QList<Reached> &reached, const QStringList &names, QStringList &unknown)
{
    QHash<QString, qint32> byName;
    for (const Reached &computer : reached)
        byName.insert(modRetry::NameKey(computer.Name), computer.Id);
    QSet<qint32> ids;
    for (const QString &name : names) {
        if (const auto id = byName.constFind(modRetry::NameKey(name)); id != byName.cend())
            ids.insert(*id);
        else
            unknown << name;
    }
    return ids;
}
