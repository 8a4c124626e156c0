#include "wizards/AuthWizardModel.h"

#include "common/AppState.h"
#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "wizards/AccountKinds.h"

using modErrorHandler::Guard;
using modErrorHandler::ShowMessage;

namespace {

struct ChoicePage
{
    QString Question;
    QStringList Options;
};

const QStringList &migrationOptions()
{
    static const QStringList options = {QStringLiteral("&Domain User -> Domain User"), QStringLiteral("Domain &User -> Local User"),
        QStringLiteral("&Local User -> Domain User"), QStringLiteral("Lo&cal User -> Local User")};
    return options;
}

ChoicePage choicePage(int step)
{
    const QString yes = QStringLiteral("&Yes");
    const QString no = QStringLiteral("N&o");
    switch (step) {
    case AuthWizardModel::ActionStep:
        return {QStringLiteral("What type of action do you wish to perform?"),
            {QStringLiteral("&Domain Change Only"), QStringLiteral("Profile &Migration Only"),
                QStringLiteral("Domain Change &and Profile Migration")}};
    case AuthWizardModel::MigrationStep:
    case AuthWizardModel::DomainChangeMigrationStep:
        return {QStringLiteral("What type of user migration do you wish to perform?"), migrationOptions()};
    case AuthWizardModel::SameUserDomainStep:
        return {QStringLiteral("Are the source and destination users in the same domain?"),
            {QStringLiteral("&All users are in the same domain."),
                QStringLiteral("&Source and destination users are in different domains.")}};
    case AuthWizardModel::AccountTypeStep:
        return {QStringLiteral("What type of accounts do you plan to use?"),
            {QStringLiteral("Domain admin accounts with local admin access."), QStringLiteral("Local admin accounts.")}};
    case AuthWizardModel::ComputersInUserDomainStep:
        return {QStringLiteral("Are the computers in the same domain as the users?"), {yes, no}};
    case AuthWizardModel::DestinationSameDomainStep:
        return {QStringLiteral("Will all destination user accounts and computer accounts be in the same domain?"), {yes, no}};
    case AuthWizardModel::SourceSameDomainStep:
        return {QStringLiteral("Are all source user accounts and computer accounts in the same domain?"), {yes, no}};
    default:
        return {};
    }
}

bool isYesNoStep(int step)
{
    return step >= AuthWizardModel::SameUserDomainStep && step <= AuthWizardModel::SourceSameDomainStep;
}

// The panel's account labels: caption and the slot each one shows. The first
// label is slot 1, Administrator A, who works before the domain change.
// moves to the shared slot table on merge
struct AccountLabel
{
    const char *Caption;
    int Slot;
};
constexpr std::array<AccountLabel, UserTypeCount> kAccountLabels = {{
    {"Administrator A:", AdminA},
    {"Administrator B:", AdminB},
    {"Domain Join Privileges:", DomainJoin},
    {"Source SID Lookup:", SourceSIDLookup},
    {"Destination SID Lookup:", DestinationSIDLookup},
}};

bool sameAccounts(const GlobalSettings &a, const GlobalSettings &b)
{
    for (int slot = 0; slot < UserTypeCount; ++slot) {
        const AccountRecord &x = a.account(slot);
        const AccountRecord &y = b.account(slot);
        if (x.Username != y.Username || x.Password != y.Password || x.Domain != y.Domain)
            return false;
    }
    return true;
}

} // namespace

AuthWizardModel::AuthWizardModel(QObject *parent)
    : QObject(parent)
{
    m_answers.fill(Unset);
    m_choices.fill(Unset);
    m_requests.fill(Unset);
    m_entries[AccountKinds::LocalAdministrator].Local = true;
}

AuthWizardModel::~AuthWizardModel() = default;

