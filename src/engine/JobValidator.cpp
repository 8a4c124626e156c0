#include "engine/JobValidator.h"

#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "common/modGeneral.h"
#include "common/modText.h"
#include "database/ComputerDB.h"
#include "engine/ValidationCode.h"

#include <QStringView>

#include <optional>

using namespace ValidationCode;

namespace {

const QString kComputerType = QStringLiteral("C");

constexpr int MaxPasswordLength = 127;
// The highest character code the configuration file's scrambling carries
// unchanged.
constexpr int MaxClientCode = 199;

bool validName(const QString &text)
{
    return modFormat::IsValidName(text, false);
}

bool isLocal(const QString &domain)
{
    return domain == LocalAccountDomain;
}

// A domain of an account: a name, or the local-account marker.
bool validAccountDomain(const QString &domain)
{
    return validName(domain) || isLocal(domain);
}

bool isAllUsers(const MigrationUsers &entry)
{
    return entry.UsernameFrom == AllUsersName && entry.UsernameTo == AllUsersName;
}

// Digits only, within 0 to `max`.
bool decimalUpTo(QStringView text, quint64 max)
{
    if (text.isEmpty() || text.size() > 20)
        return false;
    quint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + static_cast<quint64>(c.unicode() - '0');
        if (value > max)
            return false;
    }
    return true;
}

bool hexAuthority(QStringView text)
{
    if (text.size() != 14 || !text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        return false;
    for (const QChar c : text.mid(2)) {
        const bool hexDigit = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!hexDigit)
            return false;
    }
    return true;
}

// A SID in its string form as Windows writes it: "S-1-", the identifier
// authority (decimal below 2^32, or "0x" and twelve hex digits for the large
// ones), then one to fifteen sub-authorities, each a decimal below 2^32.
// "S-1-5-21-1004336348-1177238915-682003330-512" passes.
bool isValidSID(const QString &sid)
{
    const QList<QStringView> parts = QStringView(sid).split(QLatin1Char('-'));
    if (parts.size() < 4 || parts.size() > 18)
        return false;
    if (parts.at(0).compare(QLatin1String("S"), Qt::CaseInsensitive) != 0 || parts.at(1) != QLatin1String("1"))
        return false;
    if (!decimalUpTo(parts.at(2), 0xFFFFFFFFull) && !hexAuthority(parts.at(2)))
        return false;
    for (qsizetype i = 3; i < parts.size(); ++i) {
        if (!decimalUpTo(parts.at(i), 0xFFFFFFFFull))
            return false;
    }
    return true;
}

// The first character of `text` that cannot reach a client as it is, as
// text for the message; empty when there is none. Control characters are
// refused with the rest: CR or LF would end the value's line early, and none
// of them can be typed into the console's fields.
QString unsendableCharacter(const QString &text)
{
    for (const char32_t codePoint : text.toUcs4()) {
        const int ansi = codePoint <= 0xFFFF ? modText::AnsiCode(QChar(static_cast<char16_t>(codePoint))) : -1;
        if (ansi >= 32 && ansi <= MaxClientCode && ansi != 127)
            continue;
        return QString::fromUcs4(&codePoint, 1);
    }
    return QString();
}
} // namespace

JobValidator::JobValidator(const ComputerDB &database)
    : m_database(database)
{ }

void JobValidator::VerifyRecords(int &code, QString &settingsSourceKey, int &index, int &scope, QString &computerKey) const
{
    Q_UNUSED(scope);
    const ValidationResult result = Verify(index);
    code = result.Code;
    settingsSourceKey = result.SettingsSourceKey;
    index = result.Index;
    computerKey = result.ComputerKey;
}

ValidationResult JobValidator::Verify(int firstIndex) const
{
    ValidationResult result;
    // Once a computer gave a warning, the ones after it are looked at for
    // their texts alone: ignoring the warning skips their field checks, and
    // must not carry a text the clients cannot read into the run.
    std::optional<ValidationResult> warning;
    const int first = qMax(firstIndex, 0);
    const int count = m_database.ComputerCount();
    int id = first;
    try {
        for (id = first; id < count; ++id) {
            const ComputerRecord *computer = m_database.Computers(id);
            if (!computer || !computer->Active)
                continue;
            QString sourceKey;
            const GlobalSettingsPtr settings = m_database.GetEffectiveSettings(kComputerType, id, sourceKey);
            result.SettingsSourceKey = sourceKey;
            if (!settings)
                modErrorHandler::Raise(91);
            if (!settings->Valid)
                continue;
            // The texts first: a field check would otherwise name a field
            // whose real fault is a character it cannot show.
            int code = checkTexts(id, *settings, result.Character);
            if (code == Passed && !warning) {
                code = modFormat::IsValidComputerName(computer->Name) ? Passed : ComputerName;
                if (code == Passed)
                    code = checkComputer(*settings, m_database.GetComputerUserList(id).get());
            }
            if (code == Passed)
                continue;
            result.Code = code;
            result.Index = id;
            result.ComputerKey = modGeneral::ComputerKey(id);
            if (!ValidationCode::IsWarning(code))
                return result;
            warning = result;
            result.Character.clear();
        }
    } catch (...) {
        result.Code = modErrorHandler::ClassifyCurrentException().Number;
        result.Index = id;
        result.ComputerKey = modGeneral::ComputerKey(id);
        return result;
    }
    return warning.value_or(result);
}

