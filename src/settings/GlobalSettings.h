#pragma once

#include <QString>

#include <array>
#include <memory>

// The domain or context value that means "a local account of each target computer".
inline const QString LocalAccountDomain = QStringLiteral("*LOCAL ACCOUNT*");

// One account of the five a migration uses.
struct AccountRecord
{
    QString Username;
    QString Password;
    QString Domain;
};

// The account slots of a settings record.
enum UserType : int {
    AdminB = 0,
    AdminA = 1,
    DomainJoin = 2,
    SourceSIDLookup = 3,
    DestinationSIDLookup = 4,
};
constexpr int UserTypeCount = 5;

enum JoinType : int {
    JoinNone = 0,
    JoinDomain = 1,
    JoinWorkgroup = 2,
};

enum ActionType : int {
    DomainChangeOnly = 0,
    ProfileMigrationOnly = 1,
    ProfileMigrationAndDomainChange = 2,
};

enum MigrationType : int {
    DomainToDomain = 0,
    DomainToLocal = 1,
    LocalToDomain = 2,
    LocalToLocal = 3,
};

enum ProfileAction : int {
    ProfileActionCopy = 1,
    ProfileActionSkipTempInternetFiles = 2,
};

class GlobalSettings;
// Settings records are shared: the settings table, the panel and the dialogs
// hold the same record, and a change through one reference is seen through
// all. Clone() is the only way to an independent copy.
using GlobalSettingsPtr = std::shared_ptr<GlobalSettings>;

// Every migration parameter that one level of the computer tree can define.
// Option fields are 1 on, 0 off, -1 not set.
class GlobalSettings
{
public:
    GlobalSettings() = default;

    static GlobalSettingsPtr create() { return std::make_shared<GlobalSettings>(); }

    // Fields in their declared order (after the account slots).
    int JoinVal = -1;
    QString JoinDCIP;
    QString JoinDCName;
    QString JoinName;
    int CopyProfile = -1;
    int ForceReboot = -1;
    int IgnoreTempInternetFiles = -1;
    int MinFreeSpace = -1;
    int OverwriteProfile = -1;
    int RebootPermitted = -1;
    QString DestinationDCIP;
    QString DestinationDCName;
    QString DestinationDomain;
    QString SourceDCIP;
    QString SourceDCName;
    QString SourceDomain;
    int ActionType = -1;
    int MigrationType = -1;
    bool Valid = true;
    int AssociatedID = 0;
    QString ObjectType;

    // Out-of-range user types show "Invalid user type specified while saving
    // settings." and store nothing.
    void SetUser(int userType, const QString &username, const QString &password, const QString &domain);
    // Domain first on reading. Out of range: "Invalid user type specified.", false, outputs untouched.
    bool GetUserSettings(int userType, QString &domain, QString &username, QString &password) const;
    // DOMAIN\user when both are set, else the bare user name (empty without one).
    void GetFullUsername(int userType, QString &fullName) const;
    QString GetFullUsername(int userType) const;
    void ClearUsers();

    // Copies every field, the owner and Valid included, into `target`.
    void CopySettings(GlobalSettings &target) const;
    GlobalSettingsPtr Clone() const;

    int GetProfileActions() const;
    // The defaults of a new global record; texts, accounts, Valid and the owner stay.
    void SetDefaults();

    // Read access to a slot without messages, for code that has checked the type.
    const AccountRecord &account(int userType) const { return m_accounts.at(static_cast<size_t>(userType)); }

private:
    std::array<AccountRecord, UserTypeCount> m_accounts;
};
