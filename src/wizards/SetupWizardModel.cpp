#include "wizards/SetupWizardModel.h"

#include "common/AppState.h"
#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "database/ComputerDB.h"
#include "network/modNetwork.h"
#include "settings/sections/AccountRows.h"

using modErrorHandler::Guard;
using modErrorHandler::ShowMessage;

SetupWizardModel::SetupWizardModel(QObject *parent)
    : QObject(parent)
{
    connect(&m_source, &SettingsSection::commandPressed, this, [this] { lookup(m_source, ContextSection::DC, ContextSection::DCIP); });
    connect(&m_destination, &SettingsSection::commandPressed, this,
        [this] { lookup(m_destination, ContextSection::DC, ContextSection::DCIP); });
    connect(&m_join, &SettingsSection::commandPressed, this, [this] { lookup(m_join, JoinSection::DomDCName, JoinSection::DomDCIP); });
}

void SetupWizardModel::LinkData(const GlobalSettingsPtr &record, ComputerDB *database)
{
    m_record = record;
    m_working = record ? record->Clone() : nullptr;
    m_database = database;
    m_linked = m_working != nullptr;
    m_page = WelcomePage;
    m_history.Clear();
    ShowCurrentFrame();
}

QString SetupWizardModel::PageTitle(int page)
{
    switch (page) {
    case WelcomePage:
        return QStringLiteral("Welcome");
    case ActionPage:
        return QStringLiteral("Action Type");
    case MigrationPage:
        return QStringLiteral("Migration Type");
    case ContextPage:
        return QStringLiteral("Source and Destination");
    case JoinPage:
        return QStringLiteral("Domain Change");
    case OptionsPage:
        return QStringLiteral("Migration Options");
    case ImportPage:
        return QStringLiteral("Import Computers");
    case AccountsPage:
        return QStringLiteral("Accounts");
    case FinishPage:
        return QStringLiteral("Finish");
    default:
        return QString();
    }
}

QString SetupWizardModel::PageText(int page)
{
    switch (page) {
    case WelcomePage:
        return QStringLiteral("Welcome to the Varno-Osk easy setup wizard.  This wizard will help guide you through ")
            + QStringLiteral("setting up your profile migration.  The following steps will be performed during this ")
            + QStringLiteral("wizard:") + QLatin1Char('\n') + QStringLiteral("- Enter profile migration details") + QLatin1Char('\n')
            + QStringLiteral("- Import computer list") + QLatin1Char('\n') + QStringLiteral("- Import user list") + QLatin1Char('\n')
            + QStringLiteral("- Run the Authentication Wizard") + QLatin1Char('\n') + QStringLiteral("- Save your migration settings");
    case ActionPage:
        return QStringLiteral("Choose what the migration does to the computers: join them to a new domain or workgroup, ")
            + QStringLiteral("move their users' profiles to new accounts, or both.");
    case MigrationPage:
        return QStringLiteral("Choose where the users' accounts come from and where they go.  A domain account lives in a ")
            + QStringLiteral("domain; a local account is an account of the computer itself.");
    case ContextPage:
        return QStringLiteral("Enter the domain the users come from and the domain they go to, each with one of its domain ")
            + QStringLiteral("controllers.  A side of local accounts, as the migration type decides, is each computer ")
            + QStringLiteral("itself (\"*LOCAL ACCOUNT*\") and needs no domain controller.  Lookup finds a controller's ")
            + QStringLiteral("address from its name.");
    case JoinPage:
        return QStringLiteral("Enter the domain or workgroup the computers join.  For a domain either the full DNS domain ")
            + QStringLiteral("name or the NetBIOS domain name may be entered, with one of its domain controllers.");
    case OptionsPage:
        return QStringLiteral("Choose how the computers and the profiles are treated.  A domain change needs a reboot, so ")
            + QStringLiteral("reboots are always allowed for one.");
    case ImportPage:
        return QStringLiteral("Add the computers to migrate: from Active Directory, or from a file that lists the computers ")
            + QStringLiteral("with the users to migrate on each.  Computers can also be added later in the main window.");
    case AccountsPage:
        return QStringLiteral("The migration needs accounts with rights on the computers and in the domains.  The ")
            + QStringLiteral("Authentication Wizard asks which accounts are needed and stores them with these settings.");
    case FinishPage:
        return QStringLiteral(
            "You have completed the easy setup wizard! Click finish now to apply your changes and create a new setting group.");
    default:
        return QString();
    }
}

QStringList SetupWizardModel::ActionCaptions()
{
    return {QStringLiteral("&Domain Change Only: Join all computers to a new domain/workgroup."),
        QStringLiteral("P&rofile Migration Only: Move the users' profiles to new accounts; the computers keep their membership."),
        QStringLiteral("Profile &Migration + Domain Change: Move the users' profiles and join all computers to a new domain/workgroup.")};
}

