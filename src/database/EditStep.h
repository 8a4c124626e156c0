#pragma once

#include "database/ComputerDB.h"

#include <QString>

// One step of the edit history for as long as it lives: every change the
// database makes meanwhile is undone and redone together. Steps opened
// inside it join it.
class EditStep
{
public:
    EditStep(ComputerDB &database, const QString &text)
        : m_database(database)
    {
        m_database.BeginEdit(text);
    }
    ~EditStep() { m_database.EndEdit(); }
    EditStep(const EditStep &) = delete;
    EditStep &operator=(const EditStep &) = delete;

private:
    ComputerDB &m_database;
};
