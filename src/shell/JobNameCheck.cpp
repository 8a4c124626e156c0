#include "shell/JobNameCheck.h"

#include "common/Presenter.h"
#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "common/modGeneral.h"

#include <QDir>

namespace JobNameCheck {

namespace {

const QString CR = QStringLiteral("\r");

// The file-name check lets through names no folder can have: nothing at
// all, and "." or "..", which name the log root or its parent and would
// put the results of every job in one place. A Windows folder name cannot
// end in a dot or a blank either, which covers both.
bool usableFolderName(const QString &name)
{
    return modFormat::IsValidFileName(name) && !name.trimmed().isEmpty() && !name.endsWith(QLatin1Char('.'))
        && !name.endsWith(QLatin1Char(' '));
}

} // namespace

Verdict Check(const QString &name)
{
    if (!usableFolderName(name))
        return Verdict::BadName;
    // An empty folder is taken: nothing of an earlier job would be mixed in.
    if (modGeneral::FolderHoldsFiles(modGeneral::GetLogRoot() + name))
        return Verdict::ResultsExist;
    return Verdict::Accepted;
}

bool Accept(const QString &name)
{
    switch (Check(name)) {
    case Verdict::Accepted:
        return true;
    case Verdict::BadName:
        modErrorHandler::ShowMessage(modErrorHandler::Error,
            QStringLiteral(
                "The migration job name must be a valid Windows filename as it will be used to create a folder and migration state file."));
        return false;
    case Verdict::ResultsExist:
        modErrorHandler::ShowMessage(modErrorHandler::Warning,
            QStringLiteral("A migration results folder named '") + name + QStringLiteral("' already exists") + CR + QStringLiteral("in '")
                + QDir::toNativeSeparators(modGeneral::GetLogRoot()) + QStringLiteral("'.") + CR + CR
                + QStringLiteral("Please select a new name or delete the existing results and") + CR + QStringLiteral("try again."));
        return false;
    }
    return false;
}

} // namespace JobNameCheck