int JobValidator::checkComputer(const GlobalSettings &settings, const UserProfiles *list)
{
    Counts counts;
    int code = checkAccounts(settings);
    if (code == Passed)
        code = checkUserList(settings, list, counts);
    if (code == Passed)
        code = checkDestinationDomain(settings, counts);
    if (code == Passed)
        code = checkSourceDomain(settings, counts);
    if (code == Passed)
        code = checkSourceLookup(settings, counts);
    if (code == Passed)
        code = checkDestinationLookup(settings, counts);
    if (code == Passed)
        code = checkDomainJoin(settings);
    if (code == Passed)
        code = checkOptions(settings);
    return code;
}

int JobValidator::checkAccounts(const GlobalSettings &settings)
{
    const AccountRecord &adminA = settings.account(AdminA);
    const AccountRecord &adminB = settings.account(AdminB);
    if (!validAccountDomain(adminA.Domain))
        return AdminADomain;
    if (!validName(adminA.Username))
        return AdminAUsername;
    if (!validAccountDomain(adminB.Domain))
        return AdminBDomain;
    if (!validName(adminB.Username))
        return AdminBUsername;
    if (adminA.Password.size() > MaxPasswordLength)
        return AdminAPassword;
    if (settings.account(DestinationSIDLookup).Password.size() > MaxPasswordLength)
        return DestLookupPassword;
    if (adminB.Password.size() > MaxPasswordLength)
        return AdminBPassword;
    if (settings.account(DomainJoin).Password.size() > MaxPasswordLength)
        return JoinAccountPassword;
    if (settings.account(SourceSIDLookup).Password.size() > MaxPasswordLength)
        return SourceLookupPassword;
    return Passed;
}

int JobValidator::checkUserList(const GlobalSettings &settings, const UserProfiles *list, Counts &counts)
{
    if (!list)
        return settings.JoinVal != JoinDomain ? NothingToDo : Passed;
    if (list->GetMaxID() >= 1 && settings.DestinationDomain.isEmpty())
        return DestDomainRequired;
    for (int entryID = 0; entryID <= list->GetMaxID(); ++entryID) {
        const std::optional<MigrationUsers> entry = list->GetUser(entryID);
        if (!entry)
            continue;
        const bool allUsers = isAllUsers(*entry);
        if (!allUsers && !validName(entry->UsernameTo))
            return DestinationUser;
        switch (list->GetType()) {
        case ListUserToUser:
        case ListAllUsers:
            ++counts.counted;
            if (!allUsers && !validName(entry->UsernameFrom))
                return SourceUser;
            if (!entry->SIDFrom.isEmpty())
                return SIDWithUserToUser;
            break;
        case ListSIDToUser:
            if (const int code = checkSIDToUserEntry(entry->UsernameFrom, entry->SIDFrom, entry->UseSIDFrom); code != Passed)
                return code;
            ++counts.sidSourced;
            break;
        default:
            return InternalListType;
        }
    }
    return Passed;
}

// SID to user lists, as this console checks them. A sound entry has its
// source in SIDFrom alone: UseSIDFrom set, no source user name, and a SID in
// the form Windows writes ("S-1-5-21-...-1104"); its destination passed the
// user check above like any other. Each way an entry can fall short has its
// own code:
//   202  the entry takes its source from a user name (UseSIDFrom not set):
//        the export would send that name beside the SIDs of the other
//        entries, and one run cannot migrate from user names and SIDs at once;
//   205  a source user name sits on a SID entry;
//   201  the SID is missing or not in SID form.
// Such entries are not counted entries: their source needs no source domain
// and no 'Source SID Lookup' account, so the source checks treat the list as
// one without user entries, and a lookup account given all the same is code
// 17. Their destinations are profiles to migrate like any others, so the
// destination checks do not warn that the destination domain has no profiles.
int JobValidator::checkSIDToUserEntry(const QString &usernameFrom, const QString &sidFrom, bool useSIDFrom)
{
    if (!useSIDFrom)
        return UsersAndSIDsMixed;
    if (!usernameFrom.isEmpty())
        return UserWithSIDToUser;
    if (!isValidSID(sidFrom))
        return SourceSID;
    return Passed;
}

