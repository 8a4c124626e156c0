#include "validation/JobValidator.h"

#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "common/modGeneral.h"
#include "common/modText.h"
#include "database/ComputerDB.h"
#include "network/modNetwork.h"
#include "validation/ValidationCode.h"

#include <QStringView>

#include <algorithm>
#include <optional>

using namespace ValidationCode;

namespace {

const QString kComputerType = QStringLiteral("C");

constexpr int MaxPasswordLength = 127;

bool validName(const QString &text)
{
    return modFormat::IsValidName(text, false);
}

// A domain or a domain controller, which may be known by its DNS name.
bool validHost(const QString &text)
{
    return modFormat::IsValidHostName(text);
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

} // namespace

JobValidator::JobValidator(const ComputerDB &database, const QString &listenerAddress)
    : m_database(database)
    , m_listenerLoopback(modNetwork::IsLoopbackAddress(listenerAddress))
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
            if (!computer || !computer->InJob())
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
            Findings found(Findings::FirstOnly);
            if (!checkTexts(id, *settings, found) && !warning && !checkName(*computer, found)
                && !checkComputer(*settings, m_database.GetComputerUserList(id).get(), found))
                checkListener(*computer, found);
            if (found.Faults.isEmpty())
                continue;
            const int code = found.Faults.first().Code;
            result.Code = code;
            result.Character = found.Faults.first().Character;
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

QList<ValidationResult> JobValidator::Faults(int id) const
{
    QList<ValidationResult> faults;
    const ComputerRecord *computer = m_database.Computers(id);
    if (!computer || !computer->InJob())
        return faults;
    Findings found(Findings::Every);
    QString sourceKey;
    try {
        const GlobalSettingsPtr settings = m_database.GetEffectiveSettings(kComputerType, id, sourceKey);
        if (!settings)
            modErrorHandler::Raise(91);
        if (!settings->Valid)
            return faults;
        checkTexts(id, *settings, found);
        // A name that cannot reach the client is a fault already; its form
        // would only say the same again.
        if (!found.has(TextComputerName))
            checkName(*computer, found);
        checkComputer(*settings, m_database.GetComputerUserList(id).get(), found);
        checkListener(*computer, found);
    } catch (...) {
        found.add(modErrorHandler::ClassifyCurrentException().Number);
    }
    faults.reserve(found.Faults.size());
    for (const Findings::Fault &fault : std::as_const(found.Faults)) {
        ValidationResult result;
        result.Code = fault.Code;
        result.Character = fault.Character;
        result.SettingsSourceKey = sourceKey;
        result.Index = id;
        result.ComputerKey = modGeneral::ComputerKey(id);
        faults.append(result);
    }
    return faults;
}

bool JobValidator::Findings::add(int code, const QString &character)
{
    if (!has(code))
        Faults.append({code, character});
    return m_scope == FirstOnly;
}

bool JobValidator::Findings::has(int code) const
{
    return std::any_of(Faults.cbegin(), Faults.cend(), [code](const Fault &fault) { return fault.Code == code; });
}

bool JobValidator::checkName(const ComputerRecord &computer, Findings &found)
{
    return !modFormat::IsValidComputerName(computer.Name) && found.add(ComputerName);
}

bool JobValidator::checkListener(const ComputerRecord &computer, Findings &found) const
{
    return m_listenerLoopback && !modNetwork::IsThisMachine(computer.Name) && found.add(ListenerLoopback);
}

bool JobValidator::checkComputer(const GlobalSettings &settings, const UserProfiles *list, Findings &found)
{
    Counts counts;
    return checkAccounts(settings, found) || checkUserList(settings, list, counts, found) || checkDestinationDomain(settings, counts, found)
        || checkSourceDomain(settings, counts, found) || checkSourceLookup(settings, counts, found)
        || checkDestinationLookup(settings, counts, found) || checkDomainJoin(settings, found) || checkOptions(settings, found);
}

bool JobValidator::checkAccounts(const GlobalSettings &settings, Findings &found)
{
    const AccountRecord &adminA = settings.account(AdminA);
    const AccountRecord &adminB = settings.account(AdminB);
    const auto tooLong = [&settings](int userType) { return settings.account(userType).Password.size() > MaxPasswordLength; };
    return (!validAccountDomain(adminA.Domain) && found.add(AdminADomain)) || (!validName(adminA.Username) && found.add(AdminAUsername))
        || (!validAccountDomain(adminB.Domain) && found.add(AdminBDomain)) || (!validName(adminB.Username) && found.add(AdminBUsername))
        || (tooLong(AdminA) && found.add(AdminAPassword)) || (tooLong(DestinationSIDLookup) && found.add(DestLookupPassword))
        || (tooLong(AdminB) && found.add(AdminBPassword)) || (tooLong(DomainJoin) && found.add(JoinAccountPassword))
        || (tooLong(SourceSIDLookup) && found.add(SourceLookupPassword));
}

bool JobValidator::checkUserList(const GlobalSettings &settings, const UserProfiles *list, Counts &counts, Findings &found)
{
    if (!list)
        return settings.JoinVal != JoinDomain && found.add(NothingToDo);
    if (list->GetMaxID() >= 1 && settings.DestinationDomain.isEmpty() && found.add(DestDomainRequired))
        return true;
    for (int entryID = 0; entryID <= list->GetMaxID(); ++entryID) {
        const std::optional<MigrationUsers> entry = list->GetUser(entryID);
        if (!entry)
            continue;
        const bool allUsers = isAllUsers(*entry);
        if (!allUsers && !validName(entry->UsernameTo) && found.add(DestinationUser))
            return true;
        switch (list->GetType()) {
        case ListUserToUser:
        case ListAllUsers:
            ++counts.counted;
            if ((!allUsers && !validName(entry->UsernameFrom) && found.add(SourceUser))
                || (!entry->SIDFrom.isEmpty() && found.add(SIDWithUserToUser)))
                return true;
            break;
        case ListSIDToUser:
            if (const int code = checkSIDToUserEntry(entry->UsernameFrom, entry->SIDFrom, entry->UseSIDFrom);
                code != Passed && found.add(code))
                return true;
            ++counts.sidSourced;
            break;
        default:
            if (found.add(InternalListType))
                return true;
        }
    }
    return false;
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

bool JobValidator::checkDestinationDomain(const GlobalSettings &settings, const Counts &counts, Findings &found)
{
    const QString &domain = settings.DestinationDomain;
    const bool profiles = counts.counted > 0 || counts.sidSourced > 0;
    if (domain.isEmpty()) {
        return (counts.counted > 0 && found.add(NothingToDo))
            || (!settings.DestinationDCName.isEmpty() && found.add(DestDCNameWithoutDomain))
            || (!settings.DestinationDCIP.isEmpty() && found.add(DestDCIPWithoutDomain));
    }
    if (isLocal(domain))
        return false;
    return (!validHost(domain) && found.add(DestDomain)) || (!validHost(settings.DestinationDCName) && found.add(DestDCName))
        || (!modFormat::IsValidIPAddress(settings.DestinationDCIP) && found.add(DestDCIP))
        || (!profiles && found.add(DestDomainWithoutProfiles));
}

bool JobValidator::checkSourceDomain(const GlobalSettings &settings, const Counts &counts, Findings &found)
{
    const QString &domain = settings.SourceDomain;
    if (domain.isEmpty()) {
        return (counts.counted > 0 && found.add(SourceDomainRequired))
            || (!settings.SourceDCName.isEmpty() && found.add(SourceDCNameWithoutDomain))
            || (!settings.SourceDCIP.isEmpty() && found.add(SourceDCIPWithoutDomain));
    }
    if (isLocal(domain))
        return false;
    return (!validHost(domain) && found.add(SourceDomain)) || (!validHost(settings.SourceDCName) && found.add(SourceDCName))
        || (!modFormat::IsValidIPAddress(settings.SourceDCIP) && found.add(SourceDCIP))
        || (counts.counted == 0 && found.add(SourceDomainWithoutProfiles));
}

bool JobValidator::checkSourceLookup(const GlobalSettings &settings, const Counts &counts, Findings &found)
{
    const AccountRecord &lookup = settings.account(SourceSIDLookup);
    if (counts.sidSourced > 0 && !lookup.Username.isEmpty() && found.add(SourceLookupNotNeeded))
        return true;
    if (!lookup.Username.isEmpty()) {
        return (!validName(lookup.Username) && found.add(SourceLookupUsername))
            || (!validAccountDomain(lookup.Domain) && found.add(SourceLookupDomain));
    }
    return (counts.counted > 0 && !isLocal(settings.SourceDomain) && found.add(SourceLookupUsername))
        || (!lookup.Password.isEmpty() && found.add(SourceLookupPasswordWithoutUser))
        || (!lookup.Domain.isEmpty() && found.add(SourceLookupDomainWithoutUser));
}

bool JobValidator::checkDestinationLookup(const GlobalSettings &settings, const Counts &counts, Findings &found)
{
    const AccountRecord &lookup = settings.account(DestinationSIDLookup);
    if (!lookup.Username.isEmpty()) {
        return (!validName(lookup.Username) && found.add(DestLookupUsername))
            || (!validAccountDomain(lookup.Domain) && found.add(DestLookupDomain));
    }
    const bool profiles = counts.counted > 0 || counts.sidSourced > 0;
    return (profiles && !isLocal(settings.DestinationDomain) && found.add(DestLookupUsername))
        || (!lookup.Password.isEmpty() && found.add(DestLookupPasswordWithoutUser))
        || (!lookup.Domain.isEmpty() && found.add(DestLookupDomainWithoutUser));
}

bool JobValidator::checkDomainJoin(const GlobalSettings &settings, Findings &found)
{
    const AccountRecord &joinAccount = settings.account(DomainJoin);
    switch (settings.JoinVal) {
    case JoinDomain:
        return (!validHost(settings.JoinName) && found.add(JoinName)) || (!validHost(settings.JoinDCName) && found.add(JoinDCName))
            || (!modFormat::IsValidIPAddress(settings.JoinDCIP) && found.add(JoinDCIP))
            || ((joinAccount.Username.isEmpty() || !validName(joinAccount.Username)) && found.add(JoinAccountUsername))
            || (!validAccountDomain(joinAccount.Domain) && found.add(JoinAccountDomain));
    case JoinWorkgroup:
        if (!validName(settings.JoinName) && found.add(JoinName))
            return true;
        break;
    case JoinNone:
        if (!settings.JoinName.isEmpty() && found.add(InternalJoinNameWithoutJoin))
            return true;
        break;
    default:
        return found.add(InternalJoinType);
    }
    return (!settings.JoinDCName.isEmpty() && found.add(JoinDCNameWithoutJoin))
        || (!settings.JoinDCIP.isEmpty() && found.add(JoinDCIPWithoutJoin))
        || (!joinAccount.Username.isEmpty() && found.add(JoinAccountWithoutJoin))
        || (!joinAccount.Password.isEmpty() && found.add(JoinAccountPasswordWithoutUser))
        || (!joinAccount.Domain.isEmpty() && found.add(JoinAccountDomainWithoutUser));
}

bool JobValidator::checkOptions(const GlobalSettings &settings, Findings &found)
{
    const int actions = settings.GetProfileActions();
    return ((actions < 0 || actions > 3) && found.add(InternalProfileActions))
        || ((settings.RebootPermitted < 0 || settings.RebootPermitted > 1) && found.add(InternalRebootPermitted))
        || ((settings.ForceReboot < 0 || settings.ForceReboot > 1) && found.add(InternalForceReboot))
        || (settings.MinFreeSpace < -1 && found.add(MinFreeSpace));
}

// Every value the export writes into this computer's configuration file, in
// the order of the fields' checks. A domain that is the local-account marker
// is sent as the computer's name, which is checked first.
bool JobValidator::checkTexts(int id, const GlobalSettings &settings, Findings &found) const
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
        const QString character = modText::UnsendableCharacter(value.text);
        if (!character.isEmpty() && found.add(value.code, character))
            return true;
    }

    const UserProfilesPtr list = m_database.GetComputerUserList(id);
    if (!list)
        return false;
    for (int entryID = 0; entryID < list->GetMaxID(); ++entryID) {
        const std::optional<MigrationUsers> entry = list->GetUser(entryID);
        if (!entry)
            continue;
        // What the export takes from an entry depends on the entry's own
        // kind: a SID source goes out as a SID, any other as a user name.
        if (!entry->UseSIDTo) {
            const bool sidSource = entry->UseSIDFrom;
            const QString character = modText::UnsendableCharacter(sidSource ? entry->SIDFrom : entry->UsernameFrom);
            if (!character.isEmpty() && found.add(sidSource ? TextSourceSID : TextSourceUser, character))
                return true;
        }
        const QString character = modText::UnsendableCharacter(entry->UsernameTo);
        if (!character.isEmpty() && found.add(TextDestinationUser, character))
            return true;
    }
    return false;
}
