#include "engine/modStrings.h"

#include <QHash>

namespace modStrings {

QString LoadResString(int number)
{
    static const QHash<int, QString> table = {
        {MigrationListEmpty, QStringLiteral("The migration list is empty.")},
        {BuildingMigrationList, QStringLiteral("Building migration list...")},
        {ProcessingEntries, QStringLiteral("Processing entries...")},
        {MigrationSuccessful, QStringLiteral("Migration Successful{DATA}.")},
        {ExecutionCanceled, QStringLiteral("Execution canceled.")},
    };
    return table.value(number);
}

} // namespace modStrings
