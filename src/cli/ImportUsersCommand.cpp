#include "cli/ImportUsersCommand.h"

#include "cli/JobFile.h"
#include "cli/modCommandLine.h"
#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"
#include "import/UserFileImport.h"
#include "import/modImport.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

const QString kType = QStringLiteral("--type");
const QString kInto = QStringLiteral("--into");
const QString kPassphraseFile = QStringLiteral("--passphrase-file");

// The error lines as the log window shows them, one per output line.
QString logLines(const QString &errorText)
{
    QString lines = errorText;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return lines;
}

} // namespace

ImportUsersCommand::ImportUsersCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString ImportUsersCommand::usage()
{
    return QStringLiteral("Usage: vo import-users FILE [--type N] --into SETTINGS [--passphrase-file F]\n"
                          "\n"
                          "Imports a user list file (comma-separated lines, UTF-8 or Windows-1252) into\n"
                          "a settings file, as File > Import > From File... does in the console. Every\n"
                          "line is checked first; a file with an error in any line changes nothing.\n"
                          "Computers not yet in the settings are added under \"All Computers\".\n"
                          "\n"
                          "  --type N              the format of the lines (default 1):\n"
                          "                        1 computer,source user,destination user\n"
                          "                        2 computer,source SID,destination user\n"
                          "                        3 computer (computers only)\n"
                          "                        4 computer (computers only, all user profiles migrate)\n"
                          "  --into SETTINGS       the settings file; a new one is made when there is none\n"
                          "  --passphrase-file F   the passphrase of a settings file saved with one, from\n"
                          "                        the first line of F\n"
                          "\n"
                          "Exit status: 0 imported; 1 nothing imported (errors are listed by line and the\n"
                          "settings file is left as it was); 2 partly imported (lines that failed only\n"
                          "while adding are listed; the others are saved).\n");
}

int ImportUsersCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

int ImportUsersCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        return 0;
    }
    // JobFile takes the one positional argument, here the user list file.
    JobFile options;
    QString problem;
    if (!options.parse(arguments, {}, {kType, kInto}, problem))
        return failure(problem + QStringLiteral("\n\n") + usage());
    if (!options.has(kInto))
        return failure(QStringLiteral("Invalid syntax. --into SETTINGS is needed.\n\n") + usage());
    int fileType = modImport::UserToUser;
    if (options.has(kType)) {
        bool number = false;
        fileType = options.value(kType).toInt(&number);
        if (!number || !modImport::IsUserFileType(fileType))
            return failure(QStringLiteral("Invalid syntax. --type takes 1, 2, 3 or 4."));
    }

    // One SettingsFile loads and saves: it keeps the salt and cost of the
    // passwords, so that they are sealed again as they were.
    const QString settingsPath = options.value(kInto);
    SettingsFile file;
    SettingsFileResult loaded;
    ComputerDB database;
    database.Clear();
    const bool existing = QFileInfo::exists(settingsPath);
    if (existing) {
        loaded = file.Load(settingsPath, options.passphrase(), database);
        if (!loaded.ok())
            return failure(loaded.Message);
    } else {
        loaded.JobName = QFileInfo(settingsPath).baseName();
    }

    const QString listPath = options.path();
    const UserFileImport::Result result = UserFileImport::ImportUserFile(database, listPath, fileType);
    switch (result.status) {
    case UserFileImport::Status::NotRead:
        return 1;
    case UserFileImport::Status::CheckFailed:
        m_out << modImport::FailedHeading(QDir::toNativeSeparators(listPath)) << '\n' << logLines(result.errorText);
        m_out << "Nothing was imported; " << QDir::toNativeSeparators(settingsPath) << " is unchanged.\n";
        return 1;
    case UserFileImport::Status::PartlyImported:
        m_out << modImport::PartialImportText() << '\n'
              << modImport::FailedHeading(QDir::toNativeSeparators(listPath)) << '\n'
              << logLines(result.errorText);
        break;
    case UserFileImport::Status::Imported:
        break;
    }

    SettingsFile::SaveOptions save;
    save.JobName = loaded.JobName;
    save.LastStatus = loaded.LastStatus;
    if (loaded.PasswordsIncluded)
        save.Passphrase = options.passphrase();
    const SettingsFileResult saved = file.Save(database, settingsPath, save);
    if (!saved.ok())
        return failure(saved.Message);
    // Only now: a save that is refused has imported nothing.
    if (result.status == UserFileImport::Status::Imported)
        m_out << modImport::SuccessText() << '\n';
    m_out << "Saved " << QDir::toNativeSeparators(settingsPath) << ": computers added " << result.computersAdded
          << ", user migrations added " << result.entriesAdded << ".\n";
    m_out.flush();
    return result.status == UserFileImport::Status::Imported ? 0 : 2;
}
