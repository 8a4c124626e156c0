#include "undo/UndoHistory.h"

#include "common/AppState.h"
#include "database/ComputerDB.h"
#include "undo/DatabaseCommand.h"

UndoHistory::UndoHistory(ComputerDB &database, QObject *parent)
    : QObject(parent)
    , m_database(database)
{
    // Each step holds what it changed; a day of imports of many thousand
    // computers must not hold the memory of all of them.
    m_stack.setUndoLimit(StepLimit);
    m_database.SetEditHistory(this);
    connect(&m_stack, &QUndoStack::indexChanged, this, &UndoHistory::changed);
    connect(&m_stack, &QUndoStack::cleanChanged, this, &UndoHistory::changed);
}

UndoHistory::~UndoHistory()
{
    if (m_database.History() == this)
        m_database.SetEditHistory(nullptr);
}

void UndoHistory::undo()
{
    if (!canUndo())
        return;
    m_stack.undo();
    updateChangedFlag();
    Q_EMIT databaseReverted();
}

void UndoHistory::redo()
{
    if (!canRedo())
        return;
    m_stack.redo();
    updateChangedFlag();
    Q_EMIT databaseReverted();
}

void UndoHistory::setSaved()
{
    m_stack.setClean();
}

void UndoHistory::clear()
{
    m_stack.clear();
}

void UndoHistory::setLocked(bool locked)
{
    if (m_locked == locked)
        return;
    m_locked = locked;
    Q_EMIT changed();
}

void UndoHistory::recorded(const QString &text, std::vector<DatabaseChange> changes)
{
    // push() runs the command's redo, which knows that the step is made.
    m_stack.push(new DatabaseCommand(m_database, text, std::move(changes)));
}

void UndoHistory::unrecorded()
{
    // The steps before a change they do not hold would undo into a state
    // that never was; the file is changed until it is saved.
    if (m_stack.count() == 0 && !m_stack.isClean())
        return;
    m_stack.clear();
    m_stack.resetClean();
}

void UndoHistory::updateChangedFlag()
{
    // Back at the saved state, there is nothing to save.
    AppState::Get().DatabaseChanged = !m_stack.isClean();
}
