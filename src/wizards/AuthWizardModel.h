#pragma once

#include "settings/GlobalSettings.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <initializer_list>

// The authentication wizard without its window: the questions, the decision
// tree that turns the answers into one to four account requests, the account
// pages with their checks, and the finish page that writes the accounts into
// the linked settings record.
//
// The page shown is never remembered as "the next page": every Next and
// Previous walks the tree again from its root up to the position, so an
// answer changed early on replaces every page after it, and a wizard opened
// at a later step goes back through the pages the record's values skipped.
// Answers survive going back: choices per question, selections per step and
// what was typed per account kind, so a kind that comes back on another page
// shows its entry again.
//
// The form shows the current page from this state after pageChanged(), hands
// the administrator's selections and typing back, and closes on
// closeRequested(). Messages name the form ("frmAuthWizard.DecideNextStep"):
// to the administrator and the error log this is the wizard window.
class AuthWizardModel final : public QObject
{
    Q_OBJECT

public:
    enum WizardStep : int {
        ActionStep = 0,
        MigrationStep = 1,
        FirstAccountStep = 2,
        LastAccountStep = 5,
        FinishStep = 6,
        DomainChangeMigrationStep = 7, // the migration types without local to local
        SameUserDomainStep = 8,
        AccountTypeStep = 9,
        ComputersInUserDomainStep = 10,
        DestinationSameDomainStep = 11,
        SourceSameDomainStep = 12,
    };
    static constexpr int StepCount = 13;
    static constexpr int RequestCount = 4;
    static constexpr int QuestionCount = 3;
    // Nothing stored yet: a request, an answer or a choice.
    static constexpr int Unset = -1;

    struct AccountEntry
    {
        QString Username;
        QString Password;
        QString Domain;
        bool Local = false;
    };
    using Requests = std::array<int, RequestCount>;

    // Control names of the fields the checks send the focus to.
    static inline const QString UsernameControl = QStringLiteral("txtUsername");
    static inline const QString PasswordControl = QStringLiteral("txtPassword");
    static inline const QString DomainControl = QStringLiteral("txtDomain");
    static inline const QString LocalAccountControl = QStringLiteral("chkLocalAccount");

    static inline const QString FinishTitle = QStringLiteral("Congratulations!");
    static inline const QString FinishText
        = QStringLiteral("You have completed the authentication wizard. Please click Finish to close the wizard and save all settings.");
    static inline const QString OverrideText = QStringLiteral("If you would like to manually override the users set by this wizard, ")
        + QStringLiteral("click the button below.  ") + QStringLiteral("THIS IS NOT RECOMMENDED.");
    static inline const QString OverrideCaption = QStringLiteral("&Override Settings");
    static inline const QString OverrideTip
        = QStringLiteral("Click this button to override the users set by this wizard.  THIS IS NOT RECOMMENDED");
    static inline const QString PreviousCaption = QStringLiteral("<< &Previous");

    explicit AuthWizardModel(QObject *parent = nullptr);
    ~AuthWizardModel() override;

    // Starts the wizard on `record`, at the first page its action and
    // migration type leave open. Nothing reaches the record before Finish.
    void LinkSettings(const GlobalSettingsPtr &record);

    // ---- commands ------------------------------------------------------------
    void cmdNext_Click();
    void cmdPrevious_Click();
    // Closes the wizard; nothing is written.
    void cmdCancel_Click();
    // Override's manual account dialog changed the working copy.
    void WorkingCopyEdited();

    // ---- the page shown ------------------------------------------------------
    int CurrentStep() const { return m_step; }
    int Position() const { return m_position; }
    bool isChoicePage() const;
    bool isAccountPage() const { return m_step >= FirstAccountStep && m_step <= LastAccountStep; }
    QString nextCaption() const;
    bool previousEnabled() const { return m_position > 0; }

    // A page of options: the question, the captions (each with an access
    // key), which options may be chosen, and the one chosen (-1 none).
    QString questionText() const;
    QStringList optionCaptions() const;
    bool optionEnabled(int option) const;
    int selectedOption() const { return m_selected; }
    void selectOption(int option);

    // An account page: the kind asked for, the sentence above the fields,
    // the criteria lines, the fields and their locks.
    int currentKind() const;
    QString accountDescription() const;
    QStringList criteriaLines() const;
    const AccountEntry &form() const { return m_form; }
    bool localAccountEnabled() const;
    bool domainEnabled() const { return !m_form.Local; }
    void setUsername(const QString &text) { m_form.Username = text; }
    void setPassword(const QString &text) { m_form.Password = text; }
    void setDomain(const QString &text);
    // The administrator's click on the local-account box.
    void setLocalAccount(bool local);

    // The finish page: the accounts Finish will write, "Administrator A:
    // DOMAIN\user" in the order of the panel's labels.
    QStringList summaryLines() const;
    // What Finish writes; Override edits it. Null before the finish page.
    GlobalSettingsPtr workingCopy() const { return m_working; }

    // ---- the walk's state ------------------------------------------------------
    int action() const { return m_action; }
    int migration() const { return m_migration; }
    const Requests &requests() const { return m_requests; }
    // The stored entry of an account kind (1 to 13).
    AccountEntry entry(int kind) const;
    bool isClosed() const { return m_closed; }
    bool isFinished() const { return m_finished; }

    // ---- the named steps ---------------------------------------------------------
    bool SaveCurrentAnswer();
    void DecideNextStep();
    // Fills the record's slots from the entries, request by request, each
    // kind's slots in their order.
    void SaveAllAccounts(GlobalSettings &record) const;

Q_SIGNALS:
    void pageChanged();
    void focusRequested(const QString &controlName);
    // Finish or Cancel: the window closes.
    void closeRequested();

private:
    bool IsThisStep();
    void ChangeStep(int step);
    // A question on the path: shows it when it is at the position.
    bool Question(int step, int questionIndex);
    // The stored answer at a question index, 1 or 0; -1 after reporting any
    // other value as a fault of `branch`.
    int Choice(int questionIndex, const char *branch) const;
    void WalkProfileMigration();
    void WalkDomainChange();
    void GetUsers(std::initializer_list<int> requests);
    void LoadUserForm();
    bool SaveUserForm();
    void Finish();
    void close(bool finished);
    void internalError(const QString &procedure, const QString &message, int number = 0) const;

    GlobalSettingsPtr m_linked;
    GlobalSettingsPtr m_working;
    int m_action = Unset;
    int m_migration = Unset;
    int m_joinVal = Unset;
    int m_position = 0;
    int m_step = ActionStep;
    int m_questionIndex = 0;
    int m_walk = 0;
    int m_selected = Unset;
    std::array<int, StepCount> m_answers;
    std::array<int, QuestionCount> m_choices;
    Requests m_requests;
    std::array<AccountEntry, 14> m_entries;
    AccountEntry m_form;
    bool m_closed = false;
    bool m_finished = false;
};
