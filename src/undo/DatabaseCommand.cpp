#include "undo/DatabaseCommand.h"

#include "database/ComputerDB.h"

DatabaseCommand::DatabaseCommand(ComputerDB &database, const QString &text, std::vector<DatabaseChange> changes)
    : QUndoCommand(text)
    , m_database(database)
    , m_changes(std::move(changes))
{
}

void DatabaseCommand::undo()
{
    m_database.Revert(m_changes);
}

void DatabaseCommand::redo()
{
    if (m_made) {
        m_made = false;
        return;
    }
    m_database.Replay(m_changes);
}
