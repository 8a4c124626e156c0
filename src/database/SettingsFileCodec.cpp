#include "database/SettingsFileCodec.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

const QString SettingsFileCodec::FormatName = QStringLiteral("varno-osk-settings");

namespace {

const char *const ContentsSettings = "settings";
const char *const ContentsMigrationState = "migration state";
const char *const KdfAlgorithm = "argon2id13";
const char *const Cipher = "xchacha20poly1305-ietf";

// Account slots by user type, as the file names them.
const char *const AccountNames[UserTypeCount] = {"AdminB", "AdminA", "DomainJoin", "SourceSIDLookup", "DestinationSIDLookup"};

// A user list can have handed out at most this many IDs, and all lists
// together at most MaxAllUserIDs: the IDs of deleted entries cost memory
// on loading, and a damaged number must not ask for gigabytes.
constexpr int MaxUserListID = 1 << 16;
constexpr qint64 MaxAllUserIDs = qint64(1) << 22;

// Both ways: the option and number fields of a settings record, in the order the file lists them.
struct IntField
{
    const char *name;
    int GlobalSettings::*member;
};
struct TextField
{
    const char *name;
    QString GlobalSettings::*member;
};

// clang-format off
const IntField IntFieldsBeforeTexts[] = {
    {"joinVal", &GlobalSettings::JoinVal},
};
const TextField JoinTexts[] = {
    {"joinDCIP", &GlobalSettings::JoinDCIP},
    {"joinDCName", &GlobalSettings::JoinDCName},
    {"joinName", &GlobalSettings::JoinName},
};
const IntField OptionFields[] = {
    {"copyProfile", &GlobalSettings::CopyProfile},
    {"forceReboot", &GlobalSettings::ForceReboot},
    {"ignoreTempInternetFiles", &GlobalSettings::IgnoreTempInternetFiles},
    {"minFreeSpace", &GlobalSettings::MinFreeSpace},
    {"overwriteProfile", &GlobalSettings::OverwriteProfile},
    {"rebootPermitted", &GlobalSettings::RebootPermitted},
};
const TextField ContextTexts[] = {
    {"destinationDCIP", &GlobalSettings::DestinationDCIP},
    {"destinationDCName", &GlobalSettings::DestinationDCName},
    {"destinationDomain", &GlobalSettings::DestinationDomain},
    {"sourceDCIP", &GlobalSettings::SourceDCIP},
    {"sourceDCName", &GlobalSettings::SourceDCName},
    {"sourceDomain", &GlobalSettings::SourceDomain},
};
const IntField WizardFields[] = {
    {"actionType", &GlobalSettings::ActionType},
    {"migrationType", &GlobalSettings::MigrationType},
};
// clang-format on

std::string utf8(const QString &text)
{
    return text.toStdString();
}

QString quoted(const QString &fileName)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(fileName) + QLatin1Char('"');
}

// ---------------------------------------------------------------- writing

OrderedJson accountsJson(const GlobalSettings &record, const PasswordSealer *sealer)
{
    OrderedJson accounts = OrderedJson::object();
    const QString owner = DatabaseSnapshot::OwnerKey(record);
    for (int type = 0; type < UserTypeCount; ++type) {
        const AccountRecord &account = record.account(type);
        OrderedJson slot = OrderedJson::object();
        slot["username"] = utf8(account.Username);
        slot["domain"] = utf8(account.Domain);
        if (sealer)
            slot["password"] = sealer->Seal(owner, type, account.Password).toBase64().toStdString();
        accounts[AccountNames[type]] = std::move(slot);
    }
    return accounts;
}

OrderedJson settingsJson(const GlobalSettings &record, const PasswordSealer *sealer)
{
    OrderedJson json = OrderedJson::object();
    json["objectType"] = utf8(record.ObjectType);
    json["associatedID"] = record.AssociatedID;
    json["valid"] = record.Valid;
    for (const IntField &field : IntFieldsBeforeTexts)
        json[field.name] = record.*field.member;
    for (const TextField &field : JoinTexts)
        json[field.name] = utf8(record.*field.member);
    for (const IntField &field : OptionFields)
        json[field.name] = record.*field.member;
    for (const TextField &field : ContextTexts)
        json[field.name] = utf8(record.*field.member);
    for (const IntField &field : WizardFields)
        json[field.name] = record.*field.member;
    json["accounts"] = accountsJson(record, sealer);
    return json;
}

