#include "job/modRetry.h"

#include "common/ConsoleConfig.h"
#include "common/modGeneral.h"
#include "database/ComputerDB.h"
#include "settingsfile/DatabaseSnapshot.h"
#include "engine/ClientStatus.h"

#include <QDir>
#include <QFile>
#include <QSet>

namespace modRetry {

bool Finished(const QString &code)
{
    const ClientStatus::Category category = ClientStatus::CategoryOf(code);
    return category == ClientStatus::Category::Successful || category == ClientStatus::Category::Warnings;
}

QString StatusFilePath(const QString &resultsFolder)
{
    return QDir(resultsFolder).filePath(ConsoleConfig().Text(ConsoleConfig::CStatusFile));
}

QString NameKey(const QString &computerName)
{
    // Windows names are the same whatever their case.
    return computerName.toCaseFolded();
}

bool ReadStatusFile(const QString &path, QHash<QString, QString> &statuses, QString &problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem
            = QStringLiteral("The client status file \"%1\" cannot be read: %2.").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split('\t');
        // A line cut short by a run that ended mid-write says nothing.
        if (fields.size() != 4 || fields.at(2).isEmpty() || fields.at(3).isEmpty())
            continue;
        statuses.insert(NameKey(QString::fromUtf8(fields.at(2))), QString::fromUtf8(fields.at(3)));
    }
    return true;
}

Split UnfinishedJob(const ComputerDB &database, const std::function<QString(int)> &lastStatus)
{
    DatabaseSnapshot snapshot = DatabaseSnapshot::Capture(database);
    Split split;
    QSet<int> leftOut;
    QList<DatabaseSnapshot::Computer> kept;
    kept.reserve(snapshot.Computers.size());
    for (const DatabaseSnapshot::Computer &computer : std::as_const(snapshot.Computers)) {
        if (Finished(lastStatus(computer.ID))) {
            leftOut.insert(computer.ID);
            ++split.Finished;
        } else {
            kept.append(computer);
            ++split.Kept;
        }
    }
    snapshot.Computers = kept;
    const QString computerType = QStringLiteral("C");
    snapshot.Settings.removeIf(
        [&](const GlobalSettings &record) { return record.ObjectType == computerType && leftOut.contains(record.AssociatedID); });
    snapshot.LastStatus.reset();
    split.Database = std::make_unique<ComputerDB>();
    snapshot.Restore(*split.Database);
    return split;
}

QString NextJobName(const QString &jobName)
{
    const QString base = jobName + QStringLiteral(" retry");
    QString candidate = base;
    for (int number = 2; modGeneral::FolderHoldsFiles(modGeneral::GetLogPath(candidate)); ++number)
        candidate = base + QLatin1Char(' ') + QString::number(number);
    return candidate;
}

} // namespace modRetry