int JobValidator::checkDestinationDomain(const GlobalSettings &settings, const Counts &counts)
{
    const QString &domain = settings.DestinationDomain;
    const bool profiles = counts.counted > 0 || counts.sidSourced > 0;
    if (domain.isEmpty()) {
        if (counts.counted > 0)
            return NothingToDo;
        if (!settings.DestinationDCName.isEmpty())
            return DestDCNameWithoutDomain;
        if (!settings.DestinationDCIP.isEmpty())
            return DestDCIPWithoutDomain;
        return Passed;
    }
    if (isLocal(domain))
        return Passed;
    if (!validName(domain))
        return DestDomain;
    if (!validName(settings.DestinationDCName))
        return DestDCName;
    if (!modFormat::IsValidIPAddress(settings.DestinationDCIP))
        return DestDCIP;
    return profiles ? Passed : DestDomainWithoutProfiles;
}

int JobValidator::checkSourceDomain(const GlobalSettings &settings, const Counts &counts)
{
    const QString &domain = settings.SourceDomain;
    if (domain.isEmpty()) {
        if (counts.counted > 0)
            return SourceDomainRequired;
        if (!settings.SourceDCName.isEmpty())
            return SourceDCNameWithoutDomain;
        if (!settings.SourceDCIP.isEmpty())
            return SourceDCIPWithoutDomain;
        return Passed;
    }
    if (isLocal(domain))
        return Passed;
    if (!validName(domain))
        return SourceDomain;
    if (!validName(settings.SourceDCName))
        return SourceDCName;
    if (!modFormat::IsValidIPAddress(settings.SourceDCIP))
        return SourceDCIP;
    return counts.counted > 0 ? Passed : SourceDomainWithoutProfiles;
}

int JobValidator::checkSourceLookup(const GlobalSettings &settings, const Counts &counts)
{
    const AccountRecord &lookup = settings.account(SourceSIDLookup);
    if (counts.sidSourced > 0 && !lookup.Username.isEmpty())
        return SourceLookupNotNeeded;
    if (!lookup.Username.isEmpty()) {
        if (!validName(lookup.Username))
            return SourceLookupUsername;
        if (!validAccountDomain(lookup.Domain))
            return SourceLookupDomain;
        return Passed;
    }
    if (counts.counted > 0 && !isLocal(settings.SourceDomain))
        return SourceLookupUsername;
    if (!lookup.Password.isEmpty())
        return SourceLookupPasswordWithoutUser;
    if (!lookup.Domain.isEmpty())
        return SourceLookupDomainWithoutUser;
    return Passed;
}

int JobValidator::checkDestinationLookup(const GlobalSettings &settings, const Counts &counts)
{
    const AccountRecord &lookup = settings.account(DestinationSIDLookup);
    if (!lookup.Username.isEmpty()) {
        if (!validName(lookup.Username))
            return DestLookupUsername;
        if (!validAccountDomain(lookup.Domain))
            return DestLookupDomain;
        return Passed;
    }
    const bool profiles = counts.counted > 0 || counts.sidSourced > 0;
    if (profiles && !isLocal(settings.DestinationDomain))
        return DestLookupUsername;
    if (!lookup.Password.isEmpty())
        return DestLookupPasswordWithoutUser;
    if (!lookup.Domain.isEmpty())
        return DestLookupDomainWithoutUser;
    return Passed;
}

int JobValidator::checkDomainJoin(const GlobalSettings &settings)
{
    const AccountRecord &joinAccount = settings.account(DomainJoin);
    switch (settings.JoinVal) {
    case JoinDomain:
        if (!validName(settings.JoinName))
            return JoinName;
        if (!validName(settings.JoinDCName))
            return JoinDCName;
        if (!modFormat::IsValidIPAddress(settings.JoinDCIP))
            return JoinDCIP;
        if (joinAccount.Username.isEmpty() || !validName(joinAccount.Username))
            return JoinAccountUsername;
        if (!validAccountDomain(joinAccount.Domain))
            return JoinAccountDomain;
        return Passed;
    case JoinWorkgroup:
        if (!validName(settings.JoinName))
            return JoinName;
        break;
    case JoinNone:
        if (!settings.JoinName.isEmpty())
            return InternalJoinNameWithoutJoin;
        break;
    default:
        return InternalJoinType;
    }
    if (!settings.JoinDCName.isEmpty())
        return JoinDCNameWithoutJoin;
    if (!settings.JoinDCIP.isEmpty())
        return JoinDCIPWithoutJoin;
    if (!joinAccount.Username.isEmpty())
        return JoinAccountWithoutJoin;
    if (!joinAccount.Password.isEmpty())
        return JoinAccountPasswordWithoutUser;
    if (!joinAccount.Domain.isEmpty())
        return JoinAccountDomainWithoutUser;
    return Passed;
}

