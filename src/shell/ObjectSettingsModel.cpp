#include "shell/ObjectSettingsModel.h"

#include "common/AppState.h"
#include "common/Presenter.h"
#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "database/ComputerDB.h"
#include "database/EditStep.h"
#include "network/modNetwork.h"
#include "wizards/modAccountsOpening.h"

using modErrorHandler::Guard;
using modErrorHandler::ShowMessage;

namespace {

const QString CR = QStringLiteral("\r");
const QString kGlobal = QStringLiteral("G");
const QString kFolder = QStringLiteral("F");
const QString kComputer = QStringLiteral("C");

Presenter::Answer Ask(
    const QString &text, const QString &caption, Presenter::Buttons buttons, Presenter::Icon icon = Presenter::Icon::Question)
{
    Presenter::Message box;
    box.text = text;
    box.caption = caption;
    box.icon = icon;
    box.buttons = buttons;
    return Presenter::current().showMessage(box);
}

} // namespace

class ObjectSettingsModel::Notify
{
public:
    explicit Notify(ObjectSettingsModel &model)
        : m_model(model)
    {
        ++m_model.m_notifyDepth;
        m_model.m_notifyPending = true;
    }
    ~Notify()
    {
        if (--m_model.m_notifyDepth == 0 && m_model.m_notifyPending) {
            m_model.m_notifyPending = false;
            Q_EMIT m_model.stateChanged();
        }
    }
    Notify(const Notify &) = delete;
    Notify &operator=(const Notify &) = delete;

private:
    ObjectSettingsModel &m_model;
};

// ---- names ------------------------------------------------------------------------

QString ObjectSettingsModel::ControlName(Text field) const
{
    return at(field).Section->controlName(at(field).Control);
}

QString ObjectSettingsModel::ControlName(Check field) const
{
    return at(field).Section->controlName(at(field).Control);
}

QString ObjectSettingsModel::ControlName(Command command) const
{
    if (const Place place = at(command); place.Section)
        return place.Section->controlName(place.Control);
    static const std::array<const char *, CommandCount> names = {
        "",
        "",
        "",
        "cmdObjSettingsSave",
        "cmdInheritFromParent",
        "cmdOverwriteChildren",
        "cmdAddUser",
        "cmdDeleteUser",
        "cmdAuthWizard",
        "cmdChangePasswords",
    };
    return QString::fromLatin1(names[static_cast<size_t>(command)]);
}

QString ObjectSettingsModel::AccountLabelName(int index)
{
    return index >= 0 && index < AccountLabelCount ? QString::fromLatin1(AccountRows[static_cast<size_t>(index)].LabelName) : QString();
}

QString ObjectSettingsModel::AccountCaption(int index)
{
    return index >= 0 && index < AccountLabelCount ? QString::fromLatin1(AccountRows[static_cast<size_t>(index)].Caption) : QString();
}

int ObjectSettingsModel::AccountSlot(int index)
{
    return index >= 0 && index < AccountLabelCount ? AccountRows[static_cast<size_t>(index)].Slot : -1;
}

// ---- state --------------------------------------------------------------------------

