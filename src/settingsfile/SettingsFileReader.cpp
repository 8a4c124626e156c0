#include "settingsfile/SettingsFileReader.h"

#include "common/modLimits.h"
#include "settingsfile/PieceReader.h"
#include "settingsfile/SettingsFileCodec.h"

#include <QSet>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

// clang-format off
const SettingsFileReader::RecordField SettingsFileReader::RecordFields[18] = {
    {"joinVal", &GlobalSettings::JoinVal, nullptr},
    {"joinDCIP", nullptr, &GlobalSettings::JoinDCIP},
    {"joinDCName", nullptr, &GlobalSettings::JoinDCName},
    {"joinName", nullptr, &GlobalSettings::JoinName},
    {"copyProfile", &GlobalSettings::CopyProfile, nullptr},
    {"forceReboot", &GlobalSettings::ForceReboot, nullptr},
    {"ignoreTempInternetFiles", &GlobalSettings::IgnoreTempInternetFiles, nullptr},
    {"minFreeSpace", &GlobalSettings::MinFreeSpace, nullptr},
    {"overwriteProfile", &GlobalSettings::OverwriteProfile, nullptr},
    {"rebootPermitted", &GlobalSettings::RebootPermitted, nullptr},
    {"destinationDCIP", nullptr, &GlobalSettings::DestinationDCIP},
    {"destinationDCName", nullptr, &GlobalSettings::DestinationDCName},
    {"destinationDomain", nullptr, &GlobalSettings::DestinationDomain},
    {"sourceDCIP", nullptr, &GlobalSettings::SourceDCIP},
    {"sourceDCName", nullptr, &GlobalSettings::SourceDCName},
    {"sourceDomain", nullptr, &GlobalSettings::SourceDomain},
    {"actionType", &GlobalSettings::ActionType, nullptr},
    {"migrationType", &GlobalSettings::MigrationType, nullptr},
};
// clang-format on

const char *const SettingsFileReader::AccountNames[UserTypeCount]
    = {"AdminB", "AdminA", "DomainJoin", "SourceSIDLookup", "DestinationSIDLookup"};

struct SettingsFileReader::Scalar
{
    enum Kind { Null, Flag, Signed, Unsigned, Fraction, Text } kind;
    bool flag = false;
    qint64 number = 0;
    quint64 unsignedNumber = 0;
    std::string_view text = {};
};

