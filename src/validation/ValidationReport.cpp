#include "validation/ValidationReport.h"

#include "common/modGeneral.h"
#include "database/ComputerDB.h"
#include "validation/ValidationCode.h"

#include <QHash>

using namespace ValidationCode;

const QString ValidationReport::IgnoreQuestion = QStringLiteral("This may be expected if using global or group settings and some\r"
                                                                "PCs do not have profiles to migrate.\r\r"
                                                                "Do you wish to ignore this message?");

namespace {

const QString CR = QStringLiteral("\r");
const QString kAccountsEnding = QStringLiteral("Please check your input or re-run the authentication wizard.");
const QString kInternal = QStringLiteral("An internal error occurred.  Please report this error to Brindlewood:");

const QHash<int, QString> &accountTexts()
{
    static const QHash<int, QString> texts = {
        {AdminADomain, QStringLiteral("The 'Local Admin A' domain is invalid.")},
        {AdminAPassword, QStringLiteral("The 'Local Admin A' password is too long or invalid.")},
        {AdminAUsername, QStringLiteral("The 'Local Admin A' username is invalid.")},
        {DestLookupDomain, QStringLiteral("The 'Destination SID Lookup' domain is invalid.")},
        {DestLookupDomainWithoutUser, QStringLiteral("A domain was specified without a username for 'Destination SID Lookup.'")},
        {DestLookupPassword, QStringLiteral("The 'Destination SID Lookup' password is too long or invalid.")},
        {DestLookupPasswordWithoutUser, QStringLiteral("A password was specified without a username for 'Destination SID Lookup.'")},
        {DestLookupUsername, QStringLiteral("The 'Destination SID Lookup' username is invalid.\r") + ValidationReport::IgnoreQuestion},
        {AdminBDomain, QStringLiteral("The 'Local Admin B' domain is invalid.")},
        {AdminBPassword, QStringLiteral("The 'Local Admin B' password is too long or invalid.")},
        {AdminBUsername, QStringLiteral("The 'Local Admin B' username is invalid.")},
        {SourceLookupDomain, QStringLiteral("The 'Source SID Lookup' domain is invalid.")},
        {SourceLookupDomainWithoutUser, QStringLiteral("A domain was specified without a username for 'Source SID Lookup.'")},
        {SourceLookupPassword, QStringLiteral("The 'Source SID Lookup' password is too long or invalid.")},
        {SourceLookupPasswordWithoutUser, QStringLiteral("A password was specified without a username for 'Source SID Lookup.'")},
        {SourceLookupUsername, QStringLiteral("The 'Source SID Lookup' username is invalid.\r") + ValidationReport::IgnoreQuestion},
        {SourceLookupNotNeeded,
            QStringLiteral("A 'Source SID Lookup' account is not required as source SIDs were supplied for profile migrations.")},
        {JoinAccountDomain, QStringLiteral("The 'Domain Join Privileges' domain is invalid.")},
        {JoinAccountDomainWithoutUser, QStringLiteral("A domain was specified without a username for 'Domain Join Privileges.'")},
        {JoinAccountPassword, QStringLiteral("The 'Domain Join Privileges' password is too long or invalid.")},
        {JoinAccountPasswordWithoutUser, QStringLiteral("A password was specified without a username for 'Domain Join Privileges.'")},
        {JoinAccountUsername, QStringLiteral("The 'Domain Join Privileges' username is invalid.")},
        {JoinAccountWithoutJoin,
            QStringLiteral("A 'Domain Join Privileges' username was provided without specifying a domain join action.\r"
                           "Please choose 'Join Domain' or clear the 'Domain Join Privilieges' username and password.")},
    };
    return texts;
}

struct Entry
{
    QString text;
    ValidationReport::Tab tab = ValidationReport::Tab::None;
    QStringList fields;
};

const QHash<int, Entry> &fieldTexts()
{
    using Tab = ValidationReport::Tab;
    static const QHash<int, Entry> texts = {
        {DestDCIP, {QStringLiteral("The 'Destination DC IP' specified is invalid."), Tab::Domains, {QStringLiteral("txtDestDCIP")}}},
        {DestDCIPWithoutDomain,
            {QStringLiteral("'Destination DC IP' was specified without 'Destination Domain.'\r"
                            "Please specify a 'Destination Domain' or clear the 'Destination DC IP.'"),
                Tab::Domains, {QStringLiteral("txtDestDCIP")}}},
        {DestDCName, {QStringLiteral("'Destination DC' is invalid."), Tab::Domains, {QStringLiteral("txtDestDC")}}},
        {DestDCNameWithoutDomain,
            {QStringLiteral("'Destination DC' was specified without 'Destination Domain.'"), Tab::Domains, {QStringLiteral("txtDestDC")}}},
        {DestDomain, {QStringLiteral("'Destination Domain' is invalid."), Tab::Domains, {QStringLiteral("txtDestContext")}}},
        {DestDomainRequired,
            {QStringLiteral("'Destination Domain' is required to migrate profiles.  Please enter\r"
                            "a 'Destination Domain' or clear the 'Profiles' list for this computer."),
                Tab::Domains, {QStringLiteral("txtDestContext")}}},
        {DestDomainWithoutProfiles,
            {QStringLiteral("'Destination Domain' was specified without any profiles to migrate.  Please\r"
                            "enter at least profile for this computer or clear the 'Destination Domain.'"),
                Tab::Domains, {QStringLiteral("txtDestContext")}}},
        {SourceDCIP, {QStringLiteral("The 'Source DC IP' specified is invalid."), Tab::Domains, {QStringLiteral("txtSourceDCIP")}}},
        {SourceDCIPWithoutDomain,
            {QStringLiteral("'Source DC IP' was specified without 'Source Domain.'\r"
                            "Please specify a 'Source Domain' or clear the 'Source DC IP.'"),
                Tab::Domains, {QStringLiteral("txtSourceDCIP")}}},
        {SourceDCName, {QStringLiteral("'Source DC' is invalid."), Tab::Domains, {QStringLiteral("txtSourceDC")}}},
        {SourceDCNameWithoutDomain,
            {QStringLiteral("'Source DC' was specified without 'Source Domain.'  Please\r"
                            "specify a 'Source DC' or clear the 'Source Domain.'"),
                Tab::Domains, {QStringLiteral("txtSourceDC")}}},
        {SourceDomain, {QStringLiteral("'Source Domain' is invalid."), Tab::Domains, {QStringLiteral("txtSourceContext")}}},
        {SourceDomainRequired,
            {QStringLiteral("'Source Domain' is required to migrate profiles from source usernames.\r"
                            "Please enter a 'Source Domain' or clear the 'Profiles' list for this computer."),
                Tab::Domains, {QStringLiteral("txtSourceContext")}}},
        {SourceDomainWithoutProfiles,
            {QStringLiteral("'Source Domain' was specified without any profiles to migrate or source SIDs specified.\r"
                            "Please enter at least one profile migration for this computer or clear the 'Source Domain.'\r")
                    + ValidationReport::IgnoreQuestion,
                Tab::Domains, {QStringLiteral("txtSourceContext")}}},

        {DestinationUser,
            {QStringLiteral("At least one 'Destination User' specified in the migration profiles is invalid."), Tab::None, {}}},
        {SourceSID, {QStringLiteral("At least one 'Source SID' specified in the migration profiles is invalid."), Tab::None, {}}},
        {UsersAndSIDsMixed,
            {QStringLiteral("'Source User' and 'Source SID' cannot be migrated in one run.  Please enter all 'Source Users' or "
                            "'Source SIDs' to migrate profiles."),
                Tab::None, {}}},
        {SIDWithUserToUser,
            {QStringLiteral("At least one 'Source SID' has been entered when User to User migration has been selected."), Tab::None, {}}},
        {SourceUser, {QStringLiteral("At least one 'Source User' specified in the migration profiles is invalid."), Tab::None, {}}},
        {UserWithSIDToUser,
            {QStringLiteral("At least one 'Source User' has been entered when SID to User migration has been selected."), Tab::None, {}}},

        {MinFreeSpace,
            {QStringLiteral("A numeric value is required for 'Minimum disk space required after migration.'"), Tab::Options,
                {QStringLiteral("txtMinFreeSpace")}}},
        {JoinDCIP,
            {QStringLiteral("The 'Join Domain DC IP' specified for the domain join is invalid."), Tab::DomainJoin,
                {QStringLiteral("txtDomDCIP")}}},
        {JoinDCIPWithoutJoin,
            {QStringLiteral("'Join Domain DC IP' was specified without 'Join Domain.'  Please\r"
                            "enter a 'Join Domain' name or clear the 'Join Domain DC IP.'"),
                Tab::DomainJoin, {QStringLiteral("txtDomDCIP")}}},
        {JoinDCName, {QStringLiteral("'Join Domain DC' is invalid."), Tab::DomainJoin, {QStringLiteral("txtDomDCName")}}},
        {JoinDCNameWithoutJoin,
            {QStringLiteral("'Join Domain DC' was specified without 'Join Domain.'"), Tab::DomainJoin, {QStringLiteral("txtDomDCName")}}},
        {JoinName,
            {QStringLiteral("'Join Domain/Workgroup' is invalid."), Tab::DomainJoin,
                {QStringLiteral("txtJoinDomainName"), QStringLiteral("txtJoinWorkgroupName")}}},

        {ComputerName,
            {QStringLiteral("The computer name is not a valid Windows computer name: it must have at most 15 characters,\r"
                            "no blanks and none of these: \" / [ ] : ; | = , + * ? < > \\\r"
                            "Please rename the computer."),
                Tab::None, {}}},

        {ListenerLoopback,
            {QStringLiteral("The Listener IP is a loopback address (127.x.x.x): only a client on this machine can report\r"
                            "to it, and this computer is another one.  Choose another Listener IP in Tools > Configuration.\r\r"
                            "Do you wish to ignore this message?"),
                Tab::None, {}}},

        {InternalProfileActions, {kInternal + CR + QStringLiteral("Internal action invalid."), Tab::None, {}}},
        {InternalForceReboot, {kInternal + CR + QStringLiteral("'Force Reboot' invalid."), Tab::None, {}}},
        {InternalListType, {kInternal + CR + QStringLiteral("Migration type invalid."), Tab::None, {}}},
        {InternalJoinType, {kInternal + CR + QStringLiteral("Join type invalid."), Tab::None, {}}},
        {InternalRebootPermitted, {kInternal + CR + QStringLiteral("'Reboot Allowed' invalid."), Tab::None, {}}},
        {InternalJoinNameWithoutJoin, {QStringLiteral("'Join Domain/Workgroup' specified without join type."), Tab::None, {}}},
    };
    return texts;
}

// The codes of unreadable texts: how the message names the field, and where
// the field is. Account fields are reached through the wizard; the
// computer's name and its list entries belong to the computer's node.
struct TextField
{
    QString label;
    ValidationReport::Tab tab = ValidationReport::Tab::None;
    QStringList fields;
    bool onComputer = false;
};

const QHash<int, TextField> &textFields()
{
    using Tab = ValidationReport::Tab;
    const QStringList wizard = {QStringLiteral("cmdAuthWizard")};
    static const QHash<int, TextField> fields = {
        {TextComputerName, {QStringLiteral("The computer name"), Tab::None, {}, true}},
        {TextAdminADomain, {QStringLiteral("The 'Local Admin A' domain"), Tab::Authentication, wizard}},
        {TextAdminAUsername, {QStringLiteral("The 'Local Admin A' username"), Tab::Authentication, wizard}},
        {TextAdminAPassword, {QStringLiteral("The 'Local Admin A' password"), Tab::Authentication, wizard}},
        {TextDestLookupDomain, {QStringLiteral("The 'Destination SID Lookup' domain"), Tab::Authentication, wizard}},
        {TextDestLookupUsername, {QStringLiteral("The 'Destination SID Lookup' username"), Tab::Authentication, wizard}},
        {TextDestLookupPassword, {QStringLiteral("The 'Destination SID Lookup' password"), Tab::Authentication, wizard}},
        {TextAdminBDomain, {QStringLiteral("The 'Local Admin B' domain"), Tab::Authentication, wizard}},
        {TextAdminBUsername, {QStringLiteral("The 'Local Admin B' username"), Tab::Authentication, wizard}},
        {TextAdminBPassword, {QStringLiteral("The 'Local Admin B' password"), Tab::Authentication, wizard}},
        {TextJoinAccountDomain, {QStringLiteral("The 'Domain Join Privileges' domain"), Tab::Authentication, wizard}},
        {TextJoinAccountUsername, {QStringLiteral("The 'Domain Join Privileges' username"), Tab::Authentication, wizard}},
        {TextJoinAccountPassword, {QStringLiteral("The 'Domain Join Privileges' password"), Tab::Authentication, wizard}},
        {TextSourceLookupDomain, {QStringLiteral("The 'Source SID Lookup' domain"), Tab::Authentication, wizard}},
        {TextSourceLookupUsername, {QStringLiteral("The 'Source SID Lookup' username"), Tab::Authentication, wizard}},
        {TextSourceLookupPassword, {QStringLiteral("The 'Source SID Lookup' password"), Tab::Authentication, wizard}},
        {TextSourceDomain, {QStringLiteral("The 'Source Domain'"), Tab::Domains, {QStringLiteral("txtSourceContext")}}},
        {TextSourceDCName, {QStringLiteral("The 'Source DC'"), Tab::Domains, {QStringLiteral("txtSourceDC")}}},
        {TextSourceDCIP, {QStringLiteral("The 'Source DC IP'"), Tab::Domains, {QStringLiteral("txtSourceDCIP")}}},
        {TextDestDomain, {QStringLiteral("The 'Destination Domain'"), Tab::Domains, {QStringLiteral("txtDestContext")}}},
        {TextDestDCName, {QStringLiteral("The 'Destination DC'"), Tab::Domains, {QStringLiteral("txtDestDC")}}},
        {TextDestDCIP, {QStringLiteral("The 'Destination DC IP'"), Tab::Domains, {QStringLiteral("txtDestDCIP")}}},
        {TextJoinName,
            {QStringLiteral("The 'Join Domain/Workgroup'"), Tab::DomainJoin,
                {QStringLiteral("txtJoinDomainName"), QStringLiteral("txtJoinWorkgroupName")}}},
        {TextJoinDCName, {QStringLiteral("The 'Join Domain DC'"), Tab::DomainJoin, {QStringLiteral("txtDomDCName")}}},
        {TextJoinDCIP, {QStringLiteral("The 'Join Domain DC IP'"), Tab::DomainJoin, {QStringLiteral("txtDomDCIP")}}},
        {TextSourceUser,
            {QStringLiteral("A 'Source User' in the migration profiles"), Tab::None, {QStringLiteral("lstMigrateUsers")}, true}},
        {TextSourceSID, {QStringLiteral("A 'Source SID' in the migration profiles"), Tab::None, {QStringLiteral("lstMigrateUsers")}, true}},
        {TextDestinationUser,
            {QStringLiteral("A 'Destination User' in the migration profiles"), Tab::None, {QStringLiteral("lstMigrateUsers")}, true}},
    };
    return fields;
}

bool isTextCode(int code)
{
    return textFields().contains(code);
}

bool isAccountCode(int code)
{
    return code >= 1 && code <= 99;
}

bool isListCode(int code)
{
    return code >= 200 && code <= 299;
}

// Faults of the computer itself rather than of a settings record.
bool isComputerCode(int code)
{
    return isListCode(code) || code == ComputerName;
}

} // namespace