OrderedJson userListJson(const DatabaseSnapshot::UserList &list)
{
    OrderedJson entries = OrderedJson::array();
    for (const DatabaseSnapshot::UserEntry &user : list.Entries) {
        OrderedJson entry = OrderedJson::object();
        entry["id"] = user.ID;
        entry["usernameFrom"] = utf8(user.Entry.UsernameFrom);
        entry["usernameTo"] = utf8(user.Entry.UsernameTo);
        entry["useSIDFrom"] = user.Entry.UseSIDFrom;
        entry["useSIDTo"] = user.Entry.UseSIDTo;
        entry["sidFrom"] = utf8(user.Entry.SIDFrom);
        entry["sidTo"] = utf8(user.Entry.SIDTo);
        entries.push_back(std::move(entry));
    }
    OrderedJson json = OrderedJson::object();
    json["listType"] = list.ListType;
    json["nextID"] = list.NextID;
    json["entries"] = std::move(entries);
    return json;
}

// ---------------------------------------------------------------- reading

// A file that breaks the format; `detail` completes "The settings file ... is damaged: ".
struct Problem
{
    SettingsFileResult::Status status;
    QString detail;
};

[[noreturn]] void damaged(const QString &detail)
{
    throw Problem {SettingsFileResult::Damaged, detail};
}

// Reads the fields of one JSON object, naming each by its path in messages.
class Fields
{
public:
    Fields(const Json &object, QString path)
        : m_object(object)
        , m_path(std::move(path))
    {
        if (!m_object.is_object())
            damaged(QStringLiteral("%1 must be a JSON object").arg(label()));
    }

    bool has(const char *name) const { return m_object.contains(name); }

    const Json &value(const char *name) const
    {
        const auto found = m_object.find(name);
        if (found == m_object.end())
            damaged(QStringLiteral("%1 is missing").arg(pathOf(name)));
        return *found;
    }

    qint64 integer(const char *name, qint64 min, qint64 max) const
    {
        const Json &json = value(name);
        if (!json.is_number_integer())
            damaged(QStringLiteral("%1 must be a whole number").arg(pathOf(name)));
        // Unsigned numbers above the signed range are out of any range the format allows.
        if (json.is_number_unsigned() && json.get<quint64>() > quint64(std::numeric_limits<qint64>::max()))
            damaged(QStringLiteral("%1 must be a whole number from %2 to %3").arg(pathOf(name)).arg(min).arg(max));
        const qint64 number = json.get<qint64>();
        if (number < min || number > max)
            damaged(QStringLiteral("%1 must be a whole number from %2 to %3").arg(pathOf(name)).arg(min).arg(max));
        return number;
    }

    int int32(const char *name) const
    {
        return static_cast<int>(integer(name, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }

    QString text(const char *name) const
    {
        const Json &json = value(name);
        if (!json.is_string())
            damaged(QStringLiteral("%1 must be text").arg(pathOf(name)));
        return QString::fromStdString(json.get_ref<const std::string &>());
    }

    bool boolean(const char *name) const
    {
        const Json &json = value(name);
        if (!json.is_boolean())
            damaged(QStringLiteral("%1 must be true or false").arg(pathOf(name)));
        return json.get<bool>();
    }

    const Json &array(const char *name) const
    {
        const Json &json = value(name);
        if (!json.is_array())
            damaged(QStringLiteral("%1 must be a list").arg(pathOf(name)));
        return json;
    }

    // An ID handed out by a sequence whose next ID is `next` (named `nextName` in the file).
    int id(const char *name, int next, const QString &nextName) const
    {
        const qint64 number = integer(name, 0, std::numeric_limits<int>::max());
        if (number >= next)
            damaged(QStringLiteral("%1 is %2, which is not below %3 (%4)").arg(pathOf(name)).arg(number).arg(nextName).arg(next));
        return int(number);
    }

    QByteArray base64(const char *name, qsizetype size = -1) const
    {
        const Json &json = value(name);
        if (!json.is_string())
            damaged(QStringLiteral("%1 must be text").arg(pathOf(name)));
        const QByteArray text = QByteArray::fromStdString(json.get_ref<const std::string &>());
        auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || (size >= 0 && decoded.decoded.size() != size))
            damaged(size >= 0 ? QStringLiteral("%1 must be %2 bytes in Base64").arg(pathOf(name)).arg(size)
                              : QStringLiteral("%1 must be Base64").arg(pathOf(name)));
        return decoded.decoded;
    }

    QString pathOf(const char *name) const
    {
        return m_path.isEmpty() ? QString::fromLatin1(name) : m_path + QLatin1Char('.') + QLatin1String(name);
    }
    QString label() const { return m_path.isEmpty() ? QStringLiteral("the file") : m_path; }

private:
    const Json &m_object;
    QString m_path;
};

QString itemPath(const QString &list, qsizetype index)
{
    return QStringLiteral("%1[%2]").arg(list).arg(index);
}

// A sealed password waiting for the passphrase.
struct SealedPassword
{
    qsizetype record;
    int userType;
    QByteArray box;
    QString path;
};

struct Reader
{
    DatabaseSnapshot snapshot;
    bool migrationState = false;
    bool passwordsIncluded = false;
    std::optional<PasswordSealer::Parameters> sealing;
    QByteArray check;
    QList<SealedPassword> sealed;

