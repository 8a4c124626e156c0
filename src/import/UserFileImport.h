#pragma once

#include <QString>

class ComputerDB;

// A user list file into the database, in two passes: the first checks every
// line and changes nothing; only a file without errors is imported by the
// second. Lines that fail only while adding (a destination used twice on
// one computer, kinds mixed with a list the computer had) are listed the
// same way, and the lines before them stay imported.
class UserFileImport
{
public:
    enum class Status {
        Imported,
        // The check found errors; nothing changed.
        CheckFailed,
        // Errors while adding; the good lines are in.
        PartlyImported,
        // The file could not be read; reported already, nothing changed.
        NotRead,
    };

    struct Result
    {
        Status status = Status::NotRead;
        // "Error on line N: text" CR LF, one line per error.
        QString errorText;
        int errorCount = 0;
        int computersAdded = 0;
        int entriesAdded = 0;
    };

    // A linked tree takes each new computer in its place among all the
    // others; beyond this many, the tree is unlinked for the second pass
    // and the caller links it again, which builds it once (IsLinked() is
    // false afterwards).
    static constexpr int UnlinkTreeAbove = 1000;

    // Reading failures are reported through the common error handler.
    static Result ImportUserFile(ComputerDB &database, const QString &path, int fileType);
    // The same over text already read.
    static Result ImportUserText(ComputerDB &database, const QString &text, int fileType);
};
