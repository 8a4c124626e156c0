#include "shell/ObjectSettingsModel.h"

#include "common/AppState.h"
#include "common/Presenter.h"
#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "database/ComputerDB.h"
#include "network/modNetwork.h"

#include <QRegularExpression>

#include <cmath>

using modErrorHandler::Guard;
using modErrorHandler::ShowMessage;

namespace {

const QString CR = QStringLiteral("\r");
const QString kGlobal = QStringLiteral("G");
const QString kFolder = QStringLiteral("F");
const QString kComputer = QStringLiteral("C");

// What the administrator may type as a number: digits with an optional sign,
// decimal point and exponent, blanks around it. Words such as "inf" that
// QString::toDouble would take are not numbers here.
bool ReadNumber(const QString &text, double &value)
{
    static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$)"));
    if (!number.match(text).hasMatch())
        return false;
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value);
}

// Saving keeps the tick, not where it came from: an inherited tick becomes the node's own.
int StoredOption(int checkValue)
{
    return checkValue == ObjectSettingsModel::Grayed ? 1 : checkValue;
}

Presenter::Answer Ask(const QString &text, const QString &caption, Presenter::Buttons buttons)
{
    Presenter::Message box;
    box.text = text;
    box.caption = caption;
    box.icon = Presenter::Icon::Question;
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

QString ObjectSettingsModel::ControlName(Text field)
{
    static const std::array<const char *, TextCount> names = {
        "txtSourceContext",
        "txtSourceDC",
        "txtSourceDCIP",
        "txtDestContext",
        "txtDestDC",
        "txtDestDCIP",
        "txtJoinDomainName",
        "txtDomDCName",
        "txtDomDCIP",
        "txtJoinWorkgroupName",
        "txtMinFreeSpace",
    };
    return QString::fromLatin1(names[index(field)]);
}

QString ObjectSettingsModel::ControlName(Check field)
{
    static const std::array<const char *, CheckCount> names = {
        "chkSourceUseLocal",
        "chkDestUseLocal",
        "chkJoinDomain",
        "chkJoinWorkgroup",
        "chkRebootAllow",
        "chkRebootForce",
        "chkCopyProfile",
        "chkNoTempInternet",
        "chkOverwriteProfile",
        "chkMinFreeSpace",
    };
    return QString::fromLatin1(names[index(field)]);
}

QString ObjectSettingsModel::ControlName(Command command)
{
    static const std::array<const char *, CommandCount> names = {
        "cmdLookupSourceDC",
        "cmdLookupDestDC",
        "cmdLookupJoinDC",
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
    static const std::array<const char *, AccountLabelCount> names = {
        "lblVarnoUser",
        "lblOskUser",
        "lblJoinDomUser",
        "lblSourceSIDUser",
        "lblDestSIDUser",
    };
    return index >= 0 && index < AccountLabelCount ? QString::fromLatin1(names[static_cast<size_t>(index)]) : QString();
}

QString ObjectSettingsModel::AccountCaption(int index)
{
    static const std::array<const char *, AccountLabelCount> captions = {
        "Administrator A:",
        "Administrator B:",
        "Domain Join Privileges:",
        "Source SID Lookup:",
        "Destination SID Lookup:",
    };
    return index >= 0 && index < AccountLabelCount ? QString::fromLatin1(captions[static_cast<size_t>(index)]) : QString();
}

int ObjectSettingsModel::AccountSlot(int index)
{
    static constexpr std::array<int, AccountLabelCount> slots = {AdminA, AdminB, DomainJoin, SourceSIDLookup, DestinationSIDLookup};
    return index >= 0 && index < AccountLabelCount ? slots[static_cast<size_t>(index)] : -1;
}

// ---- state --------------------------------------------------------------------------

ObjectSettingsModel::ObjectSettingsModel(QObject *parent)
    : QObject(parent)
{
    m_accountLabels.fill(NotSpecified);
    // Nothing is loaded yet: the panel shows no object, so nothing may be edited.
    for (TextState &field : m_texts)
        field.Locked = true;
    for (CheckState &field : m_checks)
        field.Locked = true;
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
        return !text(Text::SourceDC).isEmpty();
    case Command::LookupDestDC:
        return !text(Text::DestDC).isEmpty();
    case Command::LookupJoinDC:
        return !text(Text::DomDCName).isEmpty();
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
        // The account wizards are not part of the console yet.
        return false;
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
    for (TextState &field : m_texts)
        field = TextState {};
    for (CheckState &field : m_checks)
        field = CheckState {};
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
        const int on = inherited ? Grayed : Checked;
        for (TextState &field : m_texts)
            field.Inherited = inherited;

        switch (record->JoinVal) {
        case JoinNone:
            setCheck(Check::JoinDomain, Unchecked);
            setCheck(Check::JoinWorkgroup, Unchecked);
            setText(Text::JoinDomainName, QString());
            setText(Text::DomDCName, QString());
            setText(Text::DomDCIP, QString());
            setText(Text::JoinWorkgroupName, QString());
            break;
        case JoinDomain:
            // The two join boxes exclude each other; an upper level's
            // workgroup must not stay ticked beside this level's domain.
            setCheck(Check::JoinWorkgroup, Unchecked);
            setCheck(Check::JoinDomain, on);
            setText(Text::JoinDomainName, record->JoinName);
            setText(Text::DomDCName, record->JoinDCName);
            setText(Text::DomDCIP, record->JoinDCIP);
            break;
        case JoinWorkgroup:
            setCheck(Check::JoinDomain, Unchecked);
            setCheck(Check::JoinWorkgroup, on);
            setText(Text::JoinWorkgroupName, record->JoinName);
            break;
        default:
            ShowMessage(modErrorHandler::InternalError, QStringLiteral("Invalid join value encountered."),
                QStringLiteral("frmMain.DisplaySettings"));
            break;
        }

        const auto option = [&](Check field, int value) { setCheck(field, value == 1 ? on : Unchecked); };
        option(Check::RebootAllow, record->RebootPermitted);
        option(Check::RebootForce, record->ForceReboot);
        option(Check::CopyProfile, record->CopyProfile);
        option(Check::NoTempInternet, record->IgnoreTempInternetFiles);
        option(Check::OverwriteProfile, record->OverwriteProfile);
        setCheck(Check::MinFreeSpace, record->MinFreeSpace >= 0 ? on : Unchecked);
        if (record->MinFreeSpace != -1)
            setText(Text::MinFreeSpace, QString::number(record->MinFreeSpace));

        const auto context = [&](const QString &domain, const QString &dcName, const QString &dcIP, Check useLocal, Text contextText,
                                 Text dcText, Text ipText) {
            if (domain == LocalAccountDomain) {
                setCheck(useLocal, on);
                setText(contextText, QString());
            } else {
                setCheck(useLocal, Unchecked);
                setText(contextText, domain);
                setText(dcText, dcName);
                setText(ipText, dcIP);
            }
        };
        context(record->SourceDomain, record->SourceDCName, record->SourceDCIP, Check::SourceUseLocal, Text::SourceContext, Text::SourceDC,
            Text::SourceDCIP);
        context(record->DestinationDomain, record->DestinationDCName, record->DestinationDCIP, Check::DestUseLocal, Text::DestContext,
            Text::DestDC, Text::DestDCIP);

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

void ObjectSettingsModel::lockTexts(std::initializer_list<Text> fields, bool lock, bool empty)
{
    for (Text field : fields) {
        TextState &state = textState(field);
        state.Locked = lock;
        if (lock && empty)
            state.Text.clear();
    }
}

void ObjectSettingsModel::ObjectSettingsSetLockedFields()
{
    Notify notify(*this);
    for (CheckState &field : m_checks)
        field.Locked = false;

    // An inherited workgroup (greyed) stays as inherited; to change its
    // name the administrator ticks the box for this level first.
    lockTexts({Text::JoinWorkgroupName}, check(Check::JoinWorkgroup) != Checked, false);
    lockTexts({Text::JoinDomainName, Text::DomDCName, Text::DomDCIP}, check(Check::JoinDomain) == Unchecked, true);
    lockTexts({Text::MinFreeSpace}, check(Check::MinFreeSpace) == Unchecked, true);
    lockTexts({Text::SourceContext, Text::SourceDC, Text::SourceDCIP}, isOn(Check::SourceUseLocal), true);
    lockTexts({Text::DestContext, Text::DestDC, Text::DestDCIP}, isOn(Check::DestUseLocal), true);

    // The dependent options follow their masters after a load too, not
    // only after a click, so a record with copying off never shows a
    // usable "Temporary Internet Files" box.
    LockProfileOptions();
    LockRebootOptions();
    SettingsChange(true);
}

void ObjectSettingsModel::LockProfileOptions()
{
    Notify notify(*this);
    const bool locked = check(Check::CopyProfile) == Unchecked;
    checkState(Check::NoTempInternet).Locked = locked;
    checkState(Check::MinFreeSpace).Locked = locked;
}

void ObjectSettingsModel::LockRebootOptions()
{
    Notify notify(*this);
    checkState(Check::RebootForce).Locked = check(Check::RebootAllow) == Unchecked;
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
    TextState &state = textState(field);
    if (state.Locked || m_objectType.isEmpty())
        return;
    state.Text = newText;
    // A value typed here is this level's own, and so is the option it
    // belongs to: the checks then test it, and saving cannot store an
    // inherited tick beside a value nobody checked.
    state.Inherited = false;
    const auto promote = [&](Check owner) {
        if (check(owner) == Grayed)
            setCheck(owner, Checked);
    };
    switch (field) {
    case Text::JoinDomainName:
    case Text::DomDCName:
    case Text::DomDCIP:
        promote(Check::JoinDomain);
        break;
    case Text::JoinWorkgroupName:
        promote(Check::JoinWorkgroup);
        break;
    case Text::MinFreeSpace:
        promote(Check::MinFreeSpace);
        break;
    default:
        break;
    }

    if (field == Text::SourceDC || field == Text::DestDC || field == Text::DomDCName)
        ObjectSettingsSetLockedFields();
    else
        SettingsChange(true);
}

void ObjectSettingsModel::CheckClick(Check field)
{
    Notify notify(*this);
    if (checkState(field).Locked || m_objectType.isEmpty())
        return;
    const int value = check(field) == Unchecked ? Checked : Unchecked;
    setCheck(field, value);
    const bool ticked = value == Checked;

    switch (field) {
    case Check::JoinDomain:
        if (ticked)
            setCheck(Check::JoinWorkgroup, Unchecked);
        ObjectSettingsSetLockedFields();
        break;
    case Check::JoinWorkgroup:
        if (ticked)
            setCheck(Check::JoinDomain, Unchecked);
        ObjectSettingsSetLockedFields();
        break;
    case Check::MinFreeSpace:
    case Check::SourceUseLocal:
    case Check::DestUseLocal:
        ObjectSettingsSetLockedFields();
        break;
    case Check::CopyProfile:
        if (ticked) {
            setCheck(Check::NoTempInternet, Checked);
        } else {
            setCheck(Check::NoTempInternet, Unchecked);
            setCheck(Check::MinFreeSpace, Unchecked);
        }
        // Not only LockProfileOptions: the disk-space box just went off,
        // and its number must go with it.
        ObjectSettingsSetLockedFields();
        break;
    case Check::RebootAllow:
        setCheck(Check::RebootForce, ticked ? Checked : Unchecked);
        LockRebootOptions();
        SettingsChange(true);
        break;
    case Check::RebootForce:
    case Check::NoTempInternet:
    case Check::OverwriteProfile:
        SettingsChange(true);
        break;
    }
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
        const QString name = text(nameField);
        if (name.isEmpty()) {
            ShowMessage(modErrorHandler::Information, QStringLiteral("You must enter a domain controller name to lookup."));
            return;
        }
        if (!modFormat::IsValidName(name)) {
            ShowMessage(modErrorHandler::Information, QStringLiteral("Invalid characters found in DC name. Unable to perform IP lookup."));
            return;
        }
        const QString address = modNetwork::ResolveHost(name);
        if (address.isEmpty())
            ShowMessage(modErrorHandler::Information, QStringLiteral("Failed to lookup IP address for '%1'.").arg(name));
        else
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
        double spaceValue = 0;
        if (minFreeSpace && space.isEmpty()) {
            passed = fail(TabOptions, Text::MinFreeSpace,
                QStringLiteral("You must specify a minimum free space or deselect the minimum disk space option."));
            return;
        }
        if (minFreeSpace && !ReadNumber(space, spaceValue)) {
            passed = fail(TabOptions, Text::MinFreeSpace,
                QStringLiteral("Invalid minimum disk space specified. This must be a number between 0 and ") + limit + QStringLiteral("."));
            return;
        }
        if (minFreeSpace && (spaceValue < 0 || spaceValue > MaxMinFreeSpace)) {
            passed = fail(TabOptions, Text::MinFreeSpace,
                QStringLiteral("The minimum disk space value must be between 0 and ") + limit + QStringLiteral("."));
            return;
        }
        if (joinDomain && !modFormat::IsValidName(domainName)) {
            passed = fail(TabDomainJoin, Text::JoinDomainName, QStringLiteral("Invalid characters found in domain name."));
            return;
        }
        if (joinDomain && (joinDC.isEmpty() || joinIP.isEmpty())) {
            passed = fail(TabDomainJoin, joinDC.isEmpty() ? Text::DomDCName : Text::DomDCIP,
                QStringLiteral("You must specify both a domain controller name and IP address."));
            return;
        }
        if (joinDomain && !modFormat::IsValidName(joinDC)) {
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

        const auto badName = [&](Text field) { return !text(field).isEmpty() && !modFormat::IsValidName(text(field)); };
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

        GlobalSettingsPtr record = m_db->GetSettings(m_objectType, m_objectID);
        if (!record)
            record = CloneAtThisLevel();
        if (!record)
            return;

        if (isOn(Check::JoinDomain)) {
            record->JoinVal = JoinDomain;
            record->JoinName = text(Text::JoinDomainName);
        } else if (isOn(Check::JoinWorkgroup)) {
            record->JoinVal = JoinWorkgroup;
            record->JoinName = text(Text::JoinWorkgroupName);
        } else {
            record->JoinVal = JoinNone;
            record->JoinName.clear();
        }
        record->JoinDCName = text(Text::DomDCName);
        record->JoinDCIP = text(Text::DomDCIP);

        record->RebootPermitted = StoredOption(check(Check::RebootAllow));
        record->ForceReboot = StoredOption(check(Check::RebootForce));
        record->CopyProfile = StoredOption(check(Check::CopyProfile));
        record->IgnoreTempInternetFiles = StoredOption(check(Check::NoTempInternet));
        record->OverwriteProfile = StoredOption(check(Check::OverwriteProfile));

        double space = -1;
        if (isOn(Check::MinFreeSpace) && ReadNumber(text(Text::MinFreeSpace), space))
            record->MinFreeSpace = static_cast<int>(std::trunc(space));
        else
            record->MinFreeSpace = -1;

        if (isOn(Check::SourceUseLocal)) {
            record->SourceDomain = LocalAccountDomain;
            record->SourceDCName.clear();
            record->SourceDCIP.clear();
        } else {
            record->SourceDomain = text(Text::SourceContext);
            record->SourceDCName = text(Text::SourceDC);
            record->SourceDCIP = text(Text::SourceDCIP);
        }
        if (isOn(Check::DestUseLocal)) {
            record->DestinationDomain = LocalAccountDomain;
            record->DestinationDCName.clear();
            record->DestinationDCIP.clear();
        } else {
            record->DestinationDomain = text(Text::DestContext);
            record->DestinationDCName = text(Text::DestDC);
            record->DestinationDCIP = text(Text::DestDCIP);
        }

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
                m_userList->DeleteUser(id);
                AppState::Get().DatabaseChanged = true;
            }
            break;
        }
        if (m_db && m_objectType == kComputer)
            m_db->SetComputerUserList(m_objectID, m_userList);
        DisplayUserList();
    });
}

void ObjectSettingsModel::UserListEdited()
{
    Notify notify(*this);
    Guard("frmMain.cmdAddUser_Click", [&] {
        DisplayUserList();
        if (m_db && m_objectType == kComputer && m_userList)
            m_db->SetComputerUserList(m_objectID, m_userList);
    });
}