void AuthWizardModel::LinkSettings(const GlobalSettingsPtr &record)
{
    Guard("frmAuthWizard.LinkSettings", [&] {
        m_linked = record;
        if (!record)
            return;
        if (record->ActionType >= 0) {
            m_action = record->ActionType;
            m_position = 1;
            // Only a profile migration has a type; a domain change's
            // record may still carry one and must not skip a page for it.
            if (record->ActionType != DomainChangeOnly && record->MigrationType >= 0) {
                m_migration = record->MigrationType;
                m_position = 2;
            }
        }
        m_joinVal = record->JoinVal;
        DecideNextStep();
    });
}

// ---- commands ---------------------------------------------------------------------------

void AuthWizardModel::cmdNext_Click()
{
    if (m_closed || !SaveCurrentAnswer())
        return;
    ++m_position;
    DecideNextStep();
}

void AuthWizardModel::cmdPrevious_Click()
{
    if (m_closed)
        return;
    if (m_position > 0)
        --m_position;
    DecideNextStep();
}

void AuthWizardModel::cmdCancel_Click()
{
    close(false);
}

void AuthWizardModel::WorkingCopyEdited()
{
    Q_EMIT pageChanged();
}

void AuthWizardModel::close(bool finished)
{
    if (m_closed)
        return;
    m_closed = true;
    m_finished = finished;
    Q_EMIT closeRequested();
}

void AuthWizardModel::internalError(const QString &procedure, const QString &message, int number) const
{
    ShowMessage(modErrorHandler::InternalError, message, procedure, number);
}

// ---- the page shown ----------------------------------------------------------------------

bool AuthWizardModel::isChoicePage() const
{
    return m_step == ActionStep || m_step == MigrationStep || m_step == DomainChangeMigrationStep || isYesNoStep(m_step);
}

QString AuthWizardModel::nextCaption() const
{
    return m_step == FinishStep ? QStringLiteral("&Finish") : QStringLiteral("&Next >>");
}

QString AuthWizardModel::questionText() const
{
    return choicePage(m_step).Question;
}

QStringList AuthWizardModel::optionCaptions() const
{
    QStringList captions = choicePage(m_step).Options;
    // Every option gets an access key, even where its text names none.
    for (QString &caption : captions) {
        if (!caption.contains(QLatin1Char('&')))
            caption.prepend(QLatin1Char('&'));
    }
    return captions;
}

bool AuthWizardModel::optionEnabled(int option) const
{
    if (option < 0 || option >= choicePage(m_step).Options.size())
        return false;
    // A domain change has no local to local migration: the computers would
    // change domain under accounts that never leave them.
    return !(m_step == DomainChangeMigrationStep && option == LocalToLocal);
}

void AuthWizardModel::selectOption(int option)
{
    if (optionEnabled(option))
        m_selected = option;
}

int AuthWizardModel::currentKind() const
{
    return isAccountPage() ? m_requests[static_cast<size_t>(m_step - FirstAccountStep)] : Unset;
}

QString AuthWizardModel::accountDescription() const
{
    const int kind = currentKind();
    if (!AccountKinds::IsKind(kind))
        return QString();
    return QStringLiteral("Please specify an account for ") + AccountKinds::Get(kind).Purpose
        + QStringLiteral(" The account must meet the following criteria:");
}

QStringList AuthWizardModel::criteriaLines() const
{
    QStringList lines;
    for (const QString &criterion : AccountKinds::Get(currentKind()).Criteria)
        lines << QStringLiteral("- ") + criterion;
    return lines;
}

bool AuthWizardModel::localAccountEnabled() const
{
    return AccountKinds::IsKind(currentKind()) && AccountKinds::Get(currentKind()).AccountScope == AccountKinds::Scope::Either;
}

void AuthWizardModel::setDomain(const QString &text)
{
    if (domainEnabled())
        m_form.Domain = text;
}

void AuthWizardModel::setLocalAccount(bool local)
{
    if (!localAccountEnabled() || local == m_form.Local)
        return;
    m_form.Local = local;
    // Unticking clears the marker instead of leaving it as a domain name.
    m_form.Domain = local ? LocalAccountDomain : QString();
    Q_EMIT pageChanged();
}