namespace {

using Node = SettingsFileReader::Node;

const char *const KdfAlgorithm = "argon2id13";
const char *const Cipher = "xchacha20poly1305-ietf";
const char *const ContentsSettings = "settings";
const char *const ContentsMigrationState = "migration state";

enum class Type { Whole, Text, Flag, Object, List, Any };

struct Field
{
    const char *name;
    Type type;
};

struct Fields
{
    const Field *fields;
    int count;
};

// Member indices the code below refers to by name.
enum TopField {
    TopFormat,
    TopVersion,
    TopContents,
    TopJobName,
    TopPasswords,
    TopNextFolderID,
    TopNextComputerID,
    TopFolders,
    TopComputers,
    TopSettings,
    TopWaves
};
enum PasswordsField { PwIncluded, PwKdf, PwCipher, PwCheck };
enum KdfField { KdfAlgorithmField, KdfSalt, KdfOpsLimit, KdfMemLimit };
enum FolderField { FolderID, FolderName, FolderParentID };
enum ComputerField {
    ComputerID,
    ComputerName,
    ComputerDNSName,
    ComputerOU,
    ComputerFolderID,
    ComputerUserList,
    ComputerLastStatus,
    ComputerWave,
    ComputerDirectoryID,
    ComputerEnabled
};
enum WaveField { WaveName, WaveNotBefore, WaveConcurrency, WaveFailurePercent };
enum UserListField { ListTypeField, ListNextID, ListEntries };
enum EntryField { EntryID, EntryUsernameFrom, EntryUsernameTo, EntryUseSIDFrom, EntryUseSIDTo, EntrySIDFrom, EntrySIDTo };
enum SettingField {
    SettingObjectType,
    SettingAssociatedID,
    SettingValid,
    SettingFirstRecordField,
    SettingAccounts = SettingFirstRecordField + 18
};
enum AccountField { AccountUsername, AccountDomain, AccountPassword };

// clang-format off
const Field TopFields[] = {
    {"format", Type::Any}, {"version", Type::Any}, {"contents", Type::Text}, {"jobName", Type::Text},
    {"passwords", Type::Object}, {"nextFolderID", Type::Whole}, {"nextComputerID", Type::Whole},
    {"folders", Type::List}, {"computers", Type::List}, {"settings", Type::List}, {"waves", Type::List},
};
const Field PasswordsFields[] = {{"included", Type::Flag}, {"kdf", Type::Object}, {"cipher", Type::Text}, {"check", Type::Text}};
const Field KdfFields[] = {{"algorithm", Type::Text}, {"salt", Type::Text}, {"opsLimit", Type::Whole}, {"memLimit", Type::Whole}};
const Field FolderFields[] = {{"id", Type::Whole}, {"name", Type::Text}, {"parentID", Type::Whole}};
const Field ComputerFields[] = {
    {"id", Type::Whole}, {"name", Type::Text}, {"dnsName", Type::Text}, {"ou", Type::Text},
    {"folderID", Type::Whole}, {"userList", Type::Object}, {"lastStatus", Type::Text},
    {"wave", Type::Text}, {"directoryID", Type::Text}, {"enabled", Type::Flag},
};
const Field WaveFields[] = {
    {"name", Type::Text}, {"notBefore", Type::Text}, {"concurrency", Type::Whole}, {"failurePercent", Type::Whole},
};
const Field UserListFields[] = {{"listType", Type::Whole}, {"nextID", Type::Whole}, {"entries", Type::List}};
const Field EntryFields[] = {
    {"id", Type::Whole}, {"usernameFrom", Type::Text}, {"usernameTo", Type::Text}, {"useSIDFrom", Type::Flag},
    {"useSIDTo", Type::Flag}, {"sidFrom", Type::Text}, {"sidTo", Type::Text},
};
const Field AccountFields[] = {{"username", Type::Text}, {"domain", Type::Text}, {"password", Type::Text}};
// clang-format on

// "objectType", "associatedID", "valid", the record fields, "accounts".
const Field *settingFields()
{
    static const auto fields = [] {
        std::array<Field, SettingAccounts + 1> list {};
        list[SettingObjectType] = {"objectType", Type::Text};
        list[SettingAssociatedID] = {"associatedID", Type::Whole};
        list[SettingValid] = {"valid", Type::Flag};
        for (int i = 0; i < 18; ++i) {
            const SettingsFileReader::RecordField &field = SettingsFileReader::RecordFields[i];
            list[size_t(SettingFirstRecordField + i)] = {field.name, field.number ? Type::Whole : Type::Text};
        }
        list[SettingAccounts] = {"accounts", Type::Object};
        return list;
    }();
    return fields.data();
}

const Field *accountsFields()
{
    static const auto fields = [] {
        std::array<Field, UserTypeCount> list {};
        for (int type = 0; type < UserTypeCount; ++type)
            list[size_t(type)] = {SettingsFileReader::AccountNames[type], Type::Object};
        return list;
    }();
    return fields.data();
}

Fields fieldsOf(Node node)
{
    switch (node) {
    case Node::Top:
        return {TopFields, int(std::size(TopFields))};
    case Node::Passwords:
        return {PasswordsFields, int(std::size(PasswordsFields))};
    case Node::Kdf:
        return {KdfFields, int(std::size(KdfFields))};
    case Node::Folder:
        return {FolderFields, int(std::size(FolderFields))};
    case Node::Computer:
        return {ComputerFields, int(std::size(ComputerFields))};
    case Node::Wave:
        return {WaveFields, int(std::size(WaveFields))};
    case Node::UserList:
        return {UserListFields, int(std::size(UserListFields))};
    case Node::EntryObject:
        return {EntryFields, int(std::size(EntryFields))};
    case Node::Setting:
        return {settingFields(), SettingAccounts + 1};
    case Node::Accounts:
        return {accountsFields(), UserTypeCount};
    case Node::Account:
        return {AccountFields, int(std::size(AccountFields))};
    default:
        return {nullptr, 0};
    }
}

bool isList(Node node)
{
    return node == Node::Folders || node == Node::Computers || node == Node::Entries || node == Node::Settings || node == Node::EntryList
        || node == Node::Waves;
}

constexpr std::uint32_t bit(int field)
{
    return std::uint32_t(1) << field;
}

QString mustBe(Type type)
{
    switch (type) {
    case Type::Whole:
        return QStringLiteral("must be a whole number");
    case Type::Text:
        return QStringLiteral("must be text");
    case Type::Flag:
        return QStringLiteral("must be true or false");
    case Type::Object:
        return QStringLiteral("must be a JSON object");
    case Type::List:
        return QStringLiteral("must be a list");
    case Type::Any:
        break;
    }
    return QString();
}

// A file that breaks the format; `detail` completes "The settings file ... is damaged: ".
struct Problem
{
    QString detail;
};

[[noreturn]] void damaged(const QString &detail)
{
    throw Problem {detail};
}

// RapidJSON's sentence for a syntax error, as the part of ours in brackets:
// "Missing a comma or '}' after an object member." becomes "missing a comma
// or '}' after an object member".
QString parseErrorDetail(rapidjson::ParseErrorCode code)
{
    QString detail = QString::fromUtf8(rapidjson::GetParseError_En(code));
    if (detail.endsWith(QLatin1Char('.')))
        detail.chop(1);
    if (!detail.isEmpty())
        detail[0] = detail[0].toLower();
    return detail;
}

QByteArray decodeBase64(const QByteArray &text, qsizetype size, const QString &path)
{
    auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || (size >= 0 && decoded.decoded.size() != size))
        damaged(size >= 0 ? QStringLiteral("%1 must be %2 bytes in Base64").arg(path).arg(size)
                          : QStringLiteral("%1 must be Base64").arg(path));
    return decoded.decoded;
}

QString accountPath(qsizetype record, int userType)
{
    return QStringLiteral("settings[%1].accounts.%2").arg(record).arg(QLatin1String(SettingsFileReader::AccountNames[userType]));
}

// Checks that the IDs of a list, in file order, are below `next` and listed
// once, and leaves the list in ascending order. A file the console wrote is
// in order already; only a file put together by hand needs the slow path.
template<typename Item> void checkIDs(QList<Item> &items, int next, const QString &listName, const QString &nextName, const char *what)
{
    bool ascending = true;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i].ID >= next)
            damaged(QStringLiteral("%1[%2].id is %3, which is not below %4 (%5)")
                        .arg(listName)
                        .arg(i)
                        .arg(items[i].ID)
                        .arg(nextName)
                        .arg(next));
        if (i > 0 && items[i].ID <= items[i - 1].ID)
            ascending = false;
    }
    if (ascending)
        return;
    QSet<int> seen;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (seen.contains(items[i].ID))
            damaged(QStringLiteral("%1[%2]: %3 %4 is listed twice").arg(listName).arg(i).arg(QLatin1String(what)).arg(items[i].ID));
        seen.insert(items[i].ID);
    }
    std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) { return a.ID < b.ID; });
}

// The parser gathers each text, a value or a member name, whole on its
// stack before it hands it over, so an unbounded stack would take in a
// text of gigabytes before the reader could refuse it. The stack holds the
// one text and eight bytes per level of nesting, and grows by half at a
// time: asked to grow beyond half again what the depth reached and the
// longest text allow, it holds a text longer than any the format takes,
// and the read stops there.
struct LongText
{ };

class BoundedStack
{
public:
    static constexpr bool kNeedFree = true;

    // The parser's stack can make one of its own, which it never does here.
    BoundedStack() = default;
    explicit BoundedStack(const int &depth)
        : m_depth(&depth)
    { }