QStringList SetupWizardModel::MigrationCaptions()
{
    return {QStringLiteral("Domain &A profiles -> Domain B profiles: Domain users get accounts of another domain."),
        QStringLiteral("&Domain profiles -> Local profiles: Domain users get local accounts of their computers."),
        QStringLiteral("&Local profiles -> Domain profiles: Local users get domain accounts."),
        QStringLiteral("L&ocal profiles -> Local profiles: Local users get other local accounts of their computers.")};
}

QStringList SetupWizardModel::SummaryLines() const
{
    if (!m_working)
        return {};
    const GlobalSettings &record = *m_working;
    // An option's caption up to its colon, without the access key.
    const auto optionName = [](const QStringList &captions, int option) {
        return QString(captions.value(option)).section(QLatin1Char(':'), 0, 0).remove(QLatin1Char('&'));
    };
    const auto side = [](const QString &domain, const QString &dc, const QString &ip) {
        return domain == LocalAccountDomain ? QStringLiteral("local accounts of each computer")
                                            : QStringLiteral("%1 (domain controller %2, %3)").arg(domain, dc, ip);
    };
    const auto yesNo = [](int value, const char *yes, const char *no) { return QString::fromLatin1(value == 1 ? yes : no); };

    QStringList lines;
    lines << QStringLiteral("Action: ") + optionName(ActionCaptions(), record.ActionType);
    if (record.ActionType != DomainChangeOnly) {
        lines << QStringLiteral("Migration: ") + optionName(MigrationCaptions(), record.MigrationType);
        lines << QStringLiteral("Source: ") + side(record.SourceDomain, record.SourceDCName, record.SourceDCIP);
        lines << QStringLiteral("Destination: ") + side(record.DestinationDomain, record.DestinationDCName, record.DestinationDCIP);
    }
    if (record.ActionType != ProfileMigrationOnly) {
        lines << (record.JoinVal == JoinWorkgroup
                ? QStringLiteral("Join: workgroup %1").arg(record.JoinName)
                : QStringLiteral("Join: domain %1 (domain controller %2, %3)").arg(record.JoinName, record.JoinDCName, record.JoinDCIP));
    }
    lines << QStringLiteral("Reboots: ")
            + (record.RebootPermitted == 1 ? yesNo(record.ForceReboot, "allowed, applications forced closed", "allowed")
                                           : QStringLiteral("not allowed"));
    if (record.ActionType != DomainChangeOnly) {
        lines << QStringLiteral("Profiles: ")
                + (record.CopyProfile == 1 ? yesNo(record.IgnoreTempInternetFiles, "copied, without 'Temporary Internet Files'", "copied")
                                           : QStringLiteral("renamed"))
                + yesNo(record.OverwriteProfile, "; existing destination profiles overwritten", "");
    }
    if (m_database)
        lines << QStringLiteral("Computers in the job: %1").arg(m_database->GetComputerCount());
    bool anyAccount = false;
    for (const AccountRow &row : AccountRows) {
        const AccountRecord &account = record.account(row.Slot);
        if (account.Username.isEmpty())
            continue;
        anyAccount = true;
        lines << QString::fromLatin1(row.Caption) + QLatin1Char(' ')
                + (account.Domain == LocalAccountDomain ? account.Username + QStringLiteral(" (local)")
                        : account.Domain.isEmpty()      ? account.Username
                                                        : account.Domain + QLatin1Char('\\') + account.Username);
    }
    if (!anyAccount)
        lines << QStringLiteral("Accounts: none yet; set them later on the Accounts tab");
    return lines;
}

int SetupWizardModel::NextPage(int page, int actionType)
{
    switch (page) {
    case ActionPage:
        return actionType == DomainChangeOnly ? JoinPage : MigrationPage;
    case ContextPage:
        return actionType == ProfileMigrationAndDomainChange ? JoinPage : OptionsPage;
    case FinishPage:
        return FinishPage;
    default:
        return page + 1;
    }
}

QList<int> SetupWizardModel::PagePath(int actionType)
{
    QList<int> path {WelcomePage};
    while (path.constLast() != FinishPage)
        path << NextPage(path.constLast(), actionType);
    return path;
}

void SetupWizardModel::cmdNext_Click()
{
    Guard("frmSetupWizard.cmdNext_Click", [&] {
        if (!m_linked) {
            ShowMessage(modErrorHandler::Error, NotLinkedText);
            return;
        }
        if (!SaveFormData() || m_closed)
            return;
        m_history.Push(m_page);
        m_page = NextPage(m_page, m_working->ActionType);
        ShowCurrentFrame();
    });
}

