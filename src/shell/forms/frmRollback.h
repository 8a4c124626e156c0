#pragma once

#include "job/RollbackJob.h"

#include <QDialog>

class ComputerDB;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// File > Roll Back Computers...: which computers of the job to roll back,
// from the results of which migration, and how. Lists the computers that
// migration reached with their last status, all of them ticked; takes a
// join account of the source domain for computers that changed realm, or
// the choice to forget the journals instead. Roll Back is refused until at
// least one computer is ticked; forgetting asks once more.
class frmRollback : public QDialog
{
    Q_OBJECT

public:
    frmRollback(const ComputerDB &database, const QString &results, QWidget *parent = nullptr);

    // After Roll Back: what was chosen.
    const RollbackJob &job() const { return m_job; }

    QLineEdit *txtResults = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QListWidget *lstComputers = nullptr;
    QPushButton *cmdTickAll = nullptr;
    QPushButton *cmdUntickAll = nullptr;
    QLabel *lblProblem = nullptr;
    QLineEdit *txtJoinAccount = nullptr;
    QLineEdit *txtJoinPassword = nullptr;
    QCheckBox *chkForget = nullptr;
    QPushButton *cmdRollBack = nullptr;
    QPushButton *cmdCancel = nullptr;

    // Reads the computers of the results folder in txtResults.
    void loadComputers();

private:
    void tickAll(Qt::CheckState state);
    void browse();
    void forgetChanged();
    void cmdRollBack_Click();

    const ComputerDB &m_database;
    QList<RollbackJob::Reached> m_reached;
    RollbackJob m_job;
};