QStringList AuthWizardModel::summaryLines() const
{
    QStringList lines;
    if (!m_working)
        return lines;
    for (const AccountLabel &label : kAccountLabels) {
        const QString name = m_working->GetFullUsername(label.Slot);
        lines << QString::fromLatin1(label.Caption) + QLatin1Char(' ') + (name.isEmpty() ? QStringLiteral("- Not specified -") : name);
    }
    return lines;
}

AuthWizardModel::AccountEntry AuthWizardModel::entry(int kind) const
{
    return AccountKinds::IsKind(kind) ? m_entries[static_cast<size_t>(kind)] : AccountEntry {};
}

// ---- storing a page ----------------------------------------------------------------------

bool AuthWizardModel::SaveCurrentAnswer()
{
    bool saved = false;
    Guard("frmAuthWizard.SaveCurrentAnswer", [&] {
        const auto refuse = [](const QString &message) { ShowMessage(modErrorHandler::Information, message); };
        switch (m_step) {
        case ActionStep:
            if (m_selected < 0)
                return refuse(QStringLiteral("Please select an action type."));
            m_action = m_selected;
            break;
        case MigrationStep:
        case DomainChangeMigrationStep:
            if (m_selected < 0)
                return refuse(QStringLiteral("Please choose a migration type."));
            m_migration = m_selected;
            break;
        case FinishStep:
            break;
        default:
            if (isAccountPage()) {
                if (!SaveUserForm())
                    return;
            } else if (isYesNoStep(m_step)) {
                if (m_selected < 0)
                    return refuse(QStringLiteral("Please select an answer to proceed."));
                const int answer = m_selected == 0 ? 1 : 0;
                m_answers[static_cast<size_t>(m_step)] = answer;
                m_choices[static_cast<size_t>(m_questionIndex)] = answer;
            } else {
                return internalError(QStringLiteral("frmAuthWizard.SaveCurrentAnswer"), QStringLiteral("Invalid step value encountered."));
            }
        }
        saved = true;
    });
    return saved;
}

bool AuthWizardModel::SaveUserForm()
{
    const auto refuse = [this](const QString &control, const QString &message) {
        Q_EMIT focusRequested(control);
        ShowMessage(modErrorHandler::Information, message);
        return false;
    };
    if (m_form.Username.isEmpty())
        return refuse(UsernameControl, QStringLiteral("You must enter a username."));
    if (m_form.Domain.isEmpty())
        return refuse(DomainControl, QStringLiteral("You must enter a domain name."));
    if (!modFormat::IsValidName(m_form.Username))
        return refuse(UsernameControl, QStringLiteral("Username specified contains invalid characters."));
    if (!m_form.Local && !modFormat::IsValidName(m_form.Domain))
        return refuse(DomainControl, QStringLiteral("Domain name specified contains invalid characters."));
    AccountEntry stored = m_form;
    if (stored.Local)
        stored.Domain = LocalAccountDomain;
    m_entries[static_cast<size_t>(currentKind())] = stored;
    return true;
}

// ---- the decision tree ---------------------------------------------------------------------

bool AuthWizardModel::IsThisStep()
{
    return m_walk++ == m_position;
}

void AuthWizardModel::ChangeStep(int step)
{
    m_step = step;
    m_selected = Unset;
    if (step == ActionStep) {
        m_selected = m_action;
    } else if (step == MigrationStep || step == DomainChangeMigrationStep) {
        // A local to local choice from an earlier visit does not carry over
        // to the page that cannot offer it.
        m_selected = optionEnabled(m_migration) ? m_migration : Unset;
    } else if (isYesNoStep(step)) {
        const int answer = m_answers[static_cast<size_t>(step)];
        m_selected = answer == 1 ? 0 : (answer == 0 ? 1 : Unset);
    } else if (isAccountPage()) {
        LoadUserForm();
    }
    Q_EMIT pageChanged();
}

