#pragma once

#include <QList>

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

} // namespace TreeImage