QString ValidationReport::DescribeCharacter(const QString &character)
{
    const QList<uint> codePoints = character.toUcs4();
    const uint codePoint = codePoints.isEmpty() ? 0 : codePoints.first();
    const QString number = QStringLiteral("U+%1").arg(codePoint, 4, 16, QLatin1Char('0')).toUpper();
    const bool printable = QChar::isPrint(static_cast<char32_t>(codePoint));
    return printable ? QStringLiteral("'%1' (%2)").arg(character, number) : number;
}

QString ValidationReport::TextFor(int code, const QString &character)
{
    if (isTextCode(code)) {
        const TextField &field = textFields().value(code);
        QString text = field.label + QStringLiteral(" contains the character ") + DescribeCharacter(character)
            + QStringLiteral(", which cannot be passed to the client computers.") + CR
            + QStringLiteral("Only characters of the Windows ANSI code page up to code 199 reach them unchanged.");
        if (field.tab == Tab::Authentication)
            text += CR + kAccountsEnding;
        return text;
    }
    if (isAccountCode(code))
        return accountTexts().value(code) + CR + kAccountsEnding;
    if (fieldTexts().contains(code))
        return fieldTexts().value(code).text;
    if (code >= 400)
        return kInternal + CR;
    return QString();
}

bool ValidationReport::IsWarning(int code)
{
    return ValidationCode::IsWarning(code);
}

