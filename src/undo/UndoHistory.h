#pragma once

#include "database/EditHistory.h"

#include <QObject>
#include <QUndoStack>

class ComputerDB;

// The console's Edit > Undo and Redo: every step the database records goes
// onto one undo stack, whose clean state is the saved file's. While it is
// locked (a run, a test) nothing is undone or redone; steps made meanwhile
// are still kept.
class UndoHistory : public QObject, public EditHistory
{
    Q_OBJECT
public:
    // The newest steps kept; older ones can no longer be undone.
    static constexpr int StepLimit = 100;

    // Attaches itself to `database`, and detaches when destroyed.
    explicit UndoHistory(ComputerDB &database, QObject *parent = nullptr);
    ~UndoHistory() override;

    QUndoStack &stack() { return m_stack; }
    bool canUndo() const { return !m_locked && m_stack.canUndo(); }
    bool canRedo() const { return !m_locked && m_stack.canRedo(); }
    // "Delete 'HQ-01'"; empty when there is nothing.
    QString undoText() const { return m_stack.undoText(); }
    QString redoText() const { return m_stack.redoText(); }
    void undo();
    void redo();
    // The file was saved: this is the state without changes.
    void setSaved();
    // A new or loaded file: nothing to undo.
    void clear();
    void setLocked(bool locked);
    bool isLocked() const { return m_locked; }

    void recorded(const QString &text, std::vector<DatabaseChange> changes) override;
    void unrecorded() override;

Q_SIGNALS:
    // Undo, redo, a new step or the lock: what the menu offers has changed.
    void changed();
    // Undo or redo changed the database: the tree and the panel show it again.
    void databaseReverted();

private:
    void updateChangedFlag();

    ComputerDB &m_database;
    QUndoStack m_stack;
    bool m_locked = false;
};
