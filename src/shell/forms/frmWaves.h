#pragma once

#include <QDialog>

class ComputerDB;
class QPushButton;
class QTreeWidget;

// Tools > Waves...: the job's waves in the order they run, with their
// computers, start time, cap and threshold; adds, edits, removes and
// reorders them. Each change goes into the database at once and marks it
// changed; Close only closes.
class frmWaves : public QDialog
{
    Q_OBJECT

public:
    enum Column : int {
        NameColumn,
        ComputersColumn,
        StartColumn,
        CapColumn,
        ThresholdColumn,
    };

    explicit frmWaves(ComputerDB &database, QWidget *parent = nullptr);

    QTreeWidget *lstWaves = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdEdit = nullptr;
    QPushButton *cmdRemove = nullptr;
    QPushButton *cmdMoveUp = nullptr;
    QPushButton *cmdMoveDown = nullptr;
    QPushButton *cmdClose = nullptr;

private:
    // The list read again, with `row` selected.
    void fill(int row);
    void updateButtons();
    int currentRow() const;
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdRemove_Click();
    void move(int by);

    ComputerDB &m_database;
};