bool AuthWizardModel::Question(int step, int questionIndex)
{
    if (!IsThisStep())
        return false;
    m_questionIndex = questionIndex;
    ChangeStep(step);
    return true;
}

int AuthWizardModel::Choice(int questionIndex, const char *branch) const
{
    const int choice = m_choices[static_cast<size_t>(questionIndex)];
    if (choice == 0 || choice == 1)
        return choice;
    internalError(
        QStringLiteral("frmAuthWizard.DecideNextStep"), QString::fromLatin1(branch) + QStringLiteral(": Invalid choice value found"));
    return Unset;
}

void AuthWizardModel::DecideNextStep()
{
    Guard("frmAuthWizard.DecideNextStep", [&] {
        m_walk = 0;
        if (IsThisStep())
            return ChangeStep(ActionStep);
        switch (m_action) {
        case DomainChangeOnly:
            // A workgroup needs no account to join it.
            if (m_joinVal == JoinWorkgroup)
                return GetUsers({1});
            return GetUsers({1, 2});
        case ProfileMigrationOnly:
            if (IsThisStep())
                return ChangeStep(MigrationStep);
            return WalkProfileMigration();
        case ProfileMigrationAndDomainChange:
            if (IsThisStep())
                return ChangeStep(DomainChangeMigrationStep);
            return WalkDomainChange();
        default:
            return internalError(QStringLiteral("frmAuthWizard.DecideNextStep"), QStringLiteral("ACTION TYPE: Invalid value found"));
        }
    });
}

void AuthWizardModel::WalkProfileMigration()
{
    switch (m_migration) {
    case DomainToDomain: {
        if (Question(SameUserDomainStep, 0))
            return;
        const int sameDomain = Choice(0, "MIG_DD CHOICE #0");
        if (sameDomain == 0)
            return GetUsers({1, 9, 10});
        if (sameDomain < 0 || Question(AccountTypeStep, 1))
            return;
        const int domainAdmins = Choice(1, "MIG_DD CHOICE #1");
        if (domainAdmins == 0)
            return GetUsers({12, 11});
        if (domainAdmins < 0 || Question(ComputersInUserDomainStep, 2))
            return;
        const int computersWithUsers = Choice(2, "MIG_DD CHOICE #2");
        if (computersWithUsers == 1)
            return GetUsers({7});
        if (computersWithUsers == 0)
            return GetUsers({8, 11});
        return;
    }
    case DomainToLocal:
    case LocalToDomain: {
        if (Question(AccountTypeStep, 0))
            return;
        const int domainAdmins = Choice(0, m_migration == DomainToLocal ? "MIG_DL CHOICE #0" : "MIG_LD CHOICE #0");
        if (domainAdmins == 1)
            return GetUsers({7});
        if (domainAdmins == 0)
            return GetUsers({12, m_migration == DomainToLocal ? 9 : 10});
        return;
    }
    case LocalToLocal:
        return GetUsers({1});
    default:
        // Nothing is shown; the page stays as it was.
        return;
    }
}