int JobValidator::checkOptions(const GlobalSettings &settings)
{
    const int actions = settings.GetProfileActions();
    if (actions < 0 || actions > 3)
        return InternalProfileActions;
    if (settings.RebootPermitted < 0 || settings.RebootPermitted > 1)
        return InternalRebootPermitted;
    if (settings.ForceReboot < 0 || settings.ForceReboot > 1)
        return InternalForceReboot;
    if (settings.MinFreeSpace < -1)
        return MinFreeSpace;
    return Passed;
}

// Every value the export writes into this computer's configuration file, in
// the order of the fields' checks. A domain that is the local-account marker
// is sent as the computer's name, which is checked first.
int JobValidator::checkTexts(int id, const GlobalSettings &settings, QString &character) const
{
    struct Value
    {
        int code;
        const QString &text;
    };
    const QString name = m_database.GetComputerName(id);
    const auto account = [&settings](int userType) -> const AccountRecord & { return settings.account(userType); };
    const auto domain = [](const QString &text) -> const QString & {
        static const QString none;
        return isLocal(text) ? none : text;
    };
    static const QString notWritten;
    const bool joinNameWritten = settings.JoinVal == JoinDomain || settings.JoinVal == JoinWorkgroup;
    const Value values[] = {
        {TextComputerName, name},
        {TextAdminADomain, domain(account(AdminA).Domain)},
        {TextAdminAUsername, account(AdminA).Username},
        {TextAdminAPassword, account(AdminA).Password},
        {TextDestLookupDomain, domain(account(DestinationSIDLookup).Domain)},
        {TextDestLookupUsername, account(DestinationSIDLookup).Username},
        {TextDestLookupPassword, account(DestinationSIDLookup).Password},
        {TextAdminBDomain, domain(account(AdminB).Domain)},
        {TextAdminBUsername, account(AdminB).Username},
        {TextAdminBPassword, account(AdminB).Password},
        {TextJoinAccountDomain, domain(account(DomainJoin).Domain)},
        {TextJoinAccountUsername, account(DomainJoin).Username},
        {TextJoinAccountPassword, account(DomainJoin).Password},
        {TextSourceLookupDomain, domain(account(SourceSIDLookup).Domain)},
        {TextSourceLookupUsername, account(SourceSIDLookup).Username},
        {TextSourceLookupPassword, account(SourceSIDLookup).Password},
        {TextDestDomain, domain(settings.DestinationDomain)},
        {TextDestDCName, settings.DestinationDCName},
        {TextDestDCIP, settings.DestinationDCIP},
        {TextSourceDomain, domain(settings.SourceDomain)},
        {TextSourceDCName, settings.SourceDCName},
        {TextSourceDCIP, settings.SourceDCIP},
        {TextJoinName, joinNameWritten ? settings.JoinName : notWritten},
        {TextJoinDCName, settings.JoinDCName},
        {TextJoinDCIP, settings.JoinDCIP},
    };
    for (const Value &value : values) {
        character = unsendableCharacter(value.text);
        if (!character.isEmpty())
            return value.code;
    }

    const UserProfilesPtr list = m_database.GetComputerUserList(id);
    if (!list)
        return Passed;
    for (int entryID = 0; entryID < list->GetMaxID(); ++entryID) {
        const std::optional<MigrationUsers> entry = list->GetUser(entryID);
        if (!entry)
            continue;
        // What the export takes from an entry depends on the entry's own
        // kind: a SID source goes out as a SID, any other as a user name.
        if (!entry->UseSIDTo) {
            const bool sidSource = entry->UseSIDFrom;
            character = unsendableCharacter(sidSource ? entry->SIDFrom : entry->UsernameFrom);
            if (!character.isEmpty())
                return sidSource ? TextSourceSID : TextSourceUser;
        }
        character = unsendableCharacter(entry->UsernameTo);
        if (!character.isEmpty())
            return TextDestinationUser;
    }
    return Passed;
}