ObjectSettingsModel::ObjectSettingsModel(QObject *parent)
    : QObject(parent)
{
    m_accountLabels.fill(NotSpecified);
    const auto text = [&](Text field, SettingsSection &section, int control) {
        m_textPlaces[static_cast<size_t>(field)] = Place {&section, control};
    };
    const auto box = [&](Check field, SettingsSection &section, int control) {
        m_checkPlaces[static_cast<size_t>(field)] = Place {&section, control};
    };
    text(Text::SourceContext, m_source, ContextSection::Context);
    text(Text::SourceDC, m_source, ContextSection::DC);
    text(Text::SourceDCIP, m_source, ContextSection::DCIP);
    text(Text::DestContext, m_destination, ContextSection::Context);
    text(Text::DestDC, m_destination, ContextSection::DC);
    text(Text::DestDCIP, m_destination, ContextSection::DCIP);
    text(Text::JoinDomainName, m_join, JoinSection::JoinDomainName);
    text(Text::DomDCName, m_join, JoinSection::DomDCName);
    text(Text::DomDCIP, m_join, JoinSection::DomDCIP);
    text(Text::JoinWorkgroupName, m_join, JoinSection::JoinWorkgroupName);
    text(Text::MinFreeSpace, m_options, OptionsSection::MinFreeSpaceValue);
    box(Check::SourceUseLocal, m_source, ContextSection::UseLocal);
    box(Check::DestUseLocal, m_destination, ContextSection::UseLocal);
    box(Check::JoinDomain, m_join, JoinSection::JoinDomain);
    box(Check::JoinWorkgroup, m_join, JoinSection::JoinWorkgroup);
    box(Check::RebootAllow, m_options, OptionsSection::RebootAllow);
    box(Check::RebootForce, m_options, OptionsSection::RebootForce);
    box(Check::CopyProfile, m_options, OptionsSection::CopyProfile);
    box(Check::NoTempInternet, m_options, OptionsSection::NoTempInternet);
    box(Check::OverwriteProfile, m_options, OptionsSection::OverwriteProfile);
    box(Check::MinFreeSpace, m_options, OptionsSection::MinFreeSpace);
    m_commandPlaces[static_cast<size_t>(Command::LookupSourceDC)] = Place {&m_source, ContextSection::LookupDC};
    m_commandPlaces[static_cast<size_t>(Command::LookupDestDC)] = Place {&m_destination, ContextSection::LookupDC};
    m_commandPlaces[static_cast<size_t>(Command::LookupJoinDC)] = Place {&m_join, JoinSection::LookupJoinDC};

    for (SettingsSection *section : sections()) {
        connect(section, &SettingsSection::changed, this, [this] { Notify notify(*this); });
        connect(section, &SettingsSection::edited, this, [this] { SettingsChange(true); });
    }
    connect(&m_source, &SettingsSection::commandPressed, this, [this] { cmdLookup_Click(Command::LookupSourceDC); });
    connect(&m_destination, &SettingsSection::commandPressed, this, [this] { cmdLookup_Click(Command::LookupDestDC); });
    connect(&m_join, &SettingsSection::commandPressed, this, [this] { cmdLookup_Click(Command::LookupJoinDC); });
}

ObjectSettingsModel::~ObjectSettingsModel() = default;

void ObjectSettingsModel::setDatabase(ComputerDB *database)
{
    m_db = database;
}

void ObjectSettingsModel::setAddUserAvailable(bool available)
{
    Notify notify(*this);
    m_addUserAvailable = available;
}

bool ObjectSettingsModel::commandEnabled(Command command) const
{
    const bool loaded = !m_objectType.isEmpty();
    switch (command) {
    case Command::LookupSourceDC:
    case Command::LookupDestDC:
    case Command::LookupJoinDC:
        return at(command).Section->commandEnabled(at(command).Control);
    case Command::ObjSettingsSave:
        return m_settingsChanged;
    case Command::InheritFromParent:
        // The root has no parent to inherit from. A group or computer that
        // already inherits keeps the button: pressing it says so.
        return loaded && m_objectType != kGlobal;
    case Command::OverwriteChildren:
        // Children would inherit the stored record, not what the panel shows,
        // so this waits until the edits are saved or dropped. Computers have
        // no children.
        return loaded && m_objectType != kComputer && !m_settingsChanged;
    case Command::AddUser:
        return m_addUserAllowed && m_addUserAvailable;
    case Command::DeleteUser:
        return m_deleteUserAllowed;
    case Command::AuthWizard:
    case Command::ChangePasswords:
        return loaded && m_db;
    }
    return false;
}

QString ObjectSettingsModel::accountLabel(int index) const
{
    return index >= 0 && index < AccountLabelCount ? m_accountLabels[static_cast<size_t>(index)] : QString();
}

QString ObjectSettingsModel::ObjectKey() const
{
    if (m_objectType == kComputer)
        return modGeneral::ComputerKey(m_objectID);
    if (m_objectType == kFolder)
        return modGeneral::FolderKey(m_objectID);
    if (m_objectType == kGlobal)
        return modGeneral::RootKey;
    return QString();
}

