#pragma once

#include <QList>
#include <QString>

// The numbers of the tree's images. The database sets the editing images by
// number, the settings panel's header shows one, and a computer's run status
// maps to one. The pictures behind the numbers belong to the window.
namespace TreeImage {

enum Image : int {
    FolderOpen = 2,
    Folder = 3,
    ComputerCustom = 4,
    DragComputer = 6,
    DragFolder = 9,
    FolderCustomBelowOpen = 20,
    FolderCustomBelow = 21,
    FolderCustomOpen = 22,
    FolderCustom = 23,
    Computer = 24,

    // A computer during a run, by the status its client last reported.
    StatusNotProcessed = 30,
    StatusLoading = 31,
    StatusExecuting = 32,
    StatusUnloading = 33,
    StatusSuccess = 34,
    StatusWarnings = 35,
    StatusErrors = 36,
    StatusCanceled = 37,
    StatusAborted = 38,
    StatusAborting = 39,
    StatusUnknown = 40,
};

// Every number that has a picture.
inline QList<int> All()
{
    return {FolderOpen, Folder, ComputerCustom, DragComputer, DragFolder, FolderCustomBelowOpen, FolderCustomBelow, FolderCustomOpen,
        FolderCustom, Computer, StatusNotProcessed, StatusLoading, StatusExecuting, StatusUnloading, StatusSuccess, StatusWarnings,
        StatusErrors, StatusCanceled, StatusAborted, StatusAborting, StatusUnknown};
}

// Whether a number is one of a run's (or a test's) status pictures.
inline bool IsStatus(int number)
{
    return number >= StatusNotProcessed && number <= StatusUnknown;
}

// What a picture tells in words, for those who do not see it: a screen
// reader reads it with the node's name, and it names each status by more
// than its colour. Empty for the plain pictures.
inline QString Meaning(int number)
{
    switch (number) {
    case ComputerCustom:
    case FolderCustom:
    case FolderCustomOpen:
        return QStringLiteral("Own settings");
    case FolderCustomBelow:
    case FolderCustomBelowOpen:
        return QStringLiteral("Own settings below");
    case StatusNotProcessed:
        return QStringLiteral("Not processed");
    case StatusLoading:
        return QStringLiteral("Loading");
    case StatusExecuting:
        return QStringLiteral("In progress");
    case StatusUnloading:
        return QStringLiteral("Unloading");
    case StatusSuccess:
        return QStringLiteral("Successful");
    case StatusWarnings:
        return QStringLiteral("Warnings");
    case StatusErrors:
        return QStringLiteral("Errors");
    case StatusCanceled:
        return QStringLiteral("Canceled");
    case StatusAborted:
        return QStringLiteral("Aborted");
    case StatusAborting:
        return QStringLiteral("Aborting");
    case StatusUnknown:
        return QStringLiteral("Unknown status");
    default:
        return QString();
    }
}

// What a disabled computer's mark tells, beside its picture's meaning.
inline QString DisabledMeaning()
{
    return QStringLiteral("Disabled");
}

} // namespace TreeImage
