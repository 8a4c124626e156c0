#pragma once

#include <QList>
#include <QString>

// The numbers of the tree's images. The database sets the editing images by
// number; the run control shows a client's status with the image its status
// code maps to. The pictures behind the numbers belong to the window.
namespace modTreeImages {

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

// The image of a client status code ("NP", "L3", "XS", ...). The ranges
// "L0" to "L9", "A0" to "A9" and "U0" to "U9" are compared as text, the way
// the status texts are chosen, so that image and text never disagree.
int StatusImage(const QString &code);

// Every number that has a picture.
QList<int> AllImages();

} // namespace modTreeImages