QString ObjectSettingsModel::nodeText(const QString &key) const
{
    if (!m_db)
        return QString();
    if (m_db->IsLinked() && m_db->LinkedTree()->contains(key))
        return m_db->LinkedTree()->text(key);
    const NodeInfo node = modGeneral::ParseNodeKey(key);
    if (!node.Valid)
        return QString();
    if (node.Type == NodeInfo::Computer)
        return m_db->GetComputerName(node.ID);
    if (node.ID >= 0)
        return m_db->GetFolderName(node.ID);
    return QStringLiteral("All Computers");
}

// ---- loading ------------------------------------------------------------------------

void ObjectSettingsModel::LoadSelectedNode(const NodeInfo &node)
{
    Notify notify(*this);
    Guard("frmMain.LoadSelectedNode", [&] {
        if (node.Valid && m_db) {
            const QString type = node.Type == NodeInfo::Computer ? kComputer : (node.ID == -1 ? kGlobal : kFolder);
            ClearSettingsDisplay();
            m_objectType = type;
            m_objectID = node.ID;
            m_node = node;
            RecurseDisplaySettings(type, node.ID, 0);
        }
        SettingsChange(false);
    });
}

void ObjectSettingsModel::ClearSettingsDisplay()
{
    Notify notify(*this);
    for (SettingsSection *section : sections())
        section->clear();
    m_accountLabels.fill(NotSpecified);
    m_title.clear();
    m_headerIcon = 0;
    m_subtitle.clear();
    m_inheritedFrom.clear();
    clearUserList();
}

void ObjectSettingsModel::clearUserList()
{
    m_userList.reset();
    m_userLines.clear();
    m_userListEnabled = false;
    m_addUserAllowed = false;
    m_deleteUserAllowed = false;
}

void ObjectSettingsModel::RecurseDisplaySettings(const QString &objectType, int id, int level)
{
    Notify notify(*this);
    Guard("frmMain.RecurseDisplaySettings", [&] {
        if (!m_db)
            return;
        // The root's record is drawn first and every lower level draws over
        // it, so what stays is the nearest record, in grey unless it is the node's own.
        if (objectType != kGlobal) {
            int parentID = -1;
            QString parentType;
            m_db->GetObjectParent(objectType, id, parentID, parentType);
            if (!parentType.isEmpty())
                RecurseDisplaySettings(parentType, parentID, level + 1);
        }

        if (level == 0) {
            if (objectType == kGlobal) {
                m_title = QStringLiteral("Global Settings");
                m_headerIcon = RootIcon;
                m_subtitle = QStringLiteral("Default settings for all computers");
                clearUserList();
            } else if (objectType == kFolder) {
                m_title = m_db->GetFolderName(id);
                m_headerIcon = GroupIcon;
                m_subtitle = QStringLiteral("Custom group settings");
                clearUserList();
            } else if (objectType == kComputer) {
                m_title = m_db->GetComputerName(id);
                m_headerIcon = ComputerIcon;
                m_subtitle = QStringLiteral("Custom individual computer settings");
                // Said where the administrator edits it, not only in the tree.
                if (const ComputerRecord *computer = m_db->Computers(id); computer && !computer->Enabled)
                    m_subtitle += QStringLiteral(" (disabled)");
                LoadUserList(id);
            }
        }

        if (const GlobalSettingsPtr record = m_db->GetSettings(objectType, id)) {
            DisplaySettings(record, level >= 1);
        } else if (level == 0) {
            QString sourceKey;
            if (m_db->GetEffectiveSettings(objectType, id, sourceKey))
                m_inheritedFrom = nodeText(sourceKey);
        }
    });
}

void ObjectSettingsModel::DisplaySettings(const GlobalSettingsPtr &record, bool inherited)
{
    Notify notify(*this);
    Guard("frmMain.DisplaySettings", [&] {
        if (!record)
            modErrorHandler::Raise(91);
        if (!JoinSection::KnownJoinValue(record->JoinVal))
            ShowMessage(modErrorHandler::InternalError, QStringLiteral("Invalid join value encountered."),
                QStringLiteral("frmMain.DisplaySettings"));
        m_join.load(*record, inherited);
        m_options.load(*record, inherited);
        m_source.load(*record, inherited);
        m_destination.load(*record, inherited);

        LoadAuthUsernames();
        ObjectSettingsSetLockedFields();
    });
}

