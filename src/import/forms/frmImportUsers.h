#pragma once

#include <QDialog>

class ComputerDB;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
struct NodeInfo;

// File > Import > From File...: imports a user list file into the database.
// The dialog closes when the whole file went in; after errors it stays
// open over the log window that lists them.
class frmImportUsers : public QDialog
{
    Q_OBJECT

public:
    frmImportUsers(ComputerDB &database, QWidget *owner);

    // Runs the dialog modally; true when the list of the computer `selected`
    // names has changed, so that the panel showing it must be reloaded. A
    // large import leaves the tree unlinked for the caller to build again
    // (UserFileImport::UnlinkTreeAbove).
    static bool ShowModal(ComputerDB &database, QWidget *owner, const NodeInfo &selected);

    QLineEdit *txtFile() const { return m_txtFile; }

private:
    void cmdBrowse_Click();
    void cmdImport_Click();
    int chosenOption() const;

    ComputerDB &m_database;
    QLineEdit *m_txtFile = nullptr;
    QRadioButton *m_optUserToUser = nullptr;
    QRadioButton *m_optSIDToUser = nullptr;
    QRadioButton *m_optComputers = nullptr;
    QCheckBox *m_chkAllUsers = nullptr;
};
