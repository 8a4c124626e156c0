#pragma once

#include "wizards/SetupWizardModel.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>

class LinkedProgressBar;
class QButtonGroup;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;

// The easy setup wizard's window: one page at a time as SetupWizardModel
// leads, the settings pages built from the panel's own section widgets.
// Cancel, Escape and the window's close button all cancel: no setting
// changes, while computers already imported stay in the database.
class frmSetupWizard final : public QDialog
{
    Q_OBJECT

public:
    explicit frmSetupWizard(QWidget *owner = nullptr);
    ~frmSetupWizard() override;

    // `treeChanged` runs after an import added computers, so that the
    // owner's tree shows them (it may have to rebuild it).
    void LinkData(const GlobalSettingsPtr &record, ComputerDB *database, std::function<void()> treeChanged = {});
    const SetupWizardModel &model() const { return m_model; }

    void reject() override;

private:
    void ShowCurrentFrame();
    void cmdImportADS_Click();
    void cmdImportFile_Click();
    // After a modal window: the keyboard back on what had it, else on `button`.
    void giveFocusBack(QWidget *focused, QWidget *button);
    void cmdAuthWizard_Click();
    void ShowComputerCount();
    void closeWizard();

    SetupWizardModel m_model;
    std::function<void()> m_treeChanged;

    std::array<QLabel *, SetupWizardModel::PageCount> lblStep {};
    QLabel *lblTitle = nullptr;
    QLabel *lblText = nullptr;
    QLabel *lblImportant = nullptr;
    QStackedWidget *m_pages = nullptr;
    QButtonGroup *m_actions = nullptr;
    QButtonGroup *m_migrations = nullptr;
    QPushButton *cmdImportADS = nullptr;
    QPushButton *cmdImportFile = nullptr;
    QLabel *lblProgress = nullptr;
    QProgressBar *pbImport = nullptr;
    QLabel *lblComputerCount = nullptr;
    std::unique_ptr<LinkedProgressBar> m_importBar;
    QPushButton *cmdAuthWizard = nullptr;
    QLabel *lblSummary = nullptr;
    QPushButton *cmdPrevious = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdCancel = nullptr;
};
