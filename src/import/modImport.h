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
    // Past what a settings file keeps (modLimits). The last three stop the
    // check where they are found: every line after them would fail too.
    ValueTooLong = 17,
    ListFull = 18,
    AllListsFull = 19,
    DatabaseFull = 20,
};

inline bool StopsTheCheck(int code)
{
    return code == ListFull || code == AllListsFull || code == DatabaseFull;
}

// The error list names this many lines; the rest are counted.
inline constexpr int ListedErrors = 1000;

// The dialog's format options: 1 user names, 2 SIDs, 3 computers only;
// the last with "Migrate all user profiles" checked is type 4. 0 for none.
int FileTypeFor(int option, bool allUsers);
// What keeps the dialog from importing, in the order it is told; empty
// text when the import may start.
QString DoInputChecks(int fileType, const QString &path);

QString GetImportErrorText(int code);
// One line of the error list, CR LF included.
QString ErrorLine(qint64 lineNumber, int code);
// The last line of a list cut short at ListedErrors, CR LF included.
QString MoreErrorsLine(qint64 more);

// The log window of a file that failed.
QString FailedCaption();
QString FailedHeading(const QString &path);
QString PartialImportText();
QString SuccessText();

} // namespace modImport
