#include "job/modRetry.h"

#include "common/ConsoleConfig.h"
#include "common/modFileRead.h"
#include "common/modGeneral.h"
#include "common/modRollback.h"
#include "database/ComputerDB.h"
#include "settingsfile/DatabaseSnapshot.h"
#include "engine/ClientStatus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

bool ReadStatusFile(const QString &path, const QSet<QString> &computers, QHash<QString, QString> &statuses, QString &problem)
{
    // No line the engine writes comes near this; a longer one is passed over.
    constexpr qint64 maxLine = 64 * 1024;
    const auto refuse = [&](const QString &why) {
        problem = QStringLiteral("The client status file \"%1\" cannot be read: %2.").arg(QDir::toNativeSeparators(path), why);
        return false;
    };
    if (const QString refusal = modFileRead::Refusal(path, MaxStatusFileBytes); !refusal.isEmpty())
        return refuse(refusal);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    while (!file.atEnd()) {
        // A file that grew past the limit since it was checked.
        if (file.pos() > MaxStatusFileBytes)
            return refuse(modFileRead::Refusal(path, MaxStatusFileBytes));
        QByteArray line = file.readLine(maxLine);
        if (!line.endsWith('\n') && !file.atEnd()) {
            while (!file.atEnd() && file.pos() <= MaxStatusFileBytes && !file.readLine(maxLine).endsWith('\n')) { }
            continue;
        }
        const QList<QByteArray> fields = line.trimmed().split('\t');
        // A line cut short by a run that ended mid-write says nothing.
        if (fields.size() != 4 || fields.at(2).isEmpty() || fields.at(3).isEmpty())
            continue;
        const QString key = NameKey(QString::fromUtf8(fields.at(2)));
        if (computers.contains(key))
            statuses.insert(key, QString::fromUtf8(fields.at(3)));
    }
    if (file.error() != QFileDevice::NoError)
        return refuse(file.errorString());
    return true;
}

QSet<QString> ActiveComputerKeys(const ComputerDB &database)
{
    QSet<QString> keys;
    for (int id = 0; id < database.ComputerCount(); ++id) {
        if (const ComputerRecord *computer = database.Computers(id); computer && computer->Active)
            keys.insert(NameKey(computer->Name));
    }
    return keys;
}

QString MigrationStatusFile(const QString &resultsFolder, QString &problem)
{
    const QString path = StatusFilePath(resultsFolder);
    const QString folder = QDir::toNativeSeparators(resultsFolder);
    if (QFileInfo(QFileInfo(path).dir(), QString::fromLatin1(modRollback::MarkerFile)).exists()) {
        problem = QStringLiteral("\"%1\" holds the results of a rollback: they say which migrations were reversed, not what a "
                                 "migration did.  Give the migration's results folder.")
                      .arg(folder);
        return QString();
    }
    if (!QFileInfo(path).isFile()) {
        problem = QStringLiteral("The results folder \"%1\" holds no client status file (%2): no run of this job reported there.")
                      .arg(folder, QFileInfo(path).fileName());
        return QString();
    }
    return path;
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
    return modGeneral::NextFreeJobName(jobName + QStringLiteral(" retry"));
}

} // namespace modRetry