    void readPasswords(const Fields &top)
    {
        const Fields passwords(top.value("passwords"), QStringLiteral("passwords"));
        passwordsIncluded = passwords.boolean("included");
        if (!passwordsIncluded)
            return;
        const Fields kdf(passwords.value("kdf"), QStringLiteral("passwords.kdf"));
        if (kdf.text("algorithm") != QLatin1String(KdfAlgorithm))
            damaged(QStringLiteral("passwords.kdf.algorithm must be \"%1\"").arg(QLatin1String(KdfAlgorithm)));
        if (passwords.text("cipher") != QLatin1String(Cipher))
            damaged(QStringLiteral("passwords.cipher must be \"%1\"").arg(QLatin1String(Cipher)));
        PasswordSealer::Parameters parameters;
        parameters.Salt = kdf.base64("salt", PasswordSealer::SaltBytes);
        parameters.KdfCost.OpsLimit = static_cast<quint64>(kdf.integer("opsLimit", 0, std::numeric_limits<qint64>::max()));
        parameters.KdfCost.MemLimit = static_cast<quint64>(kdf.integer("memLimit", 0, std::numeric_limits<qint64>::max()));
        if (const QString problem = PasswordSealer::CheckParameters(parameters); !problem.isEmpty())
            damaged(QStringLiteral("passwords.kdf: ") + problem);
        sealing = parameters;
        check = passwords.base64("check", PasswordSealer::CheckBytes);
    }

    void readFolders(const Fields &top)
    {
        const Json &list = top.array("folders");
        QSet<int> seen;
        for (qsizetype i = 0; i < qsizetype(list.size()); ++i) {
            const Fields item(list[size_t(i)], itemPath(QStringLiteral("folders"), i));
            DatabaseSnapshot::Folder folder;
            folder.ID = item.id("id", snapshot.NextFolderID, QStringLiteral("nextFolderID"));
            folder.Name = item.text("name");
            folder.ParentID = item.int32("parentID");
            if (seen.contains(folder.ID))
                damaged(QStringLiteral("%1: folder %2 is listed twice").arg(item.label()).arg(folder.ID));
            seen.insert(folder.ID);
            snapshot.Folders.append(folder);
        }
        std::sort(snapshot.Folders.begin(), snapshot.Folders.end(), [](const auto &a, const auto &b) { return a.ID < b.ID; });
    }

    const DatabaseSnapshot::Folder *folder(int id) const
    {
        const auto found
            = std::lower_bound(snapshot.Folders.cbegin(), snapshot.Folders.cend(), id, [](const auto &f, int v) { return f.ID < v; });
        return found != snapshot.Folders.cend() && found->ID == id ? &*found : nullptr;
    }

    bool hasComputer(int id) const
    {
        const auto found
            = std::lower_bound(snapshot.Computers.cbegin(), snapshot.Computers.cend(), id, [](const auto &c, int v) { return c.ID < v; });
        return found != snapshot.Computers.cend() && found->ID == id;
    }