void ObjectSettingsModel::LoadAuthUsernames()
{
    Notify notify(*this);
    Guard("frmMain.LoadAuthUsernames", [&] {
        const GlobalSettingsPtr record = GetCurrentLoadedSettings();
        for (int label = 0; label < AccountLabelCount; ++label) {
            // User name only: the labels are narrow, and the account dialog shows the domain.
            const QString name = record ? record->account(AccountSlot(label)).Username : QString();
            m_accountLabels[static_cast<size_t>(label)] = name.isEmpty() ? NotSpecified : name;
        }
    });
}

// ---- locking --------------------------------------------------------------------------

void ObjectSettingsModel::ObjectSettingsSetLockedFields()
{
    Notify notify(*this);
    for (SettingsSection *section : sections())
        section->updateLocks();
    SettingsChange(true);
}

void ObjectSettingsModel::LockProfileOptions()
{
    m_options.updateLocks();
}

void ObjectSettingsModel::LockRebootOptions()
{
    m_options.updateLocks();
}

void ObjectSettingsModel::SettingsChange(bool changed)
{
    Notify notify(*this);
    m_settingsChanged = changed;
    Q_EMIT settingsChangeChanged(changed);
}

// ---- user edits ---------------------------------------------------------------------------

void ObjectSettingsModel::TextChange(Text field, const QString &newText)
{
    Notify notify(*this);
    if (!m_objectType.isEmpty())
        at(field).Section->type(at(field).Control, newText);
}

void ObjectSettingsModel::CheckClick(Check field)
{
    Notify notify(*this);
    if (!m_objectType.isEmpty())
        at(field).Section->click(at(field).Control);
}

void ObjectSettingsModel::cmdLookup_Click(Command command)
{
    Notify notify(*this);
    Guard("frmMain.cmdLookup_Click", [&] {
        Text nameField = Text::DomDCName;
        Text addressField = Text::DomDCIP;
        if (command == Command::LookupSourceDC) {
            nameField = Text::SourceDC;
            addressField = Text::SourceDCIP;
        } else if (command == Command::LookupDestDC) {
            nameField = Text::DestDC;
            addressField = Text::DestDCIP;
        } else if (command != Command::LookupJoinDC) {
            return;
        }
        if (!commandEnabled(command))
            return;
        const QString address = modNetwork::LookupDC(text(nameField));
        if (!address.isEmpty())
            TextChange(addressField, address);
    });
}

// ---- prompt, checks, save ---------------------------------------------------------------

bool ObjectSettingsModel::PromptToSaveRecord()
{
    bool goOn = true;
    Notify notify(*this);
    Guard("frmMain.PromptToSaveRecord", [&] {
        if (!m_settingsChanged)
            return;
        const Presenter::Answer answer = Ask(QStringLiteral("The settings for the current selection have changed.") + CR
                + QStringLiteral("Do you want to save the settings before proceeding?"),
            QStringLiteral("Save Settings"), Presenter::Buttons::YesNoCancel);
        if (answer == Presenter::Yes) {
            // A save that an input check refused keeps the edits in the
            // panel with the field in focus; the command that asked must
            // not go on and throw them away.
            goOn = SaveObjectSettings();
        } else if (answer == Presenter::No) {
            SettingsChange(false);
        } else {
            goOn = false;
        }
    });
    return goOn;
}

bool ObjectSettingsModel::fail(int tab, Text field, const QString &message)
{
    m_lastFailure = CheckFailure {tab, ControlName(field), message};
    Q_EMIT focusRequested(tab, m_lastFailure.Control);
    ShowMessage(modErrorHandler::Information, message);
    return false;
}

