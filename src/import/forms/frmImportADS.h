#pragma once

#include "import/ADSImportInput.h"

#include <QDialog>

#include <functional>

class ComputerDB;
class ProgressBarView;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// "Import from Active Directory": asks for the directory server and the
// credentials, tests them, then reads and adds the computers in front of the
// progress window. The rules live in ADSImportInput and ADComputerImport;
// this form only moves text between them and its controls. Opened with
// open(), so that it can step aside while the progress window shows.
class frmImportADS final : public QDialog
{
    Q_OBJECT

public:
    explicit frmImportADS(QWidget *owner);

    // Before the dialog shows: the database to fill and, when the owner's
    // tree is to be rebuilt after the import, how.
    void LinkRequired(ComputerDB *database, std::function<void()> rebuildOwnerTree);
    // A bar on the owner that shows the import's progress instead of the
    // progress window (the owner keeps it alive while the dialog is open).
    void LinkBar(ProgressBarView *bar) { m_bar = bar; }

public Q_SLOTS:
    void DoImport();
    void cmdCAFile_Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    ADSImportInput readControls() const;
    QWidget *control(ADSImportInput::Field field) const;
    void updateSecurityControls();

    ComputerDB *m_database = nullptr;
    ProgressBarView *m_bar = nullptr;
    std::function<void()> m_rebuildOwnerTree;
    bool m_activated = false;

    QLineEdit *txtServer;
    QLineEdit *txtPort;
    QComboBox *cboSecurity;
    QLineEdit *txtCAFile;
    QPushButton *cmdCAFile;
    QLineEdit *txtUser;
    QLineEdit *txtPassword;
    QLineEdit *txtDomain;
    QCheckBox *chkAllUsers;
    QPushButton *cmdImport;
    QPushButton *cmdCancel;
};