    void checkFolderParents() const
    {
        for (const DatabaseSnapshot::Folder &f : snapshot.Folders) {
            if (f.ParentID != -1 && !folder(f.ParentID))
                damaged(QStringLiteral("folder %1 has the parent %2, which is not among the folders").arg(f.ID).arg(f.ParentID));
        }
        // Every chain of parents must reach the root; more steps than folders means a loop.
        for (const DatabaseSnapshot::Folder &f : snapshot.Folders) {
            int id = f.ParentID;
            for (qsizetype steps = 0; id != -1; ++steps) {
                if (steps > snapshot.Folders.size())
                    damaged(QStringLiteral("folder %1 is inside itself (its parents form a loop)").arg(f.ID));
                id = folder(id)->ParentID;
            }
        }
    }

    DatabaseSnapshot::UserList readUserList(const Fields &computer, qint64 &allUserIDs) const
    {
        const Fields list(computer.value("userList"), computer.pathOf("userList"));
        DatabaseSnapshot::UserList users;
        users.ListType = list.int32("listType");
        if (users.ListType != ListNone && (users.ListType < ListUserToUser || users.ListType > ListAllUsers))
            damaged(QStringLiteral("%1 must be -1 or 1 to 5").arg(list.pathOf("listType")));
        users.NextID = int(list.integer("nextID", 0, MaxUserListID));
        allUserIDs += users.NextID;
        if (allUserIDs > MaxAllUserIDs)
            damaged(QStringLiteral("the user lists have handed out more than %1 IDs together").arg(MaxAllUserIDs));

        const Json &entries = list.array("entries");
        QSet<int> seen;
        for (qsizetype i = 0; i < qsizetype(entries.size()); ++i) {
            const Fields item(entries[size_t(i)], itemPath(list.pathOf("entries"), i));
            DatabaseSnapshot::UserEntry user;
            user.ID = item.id("id", users.NextID, list.pathOf("nextID"));
            if (seen.contains(user.ID))
                damaged(QStringLiteral("%1: entry %2 is listed twice").arg(item.label()).arg(user.ID));
            seen.insert(user.ID);
            user.Entry.UsernameFrom = item.text("usernameFrom");
            user.Entry.UsernameTo = item.text("usernameTo");
            user.Entry.UseSIDFrom = item.boolean("useSIDFrom");
            user.Entry.UseSIDTo = item.boolean("useSIDTo");
            user.Entry.SIDFrom = item.text("sidFrom");
            user.Entry.SIDTo = item.text("sidTo");
            user.Entry.Valid = true;
            users.Entries.append(user);
        }
        std::sort(users.Entries.begin(), users.Entries.end(), [](const auto &a, const auto &b) { return a.ID < b.ID; });
        // A list takes its kind from its first entry and loses it with its last.
        if (users.ListType == ListNone && !users.Entries.isEmpty())
            damaged(QStringLiteral("%1 is -1 (no entries) but the list has entries").arg(list.pathOf("listType")));
        if (users.ListType != ListNone && users.Entries.isEmpty())
            damaged(QStringLiteral("%1 is %2 but the list has no entries").arg(list.pathOf("listType")).arg(users.ListType));
        return users;
    }

    void readComputers(const Fields &top)
    {
        const Json &list = top.array("computers");
        QSet<int> seen;
        qint64 allUserIDs = 0;
        for (qsizetype i = 0; i < qsizetype(list.size()); ++i) {
            const Fields item(list[size_t(i)], itemPath(QStringLiteral("computers"), i));
            DatabaseSnapshot::Computer computer;
            computer.ID = item.id("id", snapshot.NextComputerID, QStringLiteral("nextComputerID"));
            if (seen.contains(computer.ID))
                damaged(QStringLiteral("%1: computer %2 is listed twice").arg(item.label()).arg(computer.ID));
            seen.insert(computer.ID);
            computer.Name = item.text("name");
            computer.DNSName = item.text("dnsName");
            computer.OU = item.text("ou");
            computer.FolderID = item.int32("folderID");
            if (computer.FolderID != -1 && !folder(computer.FolderID))
                damaged(QStringLiteral("%1 is in folder %2, which is not among the folders").arg(item.label()).arg(computer.FolderID));
            computer.Users = readUserList(item, allUserIDs);
            if (item.has("lastStatus")) {
                if (!migrationState)
                    damaged(QStringLiteral("%1 is only allowed in a migration state file").arg(item.pathOf("lastStatus")));
                snapshot.LastStatus->insert(computer.ID, item.text("lastStatus"));
            }
            snapshot.Computers.append(computer);
        }
        std::sort(snapshot.Computers.begin(), snapshot.Computers.end(), [](const auto &a, const auto &b) { return a.ID < b.ID; });
    }