    void *Malloc(size_t size) { return Realloc(nullptr, 0, size); }
    void *Realloc(void *old, size_t, size_t size)
    {
        if (size == 0) {
            std::free(old);
            return nullptr;
        }
        const size_t room = size_t(modLimits::MaxTextBytes) + 1 + 8 * (size_t(std::max(m_depth ? *m_depth : 0, 0)) + 2);
        if (size > room + room / 2 + 256)
            throw LongText {};
        void *grown = std::realloc(old, size);
        if (!grown)
            throw std::bad_alloc();
        return grown;
    }
    static void Free(void *memory) { std::free(memory); }

private:
    const int *m_depth = nullptr;
};

} // namespace

// ---------------------------------------------------------------- parsing

bool SettingsFileReader::Parse(QIODevice &device)
{
    m_stack.reserve(8);
    // The parser knows no byte order mark; offsets still count it.
    const qint64 start = device.peek(3) == "\xEF\xBB\xBF" ? 3 : 0;
    device.skip(start);
    m_size = device.bytesAvailable();
    PieceReader pieces(device);
    // Iterative: a file of a million nested lists must not use up the stack.
    BoundedStack stack(m_depth);
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, BoundedStack> parser(&stack);
    rapidjson::ParseResult result;
    try {
        result = parser.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(pieces, *this);
    } catch (const LongText &) {
        m_textTooLong = true;
        if (!m_failed) {
            m_failed = true;
            m_problem = longTextPath() + QLatin1Char(' ') + modLimits::TooLong();
        }
    }
    // Every list is filled, or the builder has given up, before the
    // snapshot goes anywhere.
    m_outOfMemory = !m_lists.Finish();
    m_readFailed = pieces.Failed();
    if (m_readFailed || m_outOfMemory || m_textTooLong)
        return false;
    if (result.IsError()) {
        m_syntaxOffset = qsizetype(start + qint64(result.Offset()));
        m_syntaxDetail = parseErrorDetail(result.Code());
        return false;
    }
    // The parser takes a zero byte for the end of the text; any byte after
    // it is text that is not JSON.
    if (!pieces.AtEnd()) {
        m_syntaxOffset = qsizetype(start + qint64(pieces.Tell()));
        m_syntaxDetail = parseErrorDetail(rapidjson::kParseErrorDocumentRootNotSingular);
        return false;
    }
    return true;
}

template<typename Body> bool SettingsFileReader::guarded(Body body)
{
    if (m_failed)
        return true;
    try {
        body();
    } catch (const Problem &problem) {
        m_failed = true;
        m_problem = problem.detail;
    }
    return true;
}

bool SettingsFileReader::Null()
{
    return guarded([&] { value(Scalar {Scalar::Null}); });
}

bool SettingsFileReader::Bool(bool flag)
{
    Scalar scalar {Scalar::Flag};
    scalar.flag = flag;
    return guarded([&] { value(scalar); });
}

bool SettingsFileReader::Int64(std::int64_t number)
{
    Scalar scalar {Scalar::Signed};
    scalar.number = number;
    if (m_depth == 1 && m_topKey == "version")
        m_version = {Version::Signed, number, 0};
    return guarded([&] { value(scalar); });
}

bool SettingsFileReader::Uint64(std::uint64_t number)
{
    Scalar scalar {Scalar::Unsigned};
    scalar.unsignedNumber = number;
    if (m_depth == 1 && m_topKey == "version")
        m_version = {Version::Unsigned, 0, number};
    return guarded([&] { value(scalar); });
}

bool SettingsFileReader::Double(double)
{
    return guarded([&] { value(Scalar {Scalar::Fraction}); });
}

bool SettingsFileReader::String(const char *text, unsigned length, bool)
{
    Scalar scalar {Scalar::Text};
    scalar.text = std::string_view(text, length);
    if (m_depth == 1 && m_topKey == "format")
        m_format = std::string(scalar.text);
    return guarded([&] { value(scalar); });
}

bool SettingsFileReader::StartObject()
{
    ++m_depth;
    return guarded([&] { open(true); });
}

bool SettingsFileReader::StartArray()
{
    ++m_depth;
    return guarded([&] { open(false); });
}

bool SettingsFileReader::EndObject(unsigned)
{
    --m_depth;
    return guarded([&] { close(); });
}

bool SettingsFileReader::EndArray(unsigned)
{
    --m_depth;
    return guarded([&] { close(); });
}

bool SettingsFileReader::Key(const char *text, unsigned length, bool)
{
    const std::string_view name(text, length);
    if (m_depth == 1) {
        m_topKey = name;
        // A second "format" or "version" must not leave the first one's value standing.
        if (name == "format")
            m_format.reset();
        else if (name == "version")
            m_version = {Version::Other, 0, 0};
    }
    m_keyPending = true;
    return guarded([&] { member(name); });
}

// ---------------------------------------------------------------- structure

QString SettingsFileReader::pathOf(std::size_t depth) const
{
    QString path;
    for (std::size_t i = 1; i <= depth && i < m_stack.size(); ++i) {
        const Frame &frame = m_stack[i];
        if (frame.name)
            path += (path.isEmpty() ? QString() : QStringLiteral(".")) + QLatin1String(frame.name);
        else
            path += QStringLiteral("[%1]").arg(frame.index);
    }
    return path;
}

QString SettingsFileReader::fieldPath(const char *name) const
{
    const QString path = here();
    return path.isEmpty() ? QString::fromLatin1(name) : path + QLatin1Char('.') + QLatin1String(name);
}

QString SettingsFileReader::elementPath(const Frame &list) const
{
    return here() + QStringLiteral("[%1]").arg(list.count);
}

QString SettingsFileReader::longTextPath() const
{
    if (m_stack.empty())
        return QStringLiteral("a text");
    const Frame &frame = m_stack.back();
    const QString where = here().isEmpty() ? QStringLiteral("the top level") : here();
    if (m_skipDepth > 0)
        return QStringLiteral("a text inside %1").arg(where);
    if (isList(frame.node))
        return frame.node == Node::EntryList ? QStringLiteral("%1[%2]").arg(here()).arg(frame.count) : elementPath(frame);
    if (!m_keyPending)
        return QStringLiteral("a member name in %1").arg(where);
    if (frame.field >= 0)
        return fieldPath(fieldsOf(frame.node).fields[frame.field].name);
    return QStringLiteral("the value of a member of %1").arg(where);
}

