#pragma once

#include "database/DatabaseChange.h"

#include <QString>

#include <vector>

// Where the computer database hands the steps of its edits: each gesture of
// the administrator (a new computer, a deletion, an import, a bulk action)
// is one step, whatever number of changes it made.
class EditHistory
{
public:
    virtual ~EditHistory() = default;
    // A step ended that changed something; `changes` in the order made.
    virtual void recorded(const QString &text, std::vector<DatabaseChange> changes) = 0;
    // A change that no step holds (a load, a new settings table): the steps
    // before it can no longer be taken back.
    virtual void unrecorded() = 0;
};