QString ValidationReport::NodeText(const ComputerDB &database, const QString &nodeKey)
{
    if (nodeKey == modGeneral::RootKey)
        return QStringLiteral("All Computers");
    const NodeInfo node = modGeneral::ParseNodeKey(nodeKey);
    if (!node.Valid)
        return QString();
    return node.Type == NodeInfo::Computer ? database.GetComputerName(node.ID) : database.GetFolderName(node.ID);
}

QStringList ValidationReport::WarningButtons()
{
    return {QStringLiteral("Ignore All"), QStringLiteral("Ignore Once"), QStringLiteral("Cancel")};
}

ValidationReport ValidationReport::Build(const ValidationResult &result, const ComputerDB &database)
{
    return Build(result, NodeText(database, result.ComputerKey), NodeText(database, result.SettingsSourceKey));
}

ValidationReport ValidationReport::Build(const ValidationResult &result, const QString &computerText, const QString &sourceText)
{
    ValidationReport report;
    report.Code = result.Code;
    report.Passed = result.passed();
    if (report.Passed)
        return report;

    report.Warning = IsWarning(result.Code);
    report.SpecificText = TextFor(result.Code, result.Character);
    if (isTextCode(result.Code)) {
        const TextField &field = textFields().value(result.Code);
        report.SettingsTab = field.tab;
        report.Fields = field.fields;
        report.NodeToShow = field.onComputer ? result.ComputerKey : result.SettingsSourceKey;
    } else {
        if (isAccountCode(result.Code)) {
            report.SettingsTab = Tab::Authentication;
            report.Fields = {QStringLiteral("cmdAuthWizard")};
        } else if (isListCode(result.Code)) {
            report.Fields = {QStringLiteral("lstMigrateUsers")};
        } else if (fieldTexts().contains(result.Code)) {
            report.SettingsTab = fieldTexts().value(result.Code).tab;
            report.Fields = fieldTexts().value(result.Code).fields;
        } else if (result.Code >= 100 && result.Code <= 199) {
            report.SettingsTab = Tab::Domains;
        }
        report.NodeToShow = isComputerCode(result.Code) ? result.ComputerKey : result.SettingsSourceKey;
    }

    report.Message = QStringLiteral("Validation error checking computer '") + computerText + QStringLiteral("'.") + CR;
    if (report.NodeToShow != result.ComputerKey)
        report.Message
            += QStringLiteral("This node is inheriting the invalid setting from group '") + sourceText + QStringLiteral("'.") + CR;
    report.Message += report.SpecificText;
    return report;
}
