#include "common/modShell.h"

#include "common/AssociatedOpener.h"

#include <QFileInfo>

namespace modShell {

namespace {

// As with the Windows shell, any number from here up means the program started.
constexpr int FirstSuccess = 33;

bool IsFolder(const QString &path)
{
    return QFileInfo(path).isDir();
}

} // namespace

QString OpenAssociated(const QString &path, const std::optional<QString> &workingFolder)
{
    QString folder;
    if (workingFolder) {
        folder = *workingFolder;
    } else if (path.endsWith(QLatin1Char('/'))) {
        if (!IsFolder(path))
            return QStringLiteral("Working folder does not exist.");
        folder = path;
    } else if (IsFolder(path)) {
        folder = path;
    } else {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            return QStringLiteral("Working folder could not be determined.");
        folder = path.left(slash + 1);
        if (!IsFolder(folder))
            return QStringLiteral("Folder ") + folder + QStringLiteral(" not found.");
    }

    const int result = AssociatedOpener::current().open(path, folder);
    return result >= FirstSuccess ? QString() : OpenFailureReason(result);
}

QString OpenFailureReason(int result)
{
    switch (result) {
    case 0:
        return QStringLiteral("The operating system is out of memory or resources.");
    case 2:
        return QStringLiteral("The specified file was not found.");
    case 3:
        return QStringLiteral("The specified path was not found.");
    case 5:
        return QStringLiteral("The operating system denied access to the specified file.");
    case 8:
        return QStringLiteral("There was not enough memory to complete the operation.");
    case 11:
        return QStringLiteral("The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).");
    case 26:
        return QStringLiteral("A sharing violation occurred.");
    case 27:
        return QStringLiteral("The filename association is incomplete or invalid.");
    case 28:
        return QStringLiteral("The DDE transaction could not be completed because the request timed out.");
    case 29:
        return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not be completed because other DDE transactions were being processed.");
    case 31:
        return QStringLiteral("There is no application associated with the given filename extension.");
    case 32:
        return QStringLiteral("The specified dynamic-link library was not found.");
    default:
        return QStringLiteral("File open operation failed.  Error: ") + QString::number(result);
    }
}

} // namespace modShell
