#include "import/UserFileImport.h"

#include "common/AppState.h"
#include "common/modErrorHandler.h"
#include "database/ComputerDB.h"
#include "import/UserFileReader.h"
#include "import/UserLineParser.h"
#include "import/modImport.h"

#include <QFileInfo>

namespace {

// One pass over every line; returns the number of lines with an error.
int runPass(UserLineParser &parser, const QString &text, bool checkOnly, QString &errorText)
{
    int errors = 0;
    int listed = 0;
    qint64 lineNumber = 0;
    const QStringView all(text);
    for (qsizetype start = 0; start < all.size();) {
        qsizetype end = all.indexOf(u'\n', start);
        if (end < 0)
            end = all.size();
        QStringView line = all.sliced(start, end - start);
        // CR LF files: the CR belongs to the line break, so a line of only
        // a CR is an empty line. Blanks are not stripped here: a line of
        // blanks has an empty computer name.
        if (line.endsWith(u'\r'))
            line.chop(1);
        ++lineNumber;
        if (const int code = parser.ParseUserLine(line, checkOnly)) {
            // A file of millions of wrong lines must not become a list of
            // millions: the first ones show what is wrong, the rest are counted.
            ++errors;
            const bool stops = modImport::StopsTheCheck(code);
            if (listed < modImport::ListedErrors || stops) {
                errorText += modImport::ErrorLine(lineNumber, code);
                ++listed;
            }
            if (stops)
                break;
        }
        start = end + 1;
    }
    if (errors > listed)
        errorText += modImport::MoreErrorsLine(errors - listed);
    return errors;
}

} // namespace

UserFileImport::Result UserFileImport::ImportUserFile(ComputerDB &database, const QString &path, int fileType)
{
    Result result;
    modErrorHandler::Guard("modImport.ImportUserFile", path, [&] {
        QString text;
        switch (UserFileReader::Read(path, text)) {
        case UserFileReader::Status::Read:
            result = ImportUserText(database, text, fileType);
            return;
        case UserFileReader::Status::NotAFile:
            modErrorHandler::ShowMessage(modErrorHandler::Error,
                QStringLiteral("'") + path + QStringLiteral("' is not a file. Please choose a CSV file to import."));
            return;
        case UserFileReader::Status::TooLarge:
            modErrorHandler::ShowMessage(modErrorHandler::Error,
                QStringLiteral("The file '") + path
                    + QStringLiteral("' is larger than %1 MB, too large for a list of users.").arg(UserFileReader::MaxFileBytes >> 20));
            return;
        case UserFileReader::Status::Failed:
            modErrorHandler::Raise(QFileInfo::exists(path) ? 75 : 53);
        }
    });
    return result;
}

UserFileImport::Result UserFileImport::ImportUserText(ComputerDB &database, const QString &text, int fileType)
{
    Result result;
    UserLineParser parser(database, fileType);
    result.errorCount = runPass(parser, text, true, result.errorText);
    if (result.errorCount > 0) {
        result.status = Status::CheckFailed;
        return result;
    }
    if (database.IsLinked() && parser.ComputersToAdd() > UnlinkTreeAbove)
        database.UnlinkTreeView();
    parser.Reset();
    result.errorCount = runPass(parser, text, false, result.errorText);
    result.computersAdded = parser.ComputersAdded();
    result.entriesAdded = parser.EntriesAdded();
    if (result.computersAdded > 0 || result.entriesAdded > 0)
        AppState::Get().DatabaseChanged = true;
    result.status = result.errorCount > 0 ? Status::PartlyImported : Status::Imported;
    return result;
}
