#pragma once

#include "wizards/AuthWizardModel.h"

#include <QDialog>

#include <array>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

// The authentication wizard's window: one page at a time as AuthWizardModel
// derives it. Cancel, Escape and the window's close button all cancel, and
// nothing reaches the linked record then.
class frmAuthWizard : public QDialog
{
    Q_OBJECT

public:
    // Opens the manual account dialog, modally, on the wizard's working copy.
    using OverrideHandler = std::function<void(const GlobalSettingsPtr &workingCopy, QWidget *owner)>;

    explicit frmAuthWizard(QWidget *owner = nullptr);

    // Runs the wizard modally on `record` (the node's own record). True when
    // it finished; otherwise the record is as it was, and Valid again.
    static bool Run(const GlobalSettingsPtr &record, QWidget *owner, const OverrideHandler &override = {});

    // Shows the wizard modally on `record` with Override opening the manual
    // account dialog; the caller decides what the record's Valid means.
    // True when it finished.
    static bool Open(const GlobalSettingsPtr &record, QWidget *owner);

    void LinkSettings(const GlobalSettingsPtr &record);
    // Without one, Override stays disabled.
    void setOverrideHandler(OverrideHandler handler);
    const AuthWizardModel &model() const { return m_model; }

    void reject() override;

private:
    void ShowCurrentPage();
    void ShowChoicePage();
    void ShowAccountPage();
    void cmdOverride_Click();
    void closeWizard();

    AuthWizardModel m_model;
    OverrideHandler m_override;

    QStackedWidget *m_pages = nullptr;
    QWidget *fraChoice = nullptr;
    QLabel *lblQuestion = nullptr;
    QButtonGroup *m_options = nullptr;
    std::array<QRadioButton *, 4> optAnswer {};

    QWidget *fraAccount = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblCriteria = nullptr;
    QLineEdit *txtUsername = nullptr;
    QLineEdit *txtPassword = nullptr;
    QLineEdit *txtDomain = nullptr;
    QCheckBox *chkLocalAccount = nullptr;

    QWidget *fraFinish = nullptr;
    QLabel *lblSummary = nullptr;
    QPushButton *cmdOverride = nullptr;

    QPushButton *cmdPrevious = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdCancel = nullptr;
};