void SettingsFileReader::missing(const Frame &frame, int field) const
{
    damaged(QStringLiteral("%1 is missing").arg(fieldPath(fieldsOf(frame.node).fields[field].name)));
}

void SettingsFileReader::requireFields(const Frame &frame, std::uint32_t required) const
{
    const std::uint32_t absent = required & ~frame.seen;
    if (absent == 0)
        return;
    for (int field = 0; field < 32; ++field) {
        if (absent & bit(field))
            missing(frame, field);
    }
}

void SettingsFileReader::member(std::string_view name)
{
    if (m_skipDepth > 0)
        return;
    Frame &frame = m_stack.back();
    const Fields fields = fieldsOf(frame.node);
    frame.field = -1;
    for (int i = 0; i < fields.count; ++i) {
        if (name == fields.fields[i].name) {
            if (frame.seen & bit(i))
                damaged(QStringLiteral("%1 is given twice").arg(fieldPath(fields.fields[i].name)));
            frame.seen |= bit(i);
            frame.field = i;
            return;
        }
    }
    // Readers ignore members they do not know.
}

void SettingsFileReader::open(bool isObject)
{
    m_keyPending = false;
    if (m_skipDepth > 0) {
        ++m_skipDepth;
        return;
    }
    if (m_stack.empty()) {
        // The codec lets only a text that starts with "{" get here.
        m_stack.push_back({Node::Top});
        return;
    }
    Frame &parent = m_stack.back();
    Frame child {Node::Top};

    if (isList(parent.node)) {
        child.index = parent.count;
        switch (parent.node) {
        case Node::Folders:
        case Node::Computers:
        case Node::Settings:
        case Node::Waves:
            if (!isObject)
                damaged(QStringLiteral("%1 must be a JSON object").arg(elementPath(parent)));
            child.node = parent.node == Node::Folders ? Node::Folder
                : parent.node == Node::Computers      ? Node::Computer
                : parent.node == Node::Waves          ? Node::Wave
                                                      : Node::Setting;
            break;
        case Node::Entries:
            // No list can hold more entries than it can hand out IDs; a
            // hostile file must not make the reader keep millions of them.
            if (m_entries.size() >= std::size_t(modLimits::MaxUserListIDs))
                damaged(QStringLiteral("%1 holds more than %2 entries").arg(here()).arg(modLimits::MaxUserListIDs));
            child.node = isObject ? Node::EntryObject : Node::EntryList;
            m_entries.emplace_back();
            if (isObject) {
                m_entries.back().values = -1;
                m_entries.back().full = int(m_fullEntries.size());
                m_fullEntries.emplace_back();
            }
            break;
        default:
            // Nothing nests inside a short entry.
            m_entries.back().wellFormed = false;
            m_entries.back().values = ++parent.count;
            m_skipDepth = 1;
            return;
        }
        ++parent.count;
    } else {
        const Fields fields = fieldsOf(parent.node);
        if (parent.field < 0 || fields.fields[parent.field].type == Type::Any) {
            m_skipDepth = 1;
            return;
        }
        const Field &field = fields.fields[parent.field];
        if (field.type != (isObject ? Type::Object : Type::List))
            damaged(QStringLiteral("%1 %2").arg(fieldPath(field.name), mustBe(field.type)));
        child.name = field.name;
        switch (parent.node) {
        case Node::Top:
            child.node = parent.field == TopPasswords ? Node::Passwords
                : parent.field == TopFolders          ? Node::Folders
                : parent.field == TopComputers        ? Node::Computers
                : parent.field == TopWaves            ? Node::Waves
                                                      : Node::Settings;
            break;
        case Node::Passwords:
            child.node = Node::Kdf;
            break;
        case Node::Computer:
            child.node = Node::UserList;
            break;
        case Node::UserList:
            child.node = Node::Entries;
            break;
        case Node::Setting:
            child.node = Node::Accounts;
            break;
        case Node::Accounts:
            child.node = Node::Account;
            m_accountType = parent.field;
            break;
        default:
            m_skipDepth = 1;
            return;
        }
        parent.field = -1;
    }

    switch (child.node) {
    case Node::Folder:
        m_folder = DatabaseSnapshot::Folder();
        break;
    case Node::Computer:
        m_computer = DatabaseSnapshot::Computer();
        m_status.reset();
        break;
    case Node::UserList:
        m_entries.clear();
        m_fullEntries.clear();
        m_entryText.clear();
        m_listType = ListNone;
        m_listNextID = 0;
        break;
    case Node::Setting:
        m_record = GlobalSettings();
        break;
    case Node::Wave:
        m_wave = WaveRecord();
        break;
    case Node::Account:
        m_accountUser.clear();
        m_accountDomain.clear();
        m_accountPassword.reset();
        break;
    default:
        break;
    }
    m_stack.push_back(child);
}

void SettingsFileReader::close()
{
    if (m_skipDepth > 0) {
        --m_skipDepth;
        return;
    }
    const Frame frame = m_stack.back();
    closeObject(frame);
    m_stack.pop_back();
}

