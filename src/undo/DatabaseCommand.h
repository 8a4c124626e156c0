#pragma once

#include "database/DatabaseChange.h"

#include <QUndoCommand>

#include <vector>

class ComputerDB;

// One step of the edit history on Qt's undo stack: the changes one gesture
// made to the database, taken back and made again through its operations.
class DatabaseCommand : public QUndoCommand
{
public:
    // The changes are already made: the stack's first redo does nothing.
    DatabaseCommand(ComputerDB &database, const QString &text, std::vector<DatabaseChange> changes);

    void undo() override;
    void redo() override;

    const std::vector<DatabaseChange> &changes() const { return m_changes; }

private:
    ComputerDB &m_database;
    std::vector<DatabaseChange> m_changes;
    bool m_made = true;
};
