#include "job/RollbackJob.h"

#include "common/modRehearsal.h"
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
    if (QFileInfo(modRetry::StatusFilePath(results)).dir().exists(QString::fromLatin1(modRehearsal::MarkerFile))) {
        problem = QStringLiteral("\"%1\" holds the results of a rehearsal: no computer was migrated, so there is nothing to roll back.")
                      .arg(folder);
        return false;
    }
    const QString path = modRetry::MigrationStatusFile(results, problem);
    if (path.isEmpty())
        return false;
    const QSet<QString> computers = modRetry::ActiveComputerKeys(database);
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