void SettingsFileReader::closeObject(const Frame &frame)
{
    switch (frame.node) {
    case Node::Top:
        m_topSeen = frame.seen;
        break;
    case Node::Passwords:
        closePasswords(frame);
        break;
    case Node::Kdf:
        requireFields(frame, bit(KdfAlgorithmField) | bit(KdfSalt) | bit(KdfOpsLimit) | bit(KdfMemLimit));
        m_hasKdf = true;
        break;
    case Node::Folder:
        requireFields(frame, bit(FolderID) | bit(FolderName));
        Snapshot.Folders.append(std::move(m_folder));
        break;
    case Node::Computer:
        requireFields(frame, bit(ComputerID) | bit(ComputerName));
        if (m_status)
            m_statuses.append({Snapshot.Computers.size(), std::move(*m_status)});
        if (m_firstWaveField.isEmpty() && (frame.seen & (bit(ComputerWave) | bit(ComputerDirectoryID) | bit(ComputerEnabled))))
            m_firstWaveField = QStringLiteral("computers[%1].%2")
                                   .arg(frame.index)
                                   .arg(QLatin1String(frame.seen & bit(ComputerWave)          ? "wave"
                                           : frame.seen & bit(ComputerDirectoryID) ? "directoryID"
                                                                                    : "enabled"));
        Snapshot.Computers.append(std::move(m_computer));
        break;
    case Node::UserList:
        requireFields(frame, bit(ListTypeField) | bit(ListNextID) | bit(ListEntries));
        closeUserList();
        break;
    case Node::EntryObject:
        requireFields(frame, bit(EntryID));
        break;
    case Node::Wave:
        closeWave(frame);
        break;
    case Node::Setting:
        requireFields(frame, (bit(SettingAccounts + 1) - 1));
        Snapshot.Settings.append(m_record);
        break;
    case Node::Accounts:
        requireFields(frame, bit(UserTypeCount) - 1);
        break;
    case Node::Account:
        requireFields(frame, bit(AccountUsername) | bit(AccountDomain));
        m_record.SetUser(m_accountType, m_accountUser, QString(), m_accountDomain);
        if (m_accountPassword)
            m_passwords.append({Snapshot.Settings.size(), m_accountType, std::move(*m_accountPassword)});
        break;
    default:
        break;
    }
}

void SettingsFileReader::closePasswords(const Frame &frame)
{
    requireFields(frame, bit(PwIncluded));
    PasswordsIncluded = *m_included;
    if (!PasswordsIncluded)
        return;
    requireFields(frame, bit(PwKdf) | bit(PwCipher) | bit(PwCheck));
    if (m_algorithm != QLatin1String(KdfAlgorithm))
        damaged(QStringLiteral("passwords.kdf.algorithm must be \"%1\"").arg(QLatin1String(KdfAlgorithm)));
    if (m_cipher != QLatin1String(Cipher))
        damaged(QStringLiteral("passwords.cipher must be \"%1\"").arg(QLatin1String(Cipher)));
    PasswordSealer::Parameters parameters;
    parameters.Salt = decodeBase64(m_saltText, PasswordSealer::SaltBytes, QStringLiteral("passwords.kdf.salt"));
    parameters.KdfCost.OpsLimit = static_cast<quint64>(m_opsLimit);
    parameters.KdfCost.MemLimit = static_cast<quint64>(m_memLimit);
    if (const QString problem = PasswordSealer::CheckParameters(parameters); !problem.isEmpty())
        damaged(QStringLiteral("passwords.kdf: ") + problem);
    Sealing = parameters;
    Check = decodeBase64(m_checkText, PasswordSealer::CheckBytes, QStringLiteral("passwords.check"));
}

void SettingsFileReader::closeWave(const Frame &frame)
{
    requireFields(frame, bit(WaveName));
    // The list's own rules, so that a file takes no wave the console could
    // not have made; its sentence names the wave.
    QString problem = m_waves.problemWith(m_wave);
    if (!problem.isEmpty()) {
        if (problem.endsWith(QLatin1Char('.')))
            problem.chop(1);
        damaged(QStringLiteral("waves[%1]: %2").arg(frame.index).arg(problem));
    }
    m_waves.add(m_wave);
}

void SettingsFileReader::closeUserList()
{
    // Paths only for messages: built on every entry they would cost more
    // than the entries themselves.
    auto listPath = [&] { return here(); };
    auto entryPath = [&](std::size_t i) { return QStringLiteral("%1.entries[%2]").arg(here()).arg(i); };
    m_allUserIDs += m_listNextID;
    if (m_allUserIDs > modLimits::MaxAllUserListIDs)
        damaged(QStringLiteral("the user lists have handed out more than %1 IDs together").arg(modLimits::MaxAllUserListIDs));

    // A list takes its kind from its first entry and loses it with its last.
    if (m_listType == ListNone && !m_entries.empty())
        damaged(QStringLiteral("%1.listType is -1 (no entries) but the list has entries").arg(listPath()));
    if (m_listType != ListNone && m_entries.empty())
        damaged(QStringLiteral("%1.listType is %2 but the list has no entries").arg(listPath()).arg(m_listType));

    // Into the computer's list, by the builder: the IDs place the entries,
    // and the places of deleted entries stay empty.
    m_lists.Begin(m_computer.Users.get(), m_listType, m_listNextID);
    const QUtf8StringView texts(m_entryText.data(), qsizetype(m_entryText.size()));
    MigrationUserView entry;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        RawEntry &raw = m_entries[i];
        if (raw.ID >= m_listNextID)
            damaged(QStringLiteral("%1.id is %2, which is not below %3.nextID (%4)")
                        .arg(entryPath(i))
                        .arg(raw.ID)
                        .arg(listPath())
                        .arg(m_listNextID));
        auto listedTwice = [&] { damaged(QStringLiteral("%1: entry %2 is listed twice").arg(entryPath(i)).arg(raw.ID)); };
        if (raw.values < 0) {
            if (!m_lists.AddEntry(int(raw.ID), MigrationUsersUtf8(m_fullEntries[std::size_t(raw.full)]).view()))
                listedTwice();
            continue;
        }
        const bool allUsers = m_listType == ListAllUsers;
        if (!raw.wellFormed || raw.values != (allUsers ? 1 : 3))
            damaged(allUsers ? QStringLiteral("%1 must be a list of the ID alone").arg(entryPath(i))
                             : QStringLiteral("%1 must be a list of the ID and two texts").arg(entryPath(i)));
        entry = MigrationUserView();
        const QUtf8StringView first = texts.sliced(raw.firstStart, raw.firstLength);
        const QUtf8StringView second = texts.sliced(raw.secondStart, raw.secondLength);
        switch (m_listType) {
        case ListUserToUser:
            entry.UsernameFrom = first;
            entry.UsernameTo = second;
            break;
        case ListUserToSID:
            entry.UsernameFrom = first;
            entry.UseSIDTo = true;
            entry.SIDTo = second;
            break;
        case ListSIDToUser:
            entry.UseSIDFrom = true;
            entry.SIDFrom = first;
            entry.UsernameTo = second;
            break;
        case ListSIDToSID:
            entry.UseSIDFrom = true;
            entry.UseSIDTo = true;
            entry.SIDFrom = first;
            entry.SIDTo = second;
            break;
        default:
            entry.UsernameFrom = AllUsersUtf8;
            entry.UsernameTo = AllUsersUtf8;
            break;
        }
        if (!m_lists.AddEntry(int(raw.ID), entry))
            listedTwice();
    }
    m_entries.clear();
    m_fullEntries.clear();
    m_entryText.clear();
}

