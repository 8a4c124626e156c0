#pragma once

#include <QString>

#include <memory>

// Hands a file or folder to the program that the desktop associates with it:
// logs, results folders, the user guide. The answer is a number in the
// manner of the Windows shell, so that one table of reasons (modShell) serves
// every implementation: Opened (33 or more) when the program was started,
// else the reason's number.
//
// The program runs on its own; nothing here waits for it.
class AssociatedOpener
{
public:
    enum Result : int {
        OutOfResources = 0,
        // The program that opens it could not be started at all (a command
        // that does not exist, say); no reason of the table fits, so the
        // administrator sees the number.
        NotStarted = 1,
        FileNotFound = 2,
        PathNotFound = 3,
        AccessDenied = 5,
        NoAssociation = 31,
        Opened = 42,
    };

    virtual ~AssociatedOpener() = default;

    // Opens `path`; the program starts in `workingFolder` (an empty one
    // leaves it where the console is).
    virtual int open(const QString &path, const QString &workingFolder) = 0;

    // The opener installed, else the platform's (Platform, chosen anew for
    // every call, so that VARNO_OSK_OPENER counts from the next open).
    static AssociatedOpener &current();
    // The caller keeps the opener alive; nullptr restores the platform's.
    // Returns the one installed before.
    static AssociatedOpener *install(AssociatedOpener *opener);

    // The one place that picks the implementation: the command named by
    // VARNO_OSK_OPENER when it is set, else the desktop's associations.
    static std::unique_ptr<AssociatedOpener> Platform();

    // Why `path` cannot be opened before any program is asked: FileNotFound,
    // PathNotFound (its folder is missing, or a folder path ending in "/"
    // names none) or AccessDenied; Opened when nothing stands in the way.
    static int CheckTarget(const QString &path);
};