void SetupWizardModel::cmdPrevious_Click()
{
    Guard("frmSetupWizard.cmdPrevious_Click", [&] {
        if (m_history.Count() == 0)
            return;
        m_page = m_history.Pop();
        ShowCurrentFrame();
    });
}

void SetupWizardModel::cmdCancel_Click()
{
    if (m_working)
        m_working->Valid = false;
    close();
}

void SetupWizardModel::close()
{
    m_closed = true;
    Q_EMIT closeRequested();
}

void SetupWizardModel::ShowCurrentFrame()
{
    if (m_linked)
        LoadFormData();
    Q_EMIT pageChanged();
}

// ---- loading ---------------------------------------------------------------------

void SetupWizardModel::LoadFormData()
{
    const GlobalSettings &record = *m_working;
    switch (m_page) {
    case ActionPage:
        m_actionChoice
            = record.ActionType >= DomainChangeOnly && record.ActionType <= ProfileMigrationAndDomainChange ? record.ActionType : NoChoice;
        break;
    case MigrationPage:
        m_migrationChoice
            = record.MigrationType >= DomainToDomain && record.MigrationType <= LocalToLocal ? record.MigrationType : NoChoice;
        break;
    case ContextPage:
        m_source.load(record, false);
        m_destination.load(record, false);
        LoadContextFields();
        break;
    case JoinPage:
        m_join.load(record, false);
        break;
    case OptionsPage: {
        m_options.releasePins();
        // Not copying the profile leaves no 'Temporary Internet Files' to
        // skip: the box shows cleared, and is stored so.
        const GlobalSettingsPtr shown = record.Clone();
        if (shown->CopyProfile != 1)
            shown->IgnoreTempInternetFiles = 0;
        m_options.load(*shown, false);
        LockRebootOptions();
        LockProfileOptions();
        break;
    }
    default:
        break;
    }
}

void SetupWizardModel::LoadContextFields()
{
    // The kind of migration decides each side, so neither local box is the
    // administrator's to change here. A domain side starts empty rather than
    // as "*LOCAL ACCOUNT*" left from an earlier pass through the page: that
    // text there would pass every check and migrate to no domain at all.
    const int type = m_working->MigrationType;
    const bool sourceLocal = type == LocalToDomain || type == LocalToLocal;
    const bool destinationLocal = type == DomainToLocal || type == LocalToLocal;
    m_source.pin(ContextSection::UseLocal, sourceLocal ? SettingsSection::Checked : SettingsSection::Unchecked);
    m_destination.pin(ContextSection::UseLocal, destinationLocal ? SettingsSection::Checked : SettingsSection::Unchecked);
}

void SetupWizardModel::LockRebootOptions()
{
    // Joining a domain needs a reboot: for a domain change it is allowed,
    // and whether applications are forced closed stays as the record has it.
    if (m_working->ActionType == ProfileMigrationOnly)
        return;
    m_options.pin(OptionsSection::RebootAllow, SettingsSection::Checked);
    m_options.pin(OptionsSection::RebootForce, m_options.check(OptionsSection::RebootForce));
}

void SetupWizardModel::LockProfileOptions()
{
    // Without a profile migration the profile options mean nothing; they are
    // cleared, and stored as the boxes show them.
    if (m_working->ActionType != DomainChangeOnly)
        return;
    for (int box : {OptionsSection::CopyProfile, OptionsSection::NoTempInternet, OptionsSection::OverwriteProfile})
        m_options.pin(box, SettingsSection::Unchecked);
}

// ---- checking and storing ------------------------------------------------------------

bool SetupWizardModel::refuse(const QString &message, const QString &controlName)
{
    ShowMessage(modErrorHandler::Information, message);
    Q_EMIT focusRequested(controlName);
    return false;
}

bool SetupWizardModel::SaveFormData()
{
    GlobalSettings &record = *m_working;
    switch (m_page) {
    case ActionPage:
        if (m_actionChoice == NoChoice)
            return refuse(QStringLiteral("You must select an action type to continue."), QStringLiteral("optAction0"));
        record.ActionType = m_actionChoice;
        // A type chosen on the way to a profile migration and then left by
        // going back means nothing now; kept, it would send the
        // authentication wizard past its first account page.
        if (m_actionChoice == DomainChangeOnly)
            record.MigrationType = -1;
        return true;
    case MigrationPage:
        if (m_migrationChoice == NoChoice)
            return refuse(QStringLiteral("You must select a migration type to continue."), QStringLiteral("optMigration0"));
        record.MigrationType = m_migrationChoice;
        return true;
    case ContextPage:
        return SaveContexts();
    case JoinPage:
        return SaveJoin();
    case OptionsPage: {
        // Only the five options of the page; the disk space is the panel's.
        const int minFreeSpace = record.MinFreeSpace;
        m_options.store(record);
        record.MinFreeSpace = minFreeSpace;
        return true;
    }
    case FinishPage:
        record.Valid = true;
        record.CopySettings(*m_record);
        m_finished = true;
        close();
        return true;
    default:
        return true;
    }
}

