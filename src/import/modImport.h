#pragma once

#include <QString>

// The vocabulary of the user list import: the file formats, the line codes
// with their texts, and the texts the dialog and `vo import-users` show.
namespace modImport {

// The format of a user list file, as the import dialog's options choose it.
enum UserFileType : int {
    UserToUser = 1, // computer, source user name, destination user name
    SIDToUser = 2, // computer, source SID, destination user name
    ComputersOnly = 3, // computer
    ComputersAllUsers = 4, // computer; every profile on it migrates
};

inline bool IsUserFileType(int type)
{
    return type >= UserToUser && type <= ComputersAllUsers;
}

// What ParseUserLine finds wrong with a line; 0 for a good line.
enum LineCode : int {
    LineGood = 0,
    TooManyFields = 1,
    ComputerNotFound = 2,
    InternalDatabaseError = 3,
    UserMissing = 4,
    MixedKinds = 5,
    BadSourceUser = 6,
    BadComputerName = 12,
    BadDestinationUser = 13,
    NotThreeValues = 14,
    DuplicateDestination = 15,
    BadSourceSID = 16,
};

// The dialog's format options: 1 user names, 2 SIDs, 3 computers only;
// the last with "Migrate all user profiles" checked is type 4. 0 for none.
int FileTypeFor(int option, bool allUsers);
// What keeps the dialog from importing, in the order it is told; empty
// text when the import may start.
QString DoInputChecks(int fileType, const QString &path);

QString GetImportErrorText(int code);
// One line of the error list, CR LF included.
QString ErrorLine(qint64 lineNumber, int code);

// The log window of a file that failed.
QString FailedCaption();
QString FailedHeading(const QString &path);
QString PartialImportText();
QString SuccessText();

} // namespace modImport