bool ObjectSettingsModel::GeneralSettingsInputChecks()
{
    bool passed = false;
    m_lastFailure = CheckFailure {};
    Guard("frmMain.GeneralSettingsInputChecks", [&] {
        const QString limit = QString::number(MaxMinFreeSpace);
        // Only what this level defines itself (state 1) is checked: an
        // inherited tick was checked where it was saved.
        const bool joinDomain = check(Check::JoinDomain) == Checked;
        const bool joinWorkgroup = check(Check::JoinWorkgroup) == Checked;
        const bool minFreeSpace = check(Check::MinFreeSpace) == Checked;
        const QString &domainName = text(Text::JoinDomainName);
        const QString &workgroupName = text(Text::JoinWorkgroupName);
        const QString &joinDC = text(Text::DomDCName);
        const QString &joinIP = text(Text::DomDCIP);
        const QString &space = text(Text::MinFreeSpace);

        if (joinDomain && domainName.isEmpty()) {
            passed = fail(TabDomainJoin, Text::JoinDomainName,
                QStringLiteral("You must specify a domain to join or deselect the join domain option."));
            return;
        }
        if (joinWorkgroup && workgroupName.isEmpty()) {
            passed = fail(TabDomainJoin, Text::JoinWorkgroupName,
                QStringLiteral("You must specify a workgroup name to join or deselect the join workgroup option."));
            return;
        }
        const std::optional<double> spaceValue = OptionsSection::ReadNumber(space);
        if (minFreeSpace && space.isEmpty()) {
            passed = fail(TabOptions, Text::MinFreeSpace,
                QStringLiteral("You must specify a minimum free space or deselect the minimum disk space option."));
            return;
        }
        if (minFreeSpace && !spaceValue) {
            passed = fail(TabOptions, Text::MinFreeSpace,
                QStringLiteral("Invalid minimum disk space specified. This must be a number between 0 and ") + limit + QStringLiteral("."));
            return;
        }
        if (minFreeSpace && (*spaceValue < 0 || *spaceValue > MaxMinFreeSpace)) {
            passed = fail(TabOptions, Text::MinFreeSpace,
                QStringLiteral("The minimum disk space value must be between 0 and ") + limit + QStringLiteral("."));
            return;
        }
        if (joinDomain && !modFormat::IsValidHostName(domainName)) {
            passed = fail(TabDomainJoin, Text::JoinDomainName, QStringLiteral("Invalid characters found in domain name."));
            return;
        }
        if (joinDomain && (joinDC.isEmpty() || joinIP.isEmpty())) {
            passed = fail(TabDomainJoin, joinDC.isEmpty() ? Text::DomDCName : Text::DomDCIP,
                QStringLiteral("You must specify both a domain controller name and IP address."));
            return;
        }
        if (joinDomain && !modFormat::IsValidHostName(joinDC)) {
            passed = fail(TabDomainJoin, Text::DomDCName, QStringLiteral("Invalid characters found in domain controller name."));
            return;
        }
        if (joinDomain && !modFormat::IsValidIPAddress(joinIP)) {
            passed = fail(TabDomainJoin, Text::DomDCIP, QStringLiteral("Invalid characters found in domain controller IP address."));
            return;
        }
        if (joinWorkgroup && !modFormat::IsValidName(workgroupName)) {
            passed = fail(TabDomainJoin, Text::JoinWorkgroupName, QStringLiteral("Invalid characters found in workgroup name."));
            return;
        }

        const bool hasUsers = m_objectType == kComputer && m_userList && m_userList->GetUserCount() > 0;
        if (hasUsers && !isOn(Check::SourceUseLocal) && text(Text::SourceContext).isEmpty()) {
            passed = fail(
                TabSourceDestination, Text::SourceContext, QStringLiteral("You must specify a source domain for the user migrations."));
            return;
        }
        if (hasUsers && !isOn(Check::DestUseLocal) && text(Text::DestContext).isEmpty()) {
            passed = fail(
                TabSourceDestination, Text::DestContext, QStringLiteral("You must specify a destination domain for the user migrations."));
            return;
        }

        // A domain controller is given by name and address together, or not
        // at all: the engine needs the address to reach the controller
        // named, and without either it finds a controller by itself.
        const auto pairIncomplete = [&](Text name, Text address) { return text(name).isEmpty() != text(address).isEmpty(); };
        if (pairIncomplete(Text::SourceDC, Text::SourceDCIP)) {
            passed = fail(TabSourceDestination, text(Text::SourceDC).isEmpty() ? Text::SourceDC : Text::SourceDCIP,
                QStringLiteral("You must specify both a source domain controller name and IP address."));
            return;
        }
        if (pairIncomplete(Text::DestDC, Text::DestDCIP)) {
            passed = fail(TabSourceDestination, text(Text::DestDC).isEmpty() ? Text::DestDC : Text::DestDCIP,
                QStringLiteral("You must specify both a destination domain controller name and IP address."));
            return;
        }

        const auto badName = [&](Text field) { return !text(field).isEmpty() && !modFormat::IsValidHostName(text(field)); };
        const auto badAddress = [&](Text field) { return !text(field).isEmpty() && !modFormat::IsValidIPAddress(text(field)); };
        if (badName(Text::SourceContext)) {
            passed = fail(TabSourceDestination, Text::SourceContext, QStringLiteral("Invalid characters found in source context name."));
            return;
        }
        if (badName(Text::DestContext)) {
            passed = fail(TabSourceDestination, Text::DestContext, QStringLiteral("Invalid characters found in destination context."));
            return;
        }
        if (badName(Text::SourceDC)) {
            passed
                = fail(TabSourceDestination, Text::SourceDC, QStringLiteral("Invalid characters found in source domain controller name."));
            return;
        }
        if (badName(Text::DestDC)) {
            passed = fail(
                TabSourceDestination, Text::DestDC, QStringLiteral("Invalid characters found in destination domain controller name."));
            return;
        }
        if (badAddress(Text::SourceDCIP)) {
            passed = fail(
                TabSourceDestination, Text::SourceDCIP, QStringLiteral("Invalid characters found in source domain controller IP address."));
            return;
        }
        if (badAddress(Text::DestDCIP)) {
            passed = fail(TabSourceDestination, Text::DestDCIP,
                QStringLiteral("Invalid characters found in destination domain controller IP address."));
            return;
        }
        passed = true;
    });
    return passed;
}

