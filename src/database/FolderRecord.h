#pragma once

#include <QString>

// One folder of the computer tree; the user interface calls it a group.
struct FolderRecord
{
    // False once the folder has been removed; the slot keeps its ID until Clear.
    bool Active = false;
    // Slot of the folder's own settings record, -1 when it inherits.
    int CustomSettings = -1;
    // Unique among the folder's siblings without regard to case.
    QString Name;
    // -1 directly under the root.
    int ParentID = -1;
};