    void readAccounts(const Fields &record, GlobalSettings &settings)
    {
        const Fields accounts(record.value("accounts"), record.pathOf("accounts"));
        for (int type = 0; type < UserTypeCount; ++type) {
            const Fields slot(accounts.value(AccountNames[type]), accounts.pathOf(AccountNames[type]));
            settings.SetUser(type, slot.text("username"), QString(), slot.text("domain"));
            if (passwordsIncluded) {
                sealed.append({snapshot.Settings.size(), type, slot.base64("password"), slot.pathOf("password")});
            } else if (slot.has("password")) {
                // Never take a password that stands in the file unsealed.
                damaged(QStringLiteral("%1 is given although the file says passwords are left out").arg(slot.pathOf("password")));
            }
        }
    }

    void readSettings(const Fields &top)
    {
        const Json &list = top.array("settings");
        QSet<QString> owners;
        for (qsizetype i = 0; i < qsizetype(list.size()); ++i) {
            const Fields item(list[size_t(i)], itemPath(QStringLiteral("settings"), i));
            GlobalSettings record;
            record.ObjectType = item.text("objectType");
            record.AssociatedID = item.int32("associatedID");
            record.Valid = item.boolean("valid");
            for (const IntField &field : IntFieldsBeforeTexts)
                record.*field.member = item.int32(field.name);
            for (const TextField &field : JoinTexts)
                record.*field.member = item.text(field.name);
            for (const IntField &field : OptionFields)
                record.*field.member = item.int32(field.name);
            for (const TextField &field : ContextTexts)
                record.*field.member = item.text(field.name);
            for (const IntField &field : WizardFields)
                record.*field.member = item.int32(field.name);

            if (i == 0) {
                if (record.ObjectType != QLatin1String("G") || record.AssociatedID != -1)
                    damaged(QStringLiteral("settings[0] must be the global record (objectType \"G\", associatedID -1)"));
            } else if (record.ObjectType == QLatin1String("F")) {
                if (!folder(record.AssociatedID))
                    damaged(QStringLiteral("%1 belongs to folder %2, which is not among the folders")
                                .arg(item.label())
                                .arg(record.AssociatedID));
            } else if (record.ObjectType == QLatin1String("C")) {
                if (!hasComputer(record.AssociatedID))
                    damaged(QStringLiteral("%1 belongs to computer %2, which is not among the computers")
                                .arg(item.label())
                                .arg(record.AssociatedID));
            } else {
                damaged(QStringLiteral("%1 must be \"F\" or \"C\" (only settings[0] is global)").arg(item.pathOf("objectType")));
            }
            const QString owner = DatabaseSnapshot::OwnerKey(record);
            if (owners.contains(owner))
                damaged(QStringLiteral("%1 is a second settings record of %2").arg(item.label(), owner));
            owners.insert(owner);

            readAccounts(item, record);
            snapshot.Settings.append(record);
        }
        if (snapshot.Settings.isEmpty())
            damaged(QStringLiteral("settings must hold at least the global record"));
    }

    void read(const Json &json)
    {
        const Fields top(json, QString());
        const QString contents = top.text("contents");
        if (contents == QLatin1String(ContentsMigrationState))
            migrationState = true;
        else if (contents != QLatin1String(ContentsSettings))
            damaged(QStringLiteral("contents must be \"%1\" or \"%2\"")
                        .arg(QLatin1String(ContentsSettings), QLatin1String(ContentsMigrationState)));
        if (migrationState)
            snapshot.LastStatus.emplace();

        snapshot.JobName = top.text("jobName");
        readPasswords(top);
        snapshot.NextFolderID = int(top.integer("nextFolderID", 0, SettingsFileCodec::MaxNextID));
        snapshot.NextComputerID = int(top.integer("nextComputerID", 0, SettingsFileCodec::MaxNextID));
        readFolders(top);
        checkFolderParents();
        readComputers(top);
        readSettings(top);
    }
};

// 1-based line and column of the byte at `offset` (0-based).
std::pair<qsizetype, qsizetype> lineAndColumn(const QByteArray &bytes, qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, bytes.size());
    const QByteArray before = bytes.left(offset);
    const qsizetype line = before.count('\n') + 1;
    const qsizetype column = offset - (before.lastIndexOf('\n') + 1) + 1;
    return {line, column};
}