bool ObjectSettingsModel::SaveObjectSettings()
{
    bool saved = false;
    Notify notify(*this);
    Guard("frmMain.SaveObjectSettings", [&] {
        if (!m_db || m_objectType.isEmpty())
            return;
        if (!GeneralSettingsInputChecks())
            return;

        EditStep step(*m_db, QStringLiteral("Save Settings of '%1'").arg(nodeText(ObjectKey())));
        GlobalSettingsPtr record = m_db->GetSettings(m_objectType, m_objectID);
        if (!record)
            record = CloneAtThisLevel();
        if (!record)
            return;
        const GlobalSettingsPtr before = record->Clone();

        m_join.store(*record);
        m_options.store(*record);
        m_source.store(*record);
        m_destination.store(*record);

        // Stored where it stands (the root's record is only ever edited so);
        // the step learns the record as it was.
        m_db->NoteSettingsEdited(m_objectType, m_objectType == kGlobal ? 0 : m_objectID, before);
        m_db->AddSettings(record, m_objectID, m_objectType);
        AppState::Get().DatabaseChanged = true;
        saved = true;
        LoadSelectedNode(m_node);
    });
    if (saved) {
        Q_EMIT settingsSaved();
        Q_EMIT treeIconsChanged();
    }
    return saved;
}

// ---- own records -----------------------------------------------------------------------------

GlobalSettingsPtr ObjectSettingsModel::GetCurrentLoadedSettings() const
{
    GlobalSettingsPtr record;
    Guard("frmMain.GetCurrentLoadedSettings", [&] {
        if (!m_db || m_objectType.isEmpty())
            return;
        record = m_db->GetSettings(m_objectType, m_objectID);
        if (!record) {
            QString sourceKey;
            record = m_db->GetEffectiveSettings(m_objectType, m_objectID, sourceKey);
        }
    });
    return record;
}

GlobalSettingsPtr ObjectSettingsModel::CloneAtThisLevel()
{
    GlobalSettingsPtr clone;
    Guard("frmMain.CloneAtThisLevel", [&] {
        if (!m_db || m_objectType.isEmpty())
            return;
        QString sourceKey;
        const GlobalSettingsPtr effective = m_db->GetEffectiveSettings(m_objectType, m_objectID, sourceKey);
        if (!effective)
            return;
        GlobalSettingsPtr copy = effective->Clone();
        copy->ObjectType = m_objectType;
        copy->AssociatedID = m_objectID;
        m_db->AddSettings(copy, m_objectID, m_objectType);
        clone = copy;
    });
    if (clone)
        Q_EMIT treeIconsChanged();
    return clone;
}

