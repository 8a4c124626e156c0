#include "settings/GlobalSettings.h"

#include "common/modErrorHandler.h"

namespace {

bool isUserType(int userType)
{
    return userType >= 0 && userType < UserTypeCount;
}

void reportBadUserType(const QString &message)
{
    modErrorHandler::ShowMessage(modErrorHandler::Information, message);
}

} // namespace

void GlobalSettings::SetUser(int userType, const QString &username, const QString &password, const QString &domain)
{
    if (!isUserType(userType)) {
        reportBadUserType(QStringLiteral("Invalid user type specified while saving settings."));
        return;
    }
    AccountRecord &slot = m_accounts[static_cast<size_t>(userType)];
    slot.Username = username;
    slot.Password = password;
    slot.Domain = domain;
}

bool GlobalSettings::GetUserSettings(int userType, QString &domain, QString &username, QString &password) const
{
    if (!isUserType(userType)) {
        reportBadUserType(QStringLiteral("Invalid user type specified."));
        return false;
    }
    const AccountRecord &slot = account(userType);
    domain = slot.Domain;
    username = slot.Username;
    password = slot.Password;
    return true;
}

void GlobalSettings::GetFullUsername(int userType, QString &fullName) const
{
    fullName.clear();
    if (!isUserType(userType)) {
        reportBadUserType(QStringLiteral("Invalid user type specified."));
        return;
    }
    // A domain without a user name is no account at all, so it shows nothing;
    // a user name without a domain is shown bare rather than as "\name".
    const AccountRecord &slot = account(userType);
    if (slot.Username.isEmpty())
        return;
    fullName = slot.Domain.isEmpty() ? slot.Username : slot.Domain + QLatin1Char('\\') + slot.Username;
}

QString GlobalSettings::GetFullUsername(int userType) const
{
    QString fullName;
    GetFullUsername(userType, fullName);
    return fullName;
}

void GlobalSettings::ClearUsers()
{
    for (AccountRecord &slot : m_accounts)
        slot = AccountRecord();
}

void GlobalSettings::CopySettings(GlobalSettings &target) const
{
    modErrorHandler::Guard("GlobalSettings.CopySettings", [&] {
        // The owner and Valid travel too: a dialog's working copy says through
        // Valid whether it was confirmed, and callers that attach the copy to
        // another node set the owner themselves afterwards.
        target.ActionType = ActionType;
        target.AssociatedID = AssociatedID;
        target.CopyProfile = CopyProfile;
        target.ForceReboot = ForceReboot;
        target.IgnoreTempInternetFiles = IgnoreTempInternetFiles;
        target.JoinVal = JoinVal;
        target.MigrationType = MigrationType;
        target.MinFreeSpace = MinFreeSpace;
        target.OverwriteProfile = OverwriteProfile;
        target.RebootPermitted = RebootPermitted;
        target.DestinationDCIP = DestinationDCIP;
        target.DestinationDCName = DestinationDCName;
        target.DestinationDomain = DestinationDomain;
        target.JoinDCIP = JoinDCIP;
        target.JoinDCName = JoinDCName;
        target.JoinName = JoinName;
        target.ObjectType = ObjectType;
        target.SourceDCIP = SourceDCIP;
        target.SourceDCName = SourceDCName;
        target.SourceDomain = SourceDomain;
        target.Valid = Valid;
        for (int userType = 0; userType < UserTypeCount; ++userType) {
            const AccountRecord &slot = account(userType);
            target.SetUser(userType, slot.Username, slot.Password, slot.Domain);
        }
    });
}

GlobalSettingsPtr GlobalSettings::Clone() const
{
    GlobalSettingsPtr copy;
    modErrorHandler::Guard("GlobalSettings.Clone", [&] {
        copy = create();
        CopySettings(*copy);
    });
    return copy;
}

int GlobalSettings::GetProfileActions() const
{
    // -1 (not set) counts as off, like 0.
    int actions = 0;
    if (CopyProfile == 1)
        actions |= ProfileActionCopy;
    if (IgnoreTempInternetFiles == 1)
        actions |= ProfileActionSkipTempInternetFiles;
    return actions;
}

void GlobalSettings::SetDefaults()
{
    ActionType = -1;
    MigrationType = -1;
    MinFreeSpace = -1;
    JoinVal = JoinNone;
    RebootPermitted = 1;
    ForceReboot = 1;
    CopyProfile = 1;
    IgnoreTempInternetFiles = 1;
    OverwriteProfile = 0;
}