// ---------------------------------------------------------------- values

qint64 SettingsFileReader::wholeNumber(const Scalar &scalar, const char *name, qint64 min, qint64 max) const
{
    qint64 number = 0;
    if (scalar.kind == Scalar::Signed)
        number = scalar.number;
    else if (scalar.kind != Scalar::Unsigned)
        damaged(QStringLiteral("%1 must be a whole number").arg(fieldPath(name)));
    // Unsigned numbers above the signed range are out of any range the format allows.
    if (scalar.kind == Scalar::Unsigned) {
        if (scalar.unsignedNumber > quint64(std::numeric_limits<qint64>::max()))
            number = std::numeric_limits<qint64>::max();
        else
            number = qint64(scalar.unsignedNumber);
        if (scalar.unsignedNumber > quint64(max))
            damaged(QStringLiteral("%1 must be a whole number from %2 to %3").arg(fieldPath(name)).arg(min).arg(max));
    }
    if (number < min || number > max)
        damaged(QStringLiteral("%1 must be a whole number from %2 to %3").arg(fieldPath(name)).arg(min).arg(max));
    return number;
}

int SettingsFileReader::int32(const Scalar &scalar, const char *name) const
{
    return int(wholeNumber(scalar, name, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

QString SettingsFileReader::text(const Scalar &scalar, const char *name) const
{
    if (scalar.kind != Scalar::Text)
        damaged(QStringLiteral("%1 must be text").arg(fieldPath(name)));
    if (qsizetype(scalar.text.size()) > modLimits::MaxTextBytes)
        damaged(QStringLiteral("%1 is longer than %2 bytes").arg(fieldPath(name)).arg(modLimits::MaxTextBytes));
    return QString::fromUtf8(scalar.text.data(), qsizetype(scalar.text.size()));
}

bool SettingsFileReader::flag(const Scalar &scalar, const char *name) const
{
    if (scalar.kind != Scalar::Flag)
        damaged(QStringLiteral("%1 must be true or false").arg(fieldPath(name)));
    return scalar.flag;
}

void SettingsFileReader::value(const Scalar &scalar)
{
    m_keyPending = false;
    if (m_skipDepth > 0)
        return;
    Frame &frame = m_stack.back();
    if (frame.node == Node::EntryList) {
        entryValue(frame, scalar);
        return;
    }
    if (isList(frame.node)) {
        damaged(QStringLiteral("%1 %2").arg(
            elementPath(frame), frame.node == Node::Entries ? QStringLiteral("must be a list or a JSON object") : mustBe(Type::Object)));
    }
    const int field = frame.field;
    frame.field = -1;
    if (field < 0)
        return;
    const Field &shape = fieldsOf(frame.node).fields[field];
    if (shape.type == Type::Object || shape.type == Type::List)
        damaged(QStringLiteral("%1 %2").arg(fieldPath(shape.name), mustBe(shape.type)));
    const char *name = shape.name;

    switch (frame.node) {
    case Node::Top:
        if (field == TopContents) {
            const QString contents = text(scalar, name);
            m_migrationState = contents == QLatin1String(ContentsMigrationState);
            if (!m_migrationState && contents != QLatin1String(ContentsSettings))
                damaged(QStringLiteral("contents must be \"%1\" or \"%2\"")
                            .arg(QLatin1String(ContentsSettings), QLatin1String(ContentsMigrationState)));
        } else if (field == TopJobName) {
            Snapshot.JobName = text(scalar, name);
        } else if (field == TopNextFolderID) {
            Snapshot.NextFolderID = int(wholeNumber(scalar, name, 0, modLimits::MaxNextID));
        } else if (field == TopNextComputerID) {
            Snapshot.NextComputerID = int(wholeNumber(scalar, name, 0, modLimits::MaxNextID));
            // A file lists at most this many, and each takes some twenty
            // bytes at least: a damaged number reserves nothing the file
            // could not fill.
            Snapshot.Computers.reserve(std::min<qsizetype>(Snapshot.NextComputerID, m_size / 20));
        }
        // "format" and "version" are kept by the top-level tracking.
        break;
    case Node::Passwords:
        if (field == PwIncluded)
            m_included = flag(scalar, name);
        else if (field == PwCipher)
            m_cipher = text(scalar, name);
        else if (field == PwCheck)
            m_checkText = text(scalar, name).toLatin1();
        break;
    case Node::Kdf:
        if (field == KdfAlgorithmField)
            m_algorithm = text(scalar, name);
        else if (field == KdfSalt)
            m_saltText = text(scalar, name).toLatin1();
        else if (field == KdfOpsLimit)
            m_opsLimit = wholeNumber(scalar, name, 0, std::numeric_limits<qint64>::max());
        else
            m_memLimit = wholeNumber(scalar, name, 0, std::numeric_limits<qint64>::max());
        break;
    case Node::Folder:
        if (field == FolderID)
            m_folder.ID = int(wholeNumber(scalar, name, 0, std::numeric_limits<int>::max()));
        else if (field == FolderName)
            m_folder.Name = text(scalar, name);
        else
            m_folder.ParentID = int32(scalar, name);
        break;
    case Node::Computer:
        switch (field) {
        case ComputerID:
            m_computer.ID = int(wholeNumber(scalar, name, 0, std::numeric_limits<int>::max()));
            break;
        case ComputerName:
            m_computer.Name = text(scalar, name);
            break;
        case ComputerDNSName:
            m_computer.DNSName = text(scalar, name);
            break;
        case ComputerOU:
            m_computer.OU = text(scalar, name);
            break;
        case ComputerFolderID:
            m_computer.FolderID = int32(scalar, name);
            break;
        case ComputerWave:
            m_computer.Wave = text(scalar, name);
            break;
        case ComputerDirectoryID:
            m_computer.DirectoryID = text(scalar, name);
            break;
        case ComputerEnabled:
            m_computer.Enabled = flag(scalar, name);
            break;
        default:
            m_status = text(scalar, name);
            break;
        }
        break;
    case Node::Wave:
        if (field == WaveName) {
            m_wave.Name = text(scalar, name);
        } else if (field == WaveNotBefore) {
            const QString time = text(scalar, name);
            // Only UTC with its "Z": a time without a zone would mean another
            // moment on every console that loads the file.
            m_wave.NotBefore = QDateTime::fromString(time, Qt::ISODateWithMs);
            if (!time.endsWith(QLatin1Char('Z')) || !m_wave.NotBefore.isValid())
                damaged(QStringLiteral("%1 must be a time in UTC such as 2026-12-09T21:00:00Z").arg(fieldPath(name)));
            m_wave.NotBefore = m_wave.NotBefore.toUTC();
        } else if (field == WaveConcurrency) {
            m_wave.Concurrency = int32(scalar, name);
        } else {
            m_wave.FailurePercent = int32(scalar, name);
        }
        break;
    case Node::UserList:
        if (field == ListTypeField) {
            const int type = int32(scalar, name);
            if (type != ListNone && (type < ListUserToUser || type > ListAllUsers))
                damaged(QStringLiteral("%1 must be -1 or 1 to 5").arg(fieldPath(name)));
            m_listType = type;
        } else if (field == ListNextID) {
            m_listNextID = int(wholeNumber(scalar, name, 0, modLimits::MaxUserListIDs));
        }
        break;
    case Node::EntryObject: {
        RawEntry &raw = m_entries.back();
        MigrationUsers &entry = m_fullEntries[std::size_t(raw.full)];
        switch (field) {
        case EntryID:
            raw.ID = wholeNumber(scalar, name, 0, std::numeric_limits<int>::max());
            break;
        case EntryUsernameFrom:
            entry.UsernameFrom = text(scalar, name);
            break;
        case EntryUsernameTo:
            entry.UsernameTo = text(scalar, name);
            break;
        case EntryUseSIDFrom:
            entry.UseSIDFrom = flag(scalar, name);
            break;
        case EntryUseSIDTo:
            entry.UseSIDTo = flag(scalar, name);
            break;
        case EntrySIDFrom:
            entry.SIDFrom = text(scalar, name);
            break;
        default:
            entry.SIDTo = text(scalar, name);
            break;
        }
        break;
    }
    case Node::Setting:
        if (field == SettingObjectType) {
            m_record.ObjectType = text(scalar, name);
        } else if (field == SettingAssociatedID) {
            m_record.AssociatedID = int32(scalar, name);
        } else if (field == SettingValid) {
            m_record.Valid = flag(scalar, name);
        } else {
            const RecordField &record = RecordFields[field - SettingFirstRecordField];
            if (record.number)
                m_record.*record.number = int32(scalar, name);
            else
                m_record.*record.text = text(scalar, name);
        }
        break;
    case Node::Account:
        if (field == AccountUsername)
            m_accountUser = text(scalar, name);
        else if (field == AccountDomain)
            m_accountDomain = text(scalar, name);
        else
            m_accountPassword = text(scalar, name).toUtf8();
        break;
    default:
        break;
    }
}

void SettingsFileReader::entryValue(Frame &frame, const Scalar &scalar)
{
    RawEntry &raw = m_entries.back();
    const int position = frame.count++;
    if (position == 0) {
        if (scalar.kind == Scalar::Signed || scalar.kind == Scalar::Unsigned)
            raw.ID = wholeNumber(scalar, "id", 0, std::numeric_limits<int>::max());
        else
            raw.wellFormed = false;
    } else if (position <= 2 && scalar.kind == Scalar::Text) {
        if (qsizetype(scalar.text.size()) > modLimits::MaxTextBytes)
            damaged(QStringLiteral("%1[%2] is longer than %3 bytes").arg(here()).arg(position).arg(modLimits::MaxTextBytes));
        (position == 1 ? raw.firstStart : raw.secondStart) = qsizetype(m_entryText.size());
        (position == 1 ? raw.firstLength : raw.secondLength) = qsizetype(scalar.text.size());
        m_entryText.append(scalar.text);
    } else {
        raw.wellFormed = false;
    }
    raw.values = frame.count;
}

// ---------------------------------------------------------------- the whole file

QString SettingsFileReader::Finish()
{
    if (m_failed)
        return m_problem;
    try {
        for (int field :
            {TopContents, TopJobName, TopPasswords, TopNextFolderID, TopNextComputerID, TopFolders, TopComputers, TopSettings}) {
            if (!(m_topSeen & bit(field)))
                damaged(QStringLiteral("%1 is missing").arg(QLatin1String(TopFields[field].name)));
        }
        if (m_migrationState)
            Snapshot.LastStatus.emplace();
        checkVersion();
        checkFolders();
        checkComputers();
        checkSettings();
    } catch (const Problem &problem) {
        return problem.detail;
    }
    return QString();
}

const DatabaseSnapshot::Folder *SettingsFileReader::folder(int id) const
{
    const auto found
        = std::lower_bound(Snapshot.Folders.cbegin(), Snapshot.Folders.cend(), id, [](const auto &f, int v) { return f.ID < v; });
    return found != Snapshot.Folders.cend() && found->ID == id ? &*found : nullptr;
}

bool SettingsFileReader::hasComputer(int id) const
{
    const auto found
        = std::lower_bound(Snapshot.Computers.cbegin(), Snapshot.Computers.cend(), id, [](const auto &c, int v) { return c.ID < v; });
    return found != Snapshot.Computers.cend() && found->ID == id;
}

void SettingsFileReader::checkFolders()
{
    checkIDs(Snapshot.Folders, Snapshot.NextFolderID, QStringLiteral("folders"), QStringLiteral("nextFolderID"), "folder");
    for (const DatabaseSnapshot::Folder &f : std::as_const(Snapshot.Folders)) {
        if (f.ParentID != -1 && !folder(f.ParentID))
            damaged(QStringLiteral("folder %1 has the parent %2, which is not among the folders").arg(f.ID).arg(f.ParentID));
    }
    // Every chain of parents must reach the root. Each folder is walked once:
    // a walk stops at the first folder an earlier walk has shown to reach the
    // root, so a deep chain costs its length, not its length squared.
    enum : char { Unknown, OnWalk, ReachesRoot };
    std::vector<char> state(static_cast<size_t>(Snapshot.Folders.size()), Unknown);
    const auto indexOf = [&](int id) { return static_cast<size_t>(folder(id) - Snapshot.Folders.constData()); };
    std::vector<size_t> walk;
    for (qsizetype i = 0; i < Snapshot.Folders.size(); ++i) {
        walk.clear();
        int id = Snapshot.Folders[i].ID;
        while (id != -1) {
            const size_t at = indexOf(id);
            if (state[at] == ReachesRoot)
                break;
            if (state[at] == OnWalk)
                damaged(QStringLiteral("folder %1 is inside itself (its parents form a loop)").arg(id));
            state[at] = OnWalk;
            walk.push_back(at);
            id = Snapshot.Folders[qsizetype(at)].ParentID;
        }
        for (const size_t at : walk)
            state[at] = ReachesRoot;
    }
}

void SettingsFileReader::checkVersion() const
{
    // Parse only lets versions up to the codec's through.
    const bool plain = m_version.kind == Version::Signed ? m_version.SignedValue <= SettingsFileCodec::PlainVersion
                                                         : m_version.UnsignedValue <= quint64(SettingsFileCodec::PlainVersion);
    if (!plain)
        return;
    // An older console would drop these without a word; a file that claims
    // it can be read there must not hold them.
    const QString field = (m_topSeen & bit(TopWaves)) ? QStringLiteral("waves") : m_firstWaveField;
    if (!field.isEmpty())
        damaged(QStringLiteral("%1 needs format version %2, but the file says version %3")
                    .arg(field)
                    .arg(SettingsFileCodec::FormatVersion)
                    .arg(SettingsFileCodec::PlainVersion));
}

void SettingsFileReader::checkComputers()
{
    Snapshot.Waves = m_waves.all();
    for (qsizetype i = 0; i < Snapshot.Computers.size(); ++i) {
        DatabaseSnapshot::Computer &computer = Snapshot.Computers[i];
        if (computer.Wave.isEmpty())
            continue;
        const QString wave = m_waves.canonicalName(computer.Wave);
        if (wave.isEmpty())
            damaged(QStringLiteral("computers[%1] (%2) is in the wave \"%3\", which is not among the waves")
                        .arg(i)
                        .arg(computer.Name.left(64), computer.Wave.left(WaveList::MaxNameLength)));
        computer.Wave = wave;
    }
    // In file order, so that a message names the computer as the file lists it.
    for (qsizetype i = 0; i < Snapshot.Computers.size(); ++i) {
        const int folderID = Snapshot.Computers[i].FolderID;
        if (folderID != -1 && !folder(folderID))
            damaged(QStringLiteral("computers[%1] is in folder %2, which is not among the folders").arg(i).arg(folderID));
    }
    for (const auto &[position, status] : std::as_const(m_statuses)) {
        if (!m_migrationState)
            damaged(QStringLiteral("computers[%1].lastStatus is only allowed in a migration state file").arg(position));
        Snapshot.LastStatus->insert(Snapshot.Computers[position].ID, status);
    }
    checkIDs(Snapshot.Computers, Snapshot.NextComputerID, QStringLiteral("computers"), QStringLiteral("nextComputerID"), "computer");
}

void SettingsFileReader::checkSettings()
{
    if (Snapshot.Settings.isEmpty())
        damaged(QStringLiteral("settings must hold at least the global record"));
    QSet<QString> owners;
    for (qsizetype i = 0; i < Snapshot.Settings.size(); ++i) {
        const GlobalSettings &record = Snapshot.Settings[i];
        const QString label = QStringLiteral("settings[%1]").arg(i);
        if (i == 0) {
            if (record.ObjectType != QLatin1String("G") || record.AssociatedID != -1)
                damaged(QStringLiteral("settings[0] must be the global record (objectType \"G\", associatedID -1)"));
        } else if (record.ObjectType == QLatin1String("F")) {
            if (!folder(record.AssociatedID))
                damaged(QStringLiteral("%1 belongs to folder %2, which is not among the folders").arg(label).arg(record.AssociatedID));
        } else if (record.ObjectType == QLatin1String("C")) {
            if (!hasComputer(record.AssociatedID))
                damaged(QStringLiteral("%1 belongs to computer %2, which is not among the computers").arg(label).arg(record.AssociatedID));
        } else {
            damaged(QStringLiteral("%1.objectType must be \"F\" or \"C\" (only settings[0] is global)").arg(label));
        }
        const QString owner = DatabaseSnapshot::OwnerKey(record);
        if (owners.contains(owner))
            damaged(QStringLiteral("%1 is a second settings record of %2").arg(label, owner));
        owners.insert(owner);
    }

    if (!PasswordsIncluded) {
        // Never take a password that stands in the file unsealed.
        if (!m_passwords.isEmpty())
            damaged(QStringLiteral("%1.password is given although the file says passwords are left out")
                        .arg(accountPath(m_passwords.first().record, m_passwords.first().userType)));
        return;
    }
    // Every account has a box, empty passwords included, so the file does not tell which have one.
    std::vector<std::uint32_t> given(size_t(Snapshot.Settings.size()), 0);
    for (const AccountPassword &password : std::as_const(m_passwords))
        given[size_t(password.record)] |= bit(password.userType);
    for (qsizetype i = 0; i < Snapshot.Settings.size(); ++i) {
        for (int type = 0; type < UserTypeCount; ++type) {
            if (!(given[size_t(i)] & bit(type)))
                damaged(QStringLiteral("%1.password is missing").arg(accountPath(i, type)));
        }
    }
    Sealed.reserve(m_passwords.size());
    for (const AccountPassword &password : std::as_const(m_passwords)) {
        const QString path = accountPath(password.record, password.userType) + QStringLiteral(".password");
        Sealed.append({password.record, password.userType, decodeBase64(password.text, -1, path), path});
    }
}