// What nlohmann says after its own position prefix, e.g. "syntax error while parsing object - unexpected '}'".
QString parseErrorDetail(const char *what)
{
    static const QRegularExpression prefix(QStringLiteral("^.*?column \\d+: "));
    QString detail = QString::fromUtf8(what);
    detail.remove(prefix);
    return detail.remove(QRegularExpression(QStringLiteral("^\\[json\\.exception\\.[a-z_]+\\.\\d+\\] ")));
}

} // namespace

QByteArray SettingsFileCodec::Encode(const DatabaseSnapshot &snapshot, const PasswordSealer *sealer)
{
    OrderedJson json = OrderedJson::object();
    json["format"] = utf8(FormatName);
    json["version"] = FormatVersion;
    json["contents"] = snapshot.LastStatus ? ContentsMigrationState : ContentsSettings;
    json["jobName"] = utf8(snapshot.JobName);

    OrderedJson passwords = OrderedJson::object();
    passwords["included"] = sealer != nullptr;
    if (sealer) {
        const PasswordSealer::Parameters &parameters = sealer->parameters();
        OrderedJson kdf = OrderedJson::object();
        kdf["algorithm"] = KdfAlgorithm;
        kdf["salt"] = parameters.Salt.toBase64().toStdString();
        kdf["opsLimit"] = parameters.KdfCost.OpsLimit;
        kdf["memLimit"] = parameters.KdfCost.MemLimit;
        passwords["kdf"] = std::move(kdf);
        passwords["cipher"] = Cipher;
        passwords["check"] = sealer->CheckValue().toBase64().toStdString();
    }
    json["passwords"] = std::move(passwords);
    json["nextFolderID"] = snapshot.NextFolderID;
    json["nextComputerID"] = snapshot.NextComputerID;

    OrderedJson folders = OrderedJson::array();
    for (const DatabaseSnapshot::Folder &folder : snapshot.Folders) {
        OrderedJson item = OrderedJson::object();
        item["id"] = folder.ID;
        item["name"] = utf8(folder.Name);
        item["parentID"] = folder.ParentID;
        folders.push_back(std::move(item));
    }
    json["folders"] = std::move(folders);

    OrderedJson computers = OrderedJson::array();
    for (const DatabaseSnapshot::Computer &computer : snapshot.Computers) {
        OrderedJson item = OrderedJson::object();
        item["id"] = computer.ID;
        item["name"] = utf8(computer.Name);
        item["dnsName"] = utf8(computer.DNSName);
        item["ou"] = utf8(computer.OU);
        item["folderID"] = computer.FolderID;
        item["userList"] = userListJson(computer.Users);
        if (snapshot.LastStatus) {
            if (const auto status = snapshot.LastStatus->constFind(computer.ID); status != snapshot.LastStatus->cend())
                item["lastStatus"] = utf8(*status);
        }
        computers.push_back(std::move(item));
    }
    json["computers"] = std::move(computers);

    OrderedJson settings = OrderedJson::array();
    for (const GlobalSettings &record : snapshot.Settings)
        settings.push_back(settingsJson(record, sealer));
    json["settings"] = std::move(settings);

    // Raw line breaks only ever appear between tokens (strings escape
    // theirs), so the console's CR LF convention cannot touch any value.
    QByteArray bytes = QByteArray::fromStdString(json.dump(2, ' ', false));
    bytes.replace("\n", "\r\n");
    bytes.append("\r\n");
    return bytes;
}

