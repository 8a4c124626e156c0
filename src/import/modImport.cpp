#include "import/modImport.h"

#include "common/modLimits.h"

#include <QFileInfo>

namespace modImport {

int FileTypeFor(int option, bool allUsers)
{
    if (option == ComputersOnly && allUsers)
        return ComputersAllUsers;
    return option >= UserToUser && option <= ComputersOnly ? option : 0;
}

QString DoInputChecks(int fileType, const QString &path)
{
    if (!IsUserFileType(fileType))
        return QStringLiteral("You must select the file format your are using.");
    if (path.isEmpty())
        return QStringLiteral("You must provide the path to the file you wish to import.");
    if (!QFileInfo::exists(path))
        return QStringLiteral("The file specified does not exist. Press 'Browse' to locate the file you wish to import.");
    return QString();
}

QString GetImportErrorText(int code)
{
    switch (code) {
    case TooManyFields:
        return QStringLiteral("Too many fields of data found.");
    case ComputerNotFound:
        return QStringLiteral("Computer name specified does not exist in the database.");
    case InternalDatabaseError:
        return QStringLiteral("Internal database error. Please report this error.");
    case UserMissing:
        return QStringLiteral("Either source or destination user was not specified.");
    case MixedKinds:
        return QStringLiteral("Mixing SID->User, User->User, and/or 'All Users' migrations on the same PC is not permitted.");
    case BadSourceUser:
        return QStringLiteral("The source username contains invalid characters.");
    case BadComputerName:
        return QStringLiteral("The computer name contains invalid characters.");
    case BadDestinationUser:
        return QStringLiteral("The destination username contains invalid characters.");
    case NotThreeValues:
        return QStringLiteral("Does not contain 3 comma separated values.");
    case DuplicateDestination:
        return QStringLiteral("Duplicate destination username. This line has not been imported.");
    case BadSourceSID:
        return QStringLiteral("The source SID specified does not appear to be valid.");
    case ValueTooLong:
        return QStringLiteral("A value is longer than %1 bytes, more than a settings file keeps.").arg(modLimits::MaxTextBytes);
    case ListFull:
        return QStringLiteral("The computer's list would hold more than %1 user migrations, more than a settings file keeps. "
                              "The check stopped here.")
            .arg(modLimits::MaxUserListIDs);
    case AllListsFull:
        return QStringLiteral("The computers' lists would hold more than %1 user migrations together, more than a settings file "
                              "keeps. The check stopped here.")
            .arg(modLimits::MaxAllUserListIDs);
    case DatabaseFull:
        return QStringLiteral("The database would hold more than %1 computers, more than a settings file keeps. "
                              "The check stopped here.")
            .arg(modLimits::MaxNextID);
    default:
        return QStringLiteral("Unknown error number '%1'. Please report this message.").arg(code);
    }
}

QString ErrorLine(qint64 lineNumber, int code)
{
    return QStringLiteral("Error on line %1: ").arg(lineNumber) + GetImportErrorText(code) + QStringLiteral("\r\n");
}

QString MoreErrorsLine(qint64 more)
{
    return QStringLiteral("... and %1 more lines with errors.\r\n").arg(more);
}

QString FailedCaption()
{
    return QStringLiteral("File Import Failed");
}

QString FailedHeading(const QString &path)
{
    return QStringLiteral("The following errors were encountered while trying to import the file '") + path + QStringLiteral("'.");
}

QString PartialImportText()
{
    return QStringLiteral("Errors found during import process. File may be partially imported.");
}

QString SuccessText()
{
    return QStringLiteral("Import successful!");
}

} // namespace modImport
