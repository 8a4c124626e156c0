#pragma once

#include <QString>

// The console's own string table: texts by number.
namespace modStrings {

enum : int {
    MigrationListEmpty = 1022,
    BuildingMigrationList = 3003,
    ProcessingEntries = 3004,
    MigrationSuccessful = 3020,
    ExecutionCanceled = 4029,
};

// Empty text for a number the table does not hold.
QString LoadResString(int number);

} // namespace modStrings
