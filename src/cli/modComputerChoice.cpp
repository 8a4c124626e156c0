#include "cli/modComputerChoice.h"

#include "cli/JobFile.h"
#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"

namespace modComputerChoice {

namespace {

bool below(const ComputerDB &database, int folder, int ancestor)
{
    for (int guard = 0; guard <= database.FolderCount(); ++guard) {
        if (folder == ancestor)
            return true;
        const FolderRecord *record = folder >= 0 ? database.Folders(folder) : nullptr;
        if (!record)
            return false;
        folder = record->ParentID;
    }
    return false;
}

} // namespace

int FolderOfPath(const ComputerDB &database, const QString &path)
{
    QStringList parts = QString(path).replace(QLatin1Char('/'), QLatin1Char('\\')).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.first().compare(QStringLiteral("All Computers"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    int folder = -1;
    for (const QString &part : std::as_const(parts)) {
        folder = database.FindFolder(part, folder);
        if (folder < 0)
            return -2;
    }
    return folder;
}

bool Choose(const ComputerDB &database, const QStringList &groups, const QStringList &computers, QSet<int> &chosen,
    QString &problem)
{
    for (const QString &computer : computers) {
        const int id = database.FindComputer(computer);
        if (id < 0) {
            problem = QStringLiteral("There is no computer named \"%1\".").arg(computer);
            return false;
        }
        chosen.insert(id);
    }
    for (const QString &group : groups) {
        const int folder = FolderOfPath(database, group);
        if (folder < -1) {
            problem = QStringLiteral("There is no group \"%1\" under All Computers.").arg(group);
            return false;
        }
        for (int id = 0; id < database.ComputerCount(); ++id) {
            const ComputerRecord *computer = database.Computers(id);
            if (computer && computer->Active && below(database, computer->FolderID, folder))
                chosen.insert(id);
        }
    }
    return true;
}

bool SaveBack(const JobFile &file, const ComputerDB &database, QString &problem)
{
    SettingsFile settings;
    SettingsFile::SaveOptions options;
    options.JobName = file.result().JobName;
    options.LastStatus = file.result().LastStatus;
    if (file.result().PasswordsIncluded)
        options.Passphrase = file.passphrase();
    const SettingsFileResult saved = settings.Save(database, file.path(), options);
    problem = saved.Message;
    return saved.ok();
}

QString ComputersText(qsizetype count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" computer") : QStringLiteral(" computers"));
}

} // namespace modComputerChoice