void ObjectSettingsModel::cmdInheritFromParent_Click()
{
    bool removed = false;
    Notify notify(*this);
    Guard("frmMain.cmdInheritFromParent_Click", [&] {
        if (!m_db || m_objectType.isEmpty())
            return;
        if (!m_db->GetSettings(m_objectType, m_objectID)) {
            ShowMessage(modErrorHandler::Information, QStringLiteral("This object is already inheriting settings."));
            return;
        }
        const QString question = QStringLiteral("Are you sure you'd like to remove these settings and ") + CR
            + QStringLiteral("inherit the settings from a parent object?");
        if (Ask(question, QStringLiteral("Confirm inheritance"), Presenter::Buttons::YesNo) != Presenter::Yes)
            return;
        EditStep step(*m_db, QStringLiteral("Inherit Settings of '%1'").arg(nodeText(ObjectKey())));
        removed = m_db->RemoveNodeSettings(ObjectKey());
        // The tree now differs from the saved file; the exit check must know.
        if (removed)
            AppState::Get().DatabaseChanged = true;
        LoadSelectedNode(m_node);
    });
    if (removed)
        Q_EMIT treeIconsChanged();
}

void ObjectSettingsModel::cmdOverwriteChildren_Click()
{
    bool done = false;
    Notify notify(*this);
    Guard("frmMain.cmdOverwriteChildren_Click", [&] {
        if (!m_db || m_objectType.isEmpty())
            return;
        const QString question = QStringLiteral("This will erase all individual settings and force settings inheritance") + CR
            + QStringLiteral("for all on computers and groups below the currently selected") + CR + QStringLiteral("node (\"")
            + nodeText(ObjectKey()) + QStringLiteral("\").") + CR + CR + QStringLiteral("Are you sure you wish to proceed?");
        if (Ask(question, QStringLiteral("Overwrite Children Settings"), Presenter::Buttons::YesNo) != Presenter::Yes)
            return;
        EditStep step(*m_db, QStringLiteral("Overwrite Children Settings of '%1'").arg(nodeText(ObjectKey())));
        m_db->OverwriteChildrenSettings(ObjectKey(), 0);
        AppState::Get().DatabaseChanged = true;
        done = true;
    });
    if (done)
        Q_EMIT treeIconsChanged();
}

// ---- the computer's user list --------------------------------------------------------------

void ObjectSettingsModel::LoadUserList(int computerID)
{
    Notify notify(*this);
    Guard("frmMain.LoadUserList", [&] {
        clearUserList();
        if (!m_db)
            return;
        m_userList = m_db->GetComputerUserList(computerID);
        if (!m_userList) {
            ShowMessage(modErrorHandler::InternalError, QStringLiteral("No user list linked with computer object."),
                QStringLiteral("frmMain.LoadUserList"));
            return;
        }
        DisplayUserList();
    });
}

void ObjectSettingsModel::DisplayUserList()
{
    Notify notify(*this);
    Guard("frmMain.DisplayUserList", [&] {
        if (!m_userList) {
            ShowMessage(
                modErrorHandler::InternalError, QStringLiteral("No current user list loaded."), QStringLiteral("frmMain.DisplayUserList"));
            return;
        }
        m_userLines.clear();
        m_userListEnabled = true;
        bool allUsers = false;
        for (int id = 0; id < m_userList->GetMaxID(); ++id) {
            const std::optional<MigrationUsers> entry = m_userList->GetUser(id);
            if (!entry)
                continue;
            const QString source = entry->UseSIDFrom ? entry->SIDFrom : entry->UsernameFrom;
            const QString destination = entry->UseSIDTo ? QStringLiteral("*SID*") : entry->UsernameTo;
            m_userLines << source + QStringLiteral(" -> ") + destination;
            if (source == AllUsersName || destination == AllUsersName)
                allUsers = true;
        }
        m_addUserAllowed = !allUsers;
        m_deleteUserAllowed = true;
    });
}