void AuthWizardModel::WalkDomainChange()
{
    switch (m_migration) {
    case DomainToDomain: {
        if (Question(SourceSameDomainStep, 0))
            return;
        const int sourceTogether = Choice(0, "MIG_DD CHOICE #0");
        if (sourceTogether < 0 || Question(DestinationSameDomainStep, 1))
            return;
        const int destinationTogether = Choice(1, sourceTogether ? "MIG_DD CHOICE #1B" : "MIG_DD CHOICE #1A");
        if (destinationTogether < 0 || Question(AccountTypeStep, 2))
            return;
        // The error names which of the four ways the first two answers
        // combine it arrived by: A No-Yes, B No-No, C Yes-Yes, D Yes-No.
        static constexpr std::array<const char *, 4> branches
            = {"MIG_DD CHOICE #2B", "MIG_DD CHOICE #2A", "MIG_DD CHOICE #2D", "MIG_DD CHOICE #2C"};
        const int domainAdmins = Choice(2, branches[static_cast<size_t>(sourceTogether * 2 + destinationTogether)]);
        if (domainAdmins < 0)
            return;
        if (!sourceTogether && destinationTogether)
            return domainAdmins ? GetUsers({9, 3, 4}) : GetUsers({12, 9, 13});
        if (!sourceTogether && !destinationTogether)
            return domainAdmins ? GetUsers({9, 5, 6, 10}) : GetUsers({12, 9, 2, 10});
        if (destinationTogether)
            return domainAdmins ? GetUsers({3, 4}) : GetUsers({12, 9, 13});
        return domainAdmins ? GetUsers({3, 6, 10}) : GetUsers({12, 9, 10, 2});
    }
    case DomainToLocal:
        if (m_joinVal == JoinWorkgroup)
            return GetUsers({12, 9});
        return GetUsers({12, 9, 2});
    case LocalToDomain: {
        if (Question(DestinationSameDomainStep, 0))
            return;
        const int destinationTogether = Choice(0, "MIG_LD CHOICE #0");
        if (destinationTogether == 1)
            return GetUsers({12, 13});
        if (destinationTogether == 0)
            return GetUsers({12, 10, 2});
        return;
    }
    default:
        return internalError(QStringLiteral("frmAuthWizard.DecideNextStep"), QStringLiteral("MIG TYPE: Invalid value found"));
    }
}

void AuthWizardModel::GetUsers(std::initializer_list<int> requests)
{
    m_requests.fill(Unset);
    int count = 0;
    for (int kind : requests) {
        if (count < RequestCount)
            m_requests[static_cast<size_t>(count++)] = kind;
    }
    // The account pages follow the questions; one position past the last
    // one is the finish page, and Next there finishes.
    constexpr int FurtherPositions = 6;
    for (int i = 0; i < FurtherPositions; ++i) {
        if (!IsThisStep())
            continue;
        if (i < count)
            return ChangeStep(FirstAccountStep + i);
        if (m_step == FinishStep)
            return Finish();
        m_working = m_linked ? m_linked->Clone() : GlobalSettings::create();
        SaveAllAccounts(*m_working);
        return ChangeStep(FinishStep);
    }
}

void AuthWizardModel::LoadUserForm()
{
    const int kind = currentKind();
    m_form = entry(kind);
    switch (AccountKinds::Get(kind).AccountScope) {
    case AccountKinds::Scope::Domain:
        m_form.Local = false;
        break;
    case AccountKinds::Scope::Local:
        m_form.Local = true;
        break;
    case AccountKinds::Scope::Either:
        break;
    }
    if (m_form.Local)
        m_form.Domain = LocalAccountDomain;
}

void AuthWizardModel::SaveAllAccounts(GlobalSettings &record) const
{
    Guard("frmAuthWizard.SaveAllAccounts", [&] {
        record.ClearUsers();
        for (int kind : m_requests) {
            if (kind == Unset)
                continue;
            if (!AccountKinds::IsKind(kind)) {
                internalError(QStringLiteral("frmAuthWizard.SaveAllAccounts"), QStringLiteral("Invalid user type encountered"));
                continue;
            }
            const AccountEntry &account = m_entries[static_cast<size_t>(kind)];
            if (account.Username.isEmpty()) {
                internalError(QStringLiteral("frmAuthWizard.SaveAllAccounts"),
                    QStringLiteral("Found empty username while attempting to save accounts"), -1);
                continue;
            }
            for (int slot : AccountKinds::Get(kind).Slots)
                record.SetUser(slot, account.Username, account.Password, account.Domain);
        }
    });
}

void AuthWizardModel::Finish()
{
    if (!m_working || !m_linked)
        return close(false);
    m_working->Valid = true;
    // Finishing with the accounts the record already holds is no change to
    // save: the exit check would otherwise ask about nothing.
    if (!sameAccounts(*m_working, *m_linked))
        AppState::Get().DatabaseChanged = true;
    m_working->CopySettings(*m_linked);
    close(true);
}
