#pragma once

#include <QDialog>

class QLineEdit;
class frmMain;

// Edit > Migration Job Name: the name under which a run's results are kept.
// OK applies a name JobNameCheck accepts; a refused one keeps the dialog
// open with the focus back in the field.
class frmMigJobName : public QDialog
{
    Q_OBJECT

public:
    explicit frmMigJobName(frmMain &owner);

    QLineEdit *txtJobName() const { return m_txtJobName; }

private:
    void cmdOK_Click();

    frmMain &m_owner;
    QLineEdit *m_txtJobName = nullptr;
};