SettingsFileCodec::Decoded SettingsFileCodec::Decode(const QByteArray &bytes, const QString &fileName, const QString &passphrase)
{
    Decoded decoded;
    SettingsFileResult &result = decoded.Result;
    const QString file = quoted(fileName);
    auto refuse = [&](SettingsFileResult::Status status, const QString &message) {
        result.status = status;
        result.Message = message;
        return decoded;
    };

    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    if (body.trimmed().isEmpty())
        return refuse(SettingsFileResult::Truncated, QStringLiteral("The settings file %1 is empty.").arg(file));
    if (body.trimmed().at(0) != '{')
        return refuse(SettingsFileResult::NotSettingsFile, QStringLiteral("The file %1 is not a Varno-Osk settings file.").arg(file));

    Json json;
    try {
        json = Json::parse(bytes.constData(), bytes.constData() + bytes.size());
    } catch (const Json::parse_error &error) {
        // nlohmann counts the byte it stumbled on from 1; at the end of the
        // data that is one past the last byte.
        const auto offset = static_cast<qsizetype>(error.byte) - 1;
        const auto [line, column] = lineAndColumn(bytes, offset);
        if (offset >= bytes.size())
            return refuse(SettingsFileResult::Truncated,
                QStringLiteral("The settings file %1 is truncated: its data breaks off at line %2, column %3.")
                    .arg(file)
                    .arg(line)
                    .arg(column));
        return refuse(SettingsFileResult::Damaged,
            QStringLiteral("The settings file %1 is damaged: it is not valid JSON at line %2, column %3 (%4).")
                .arg(file)
                .arg(line)
                .arg(column)
                .arg(parseErrorDetail(error.what())));
    }

    const auto format = json.is_object() ? json.find("format") : json.end();
    if (!json.is_object() || format == json.end() || !format->is_string()
        || QString::fromStdString(format->get<std::string>()) != FormatName)
        return refuse(SettingsFileResult::NotSettingsFile, QStringLiteral("The file %1 is not a Varno-Osk settings file.").arg(file));

    const auto version = json.find("version");
    const bool versionIsNumber = version != json.end() && version->is_number_integer();
    if (!versionIsNumber || (!version->is_number_unsigned() && version->get<qint64>() < 1)
        || (version->is_number_unsigned() && version->get<quint64>() < 1))
        return refuse(SettingsFileResult::Damaged,
            QStringLiteral("The settings file %1 is damaged: version must be a whole number, 1 or more.").arg(file));
    if (version->is_number_unsigned() ? version->get<quint64>() > quint64(FormatVersion) : version->get<qint64>() > FormatVersion)
        return refuse(SettingsFileResult::NewerVersion,
            QStringLiteral("The settings file %1 has format version %2, which is newer than this console can read (version %3). "
                           "Load it with a newer Varno-Osk console.")
                .arg(file, QString::fromStdString(version->dump()))
                .arg(FormatVersion));

    Reader reader;
    try {
        reader.read(json);
    } catch (const Problem &problem) {
        return refuse(problem.status, QStringLiteral("The settings file %1 is damaged: %2.").arg(file, problem.detail));
    }

    if (reader.passwordsIncluded) {
        if (passphrase.isEmpty())
            return refuse(SettingsFileResult::PassphraseRequired,
                QStringLiteral("The passwords in the settings file %1 are sealed with a passphrase. Give the passphrase to load it.")
                    .arg(file));
        PasswordSealer sealer;
        if (!sealer.Derive(passphrase, *reader.sealing))
            return refuse(SettingsFileResult::CannotRead,
                QStringLiteral("The settings file %1 cannot be read: there is not enough memory to derive its key.").arg(file));
        if (!sealer.Matches(reader.check))
            return refuse(SettingsFileResult::WrongPassphrase,
                QStringLiteral("The passphrase for the settings file %1 is wrong; nothing was loaded.").arg(file));
        for (const SealedPassword &box : reader.sealed) {
            GlobalSettings &record = reader.snapshot.Settings[box.record];
            const std::optional<QString> password = sealer.Open(DatabaseSnapshot::OwnerKey(record), box.userType, box.box);
            if (!password)
                return refuse(SettingsFileResult::Damaged,
                    QStringLiteral("The settings file %1 is damaged: %2 does not open with the passphrase.").arg(file, box.path));
            const AccountRecord &account = record.account(box.userType);
            record.SetUser(box.userType, account.Username, *password, account.Domain);
        }
        decoded.Sealing = reader.sealing;
    }

    decoded.Snapshot = std::move(reader.snapshot);
    result.JobName = decoded.Snapshot.JobName;
    result.PasswordsIncluded = reader.passwordsIncluded;
    result.LastStatus = decoded.Snapshot.LastStatus;
    return decoded;
}