void ObjectSettingsModel::cmdDeleteUser_Click(int selectedLine)
{
    Notify notify(*this);
    Guard("frmMain.cmdDeleteUser", [&] {
        if (selectedLine < 0) {
            ShowMessage(modErrorHandler::Information,
                QStringLiteral("You must select the user migration set that you wish to delete from the list."));
            return;
        }
        if (!m_userList) {
            ShowMessage(
                modErrorHandler::InternalError, QStringLiteral("No current user list loaded."), QStringLiteral("frmMain.cmdDeleteUser"));
            return;
        }
        // Deleted entries keep their IDs, so line and ID part ways after the
        // first deletion: count only the entries that are shown.
        int line = 0;
        for (int id = 0; id < m_userList->GetMaxID(); ++id) {
            const std::optional<MigrationUsers> entry = m_userList->GetUser(id);
            if (!entry)
                continue;
            if (line++ != selectedLine)
                continue;
            const QString source = entry->SIDFrom.isEmpty() ? entry->UsernameFrom : entry->SIDFrom;
            const QString question = QStringLiteral("Are you sure you'd like to delete the migration set '") + source
                + QStringLiteral(" -> ") + entry->UsernameTo + QStringLiteral("'?");
            if (Ask(question, QStringLiteral("Confirm Delete"), Presenter::Buttons::YesNo) == Presenter::Yes) {
                const UserProfiles before = *m_userList;
                m_userList->DeleteUser(id);
                AppState::Get().DatabaseChanged = true;
                if (m_db && m_objectType == kComputer) {
                    EditStep step(*m_db, QStringLiteral("Delete User Migration of '%1'").arg(nodeText(ObjectKey())));
                    m_db->NoteUserListEdited(m_objectID, before);
                }
            }
            break;
        }
        if (m_db && m_objectType == kComputer)
            m_db->SetComputerUserList(m_objectID, m_userList);
        DisplayUserList();
    });
}

void ObjectSettingsModel::UserListEdited(const UserProfiles &before)
{
    Notify notify(*this);
    Guard("frmMain.cmdAddUser_Click", [&] {
        const QStringList shown = m_userLines;
        DisplayUserList();
        // A new entry is a change to save; a cancelled dialog is none.
        if (m_userLines != shown)
            AppState::Get().DatabaseChanged = true;
        if (m_db && m_objectType == kComputer && m_userList) {
            m_db->SetComputerUserList(m_objectID, m_userList);
            if (m_userLines != shown) {
                EditStep step(*m_db, QStringLiteral("Add User Migration to '%1'").arg(nodeText(ObjectKey())));
                m_db->NoteUserListEdited(m_objectID, before);
            }
        }
    });
}

// ---- accounts -----------------------------------------------------------------------------------

void ObjectSettingsModel::EditAccounts(AccountCommand command, const std::function<void(const GlobalSettingsPtr &record)> &dialog)
{
    Notify notify(*this);
    const bool wizard = command == AccountCommand::AuthWizard;
    const char *procedure = wizard ? "frmMain.cmdAuthWizard_Click" : "frmMain.cmdChangePasswords_Click";
    Guard(procedure, [&] {
        if (!m_db || m_objectType.isEmpty())
            return;
        EditStep step(*m_db, QStringLiteral("Edit Accounts of '%1'").arg(nodeText(ObjectKey())));
        const bool own = static_cast<bool>(m_db->GetSettings(m_objectType, m_objectID));
        const GlobalSettingsPtr record = modAccountsOpening::RecordForAccounts(*m_db, m_objectType, m_objectID,
            wizard ? modAccountsOpening::Purpose::AuthWizard : modAccountsOpening::Purpose::ChangePasswords,
            [this] { return CloneAtThisLevel(); });
        if (!record)
            return;
        const bool cloned = !own;
        if (cloned)
            AppState::Get().DatabaseChanged = true;
        const GlobalSettingsPtr before = record->Clone();
        // The record is shared with the settings table, so it must be in use
        // again however the dialog ends, a failure inside it included.
        const bool confirmed = modAccountsOpening::RunEditor(*record, procedure, [&] { dialog(record); });
        if (confirmed) {
            AppState::Get().DatabaseChanged = true;
            m_db->NoteSettingsEdited(m_objectType, m_objectID, before);
        }
        if (!confirmed && !cloned)
            return;
        // Edits in the panel are the administrator's until saved or dropped:
        // only the accounts are shown again then.
        if (m_settingsChanged)
            LoadAuthUsernames();
        else
            LoadSelectedNode(m_node);
    });
}