bool SetupWizardModel::SaveContexts()
{
    using C = ContextSection;
    struct Side
    {
        const C &Section;
        bool Domain;
    };
    const Side source {m_source, !m_source.isOn(C::UseLocal)};
    const Side destination {m_destination, !m_destination.isOn(C::UseLocal)};
    const auto empty = [](const Side &side, int field) { return side.Domain && side.Section.text(field).isEmpty(); };
    const auto badName = [](const Side &side, int field) { return side.Domain && !modFormat::IsValidHostName(side.Section.text(field)); };
    const auto badAddress
        = [](const Side &side, int field) { return side.Domain && !modFormat::IsValidIPAddress(side.Section.text(field)); };
    const auto name = [](const Side &side, int field) { return side.Section.controlName(field); };

    if (empty(source, C::Context))
        return refuse(QStringLiteral("Please enter a source domain."), name(source, C::Context));
    if (empty(destination, C::Context))
        return refuse(QStringLiteral("Please enter a destination domain."), name(destination, C::Context));
    if (empty(source, C::DC))
        return refuse(QStringLiteral("Please enter the source context DC name."), name(source, C::DC));
    if (empty(destination, C::DC))
        return refuse(QStringLiteral("Please enter the destination context DC name."), name(destination, C::DC));
    if (empty(source, C::DCIP))
        return refuse(QStringLiteral("Please enter the source context DC IP address."), name(source, C::DCIP));
    if (empty(destination, C::DCIP))
        return refuse(QStringLiteral("Please enter the destination context DC IP address."), name(destination, C::DCIP));
    if (badName(destination, C::Context))
        return refuse(QStringLiteral("Invalid characters in destination domain name."), name(destination, C::Context));
    if (badName(source, C::Context))
        return refuse(QStringLiteral("Invalid characters in source domain name."), name(source, C::Context));
    if (badName(source, C::DC))
        return refuse(QStringLiteral("Invalid characters in source context DC name."), name(source, C::DC));
    if (badName(destination, C::DC))
        return refuse(QStringLiteral("Invalid characters in destination context DC name."), name(destination, C::DC));
    if (badAddress(source, C::DCIP))
        return refuse(QStringLiteral("Invalid IP address given for the source context DC IP."), name(source, C::DCIP));
    if (badAddress(destination, C::DCIP))
        return refuse(QStringLiteral("Invalid IP address given for the destination context DC IP."), name(destination, C::DCIP));

    m_source.store(*m_working);
    m_destination.store(*m_working);
    return true;
}

bool SetupWizardModel::SaveJoin()
{
    using J = JoinSection;
    const bool domain = m_join.isOn(J::JoinDomain);
    const auto field = [this](int control) { return m_join.controlName(control); };
    const QString joinName = m_join.text(J::JoinName);
    if (joinName.isEmpty())
        return refuse(QStringLiteral("Please enter the name of the domain or workgroup you wish to join."), field(J::JoinName));
    if (domain && m_join.text(J::DomDCName).isEmpty())
        return refuse(QStringLiteral("Please enter the name of the domain controller."), field(J::DomDCName));
    if (domain && m_join.text(J::DomDCIP).isEmpty())
        return refuse(QStringLiteral("Please enter the IP address of the domain controller."), field(J::DomDCIP));
    if (domain ? !modFormat::IsValidHostName(joinName) : !modFormat::IsValidName(joinName))
        return refuse(QStringLiteral("Invalid domain or workgroup name entered."), field(J::JoinName));
    if (domain && !modFormat::IsValidHostName(m_join.text(J::DomDCName)))
        return refuse(QStringLiteral("Invalid domain controller name entered."), field(J::DomDCName));
    if (domain && !modFormat::IsValidIPAddress(m_join.text(J::DomDCIP)))
        return refuse(QStringLiteral("Invalid domain controller IP address entered."), field(J::DomDCIP));
    m_join.store(*m_working);
    return true;
}

void SetupWizardModel::lookup(SettingsSection &section, int nameControl, int addressControl)
{
    Guard("frmSetupWizard.cmdLookup_Click", [&] {
        const QString address = modNetwork::LookupDC(section.text(nameControl));
        if (!address.isEmpty())
            section.type(addressControl, address);
    });
}

bool SetupWizardModel::ApplyResult(ComputerDB &database, const GlobalSettingsPtr &record)
{
    if (!record || !record->Valid)
        return false;
    database.RemoveAllSettings();
    database.AddSettings(record, 0, QStringLiteral("G"));
    AppState::Get().DatabaseChanged = true;
    return true;
}
