#include "settingsfile/SettingsFileCodec.h"

#include "common/modLimits.h"
#include "settingsfile/PieceReader.h"
#include "settingsfile/SettingsFileReader.h"

#include <QBuffer>
#include <QDir>

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>

const QString SettingsFileCodec::FormatName = QStringLiteral("varno-osk-settings");

namespace {

const char *const ContentsSettings = "settings";
const char *const ContentsMigrationState = "migration state";
const char *const KdfAlgorithm = "argon2id13";
const char *const Cipher = "xchacha20poly1305-ietf";

QString quoted(const QString &fileName)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(fileName) + QLatin1Char('"');
}

// ---------------------------------------------------------------- writing

// The JSON text of a settings file, written straight into a buffer that
// goes to the sink whenever it is full: the layout is fixed
// (docs/settings-file.md), and a document tree of a million user
// migrations, or the whole text at once, would cost more than the writing.
class JsonText
{
public:
    static constexpr std::size_t PieceSize = 1 << 20;

    explicit JsonText(const SettingsFileCodec::Sink &sink)
        : m_sink(sink)
    {
        m_out.reserve(PieceSize + PieceSize / 4);
    }

    void raw(std::string_view text) { m_out.append(text); }
    // A line end (CR LF, like every file the console writes) and `indent` spaces.
    void line(int indent)
    {
        m_out.append("\r\n");
        if (m_out.size() >= PieceSize)
            flush();
        m_out.append(std::size_t(indent), ' ');
    }
    // False when the sink refused a piece; what comes after it is dropped.
    bool flush()
    {
        if (!m_failed && !m_out.empty())
            m_failed = !m_sink(m_out.data(), qsizetype(m_out.size()));
        m_out.clear();
        return !m_failed;
    }
    void key(std::string_view name)
    {
        m_out.push_back('"');
        m_out.append(name);
        m_out.append("\": ");
    }
    void number(qint64 value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        m_out.append(digits, std::size_t(end - digits));
    }
    void unsignedNumber(quint64 value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        m_out.append(digits, std::size_t(end - digits));
    }
    void flag(bool value) { m_out.append(value ? "true" : "false"); }
    // ASCII or UTF-8, byte for byte.
    void text(std::string_view bytes)
    {
        m_out.push_back('"');
        for (char c : bytes)
            escaped(c);
        m_out.push_back('"');
    }
    void text(QUtf8StringView utf8) { text(std::string_view(utf8.data(), std::size_t(utf8.size()))); }
    // UTF-8 as it is, not as \u escapes; quotes, backslashes and control
    // characters escaped as JSON requires.
    void text(QStringView value)
    {
        m_out.push_back('"');
        const char16_t *chars = value.utf16();
        const qsizetype size = value.size();
        qsizetype i = 0;
        for (; i < size && chars[i] < 0x80; ++i)
            escaped(char(chars[i]));
        if (i < size) {
            // Rare outside names from other alphabets: let Qt encode the
            // rest (pairs and lone surrogates alike).
            const QByteArray rest = value.mid(i).toUtf8();
            for (char c : rest)
                escaped(c);
        }
        m_out.push_back('"');
    }

private:
    void escaped(char c)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && c != '"' && c != '\\') {
            m_out.push_back(c);
            return;
        }
        m_out.push_back('\\');
        switch (c) {
        case '"':
            m_out.push_back('"');
            break;
        case '\\':
            m_out.push_back('\\');
            break;
        case '\b':
            m_out.push_back('b');
            break;
        case '\f':
            m_out.push_back('f');
            break;
        case '\n':
            m_out.push_back('n');
            break;
        case '\r':
            m_out.push_back('r');
            break;
        case '\t':
            m_out.push_back('t');
            break;
        default: {
            static const char hex[] = "0123456789abcdef";
            m_out.append("u00");
            m_out.push_back(hex[byte >> 4]);
            m_out.push_back(hex[byte & 0xF]);
        }
        }
    }

    const SettingsFileCodec::Sink &m_sink;
    std::string m_out;
    bool m_failed = false;
};

// The short form of an entry holds only what its list's kind uses; an entry
// with anything else set is written in full, so nothing is lost.
bool fitsShortForm(const MigrationUserView &entry, int listType)
{
    switch (listType) {
    case ListUserToUser:
        return !entry.UseSIDFrom && !entry.UseSIDTo && entry.SIDFrom.isEmpty() && entry.SIDTo.isEmpty();
    case ListUserToSID:
        return !entry.UseSIDFrom && entry.UseSIDTo && entry.SIDFrom.isEmpty() && entry.UsernameTo.isEmpty();
    case ListSIDToUser:
        return entry.UseSIDFrom && !entry.UseSIDTo && entry.UsernameFrom.isEmpty() && entry.SIDTo.isEmpty();
    case ListSIDToSID:
        return entry.UseSIDFrom && entry.UseSIDTo && entry.UsernameFrom.isEmpty() && entry.UsernameTo.isEmpty();
    case ListAllUsers:
        return entry.UsernameFrom == AllUsersUtf8 && entry.UsernameTo == AllUsersUtf8 && !entry.UseSIDFrom && !entry.UseSIDTo
            && entry.SIDFrom.isEmpty() && entry.SIDTo.isEmpty();
    default:
        return false;
    }
}

void writeEntry(JsonText &out, int id, const MigrationUserView &entry, int listType)
{
    if (!fitsShortForm(entry, listType)) {
        out.raw("{\"id\": ");
        out.number(id);
        auto textField = [&](std::string_view name, QUtf8StringView value) {
            if (value.isEmpty())
                return;
            out.raw(", ");
            out.key(name);
            out.text(value);
        };
        auto flagField = [&](std::string_view name, bool value) {
            if (!value)
                return;
            out.raw(", ");
            out.key(name);
            out.flag(true);
        };
        textField("usernameFrom", entry.UsernameFrom);
        textField("usernameTo", entry.UsernameTo);
        flagField("useSIDFrom", entry.UseSIDFrom);
        flagField("useSIDTo", entry.UseSIDTo);
        textField("sidFrom", entry.SIDFrom);
        textField("sidTo", entry.SIDTo);
        out.raw("}");
        return;
    }
    out.raw("[");
    out.number(id);
    if (listType != ListAllUsers) {
        out.raw(", ");
        out.text(entry.UseSIDFrom ? entry.SIDFrom : entry.UsernameFrom);
        out.raw(", ");
        out.text(entry.UseSIDTo ? entry.SIDTo : entry.UsernameTo);
    }
    out.raw("]");
}

void writeComputer(JsonText &out, const DatabaseSnapshot::Computer &computer, const DatabaseSnapshot &snapshot)
{
    out.raw("{\"id\": ");
    out.number(computer.ID);
    out.raw(", \"name\": ");
    out.text(computer.Name);
    if (!computer.DNSName.isEmpty()) {
        out.raw(", \"dnsName\": ");
        out.text(computer.DNSName);
    }
    if (!computer.OU.isEmpty()) {
        out.raw(", \"ou\": ");
        out.text(computer.OU);
    }
    if (computer.FolderID != -1) {
        out.raw(", \"folderID\": ");
        out.number(computer.FolderID);
    }
    if (!computer.Wave.isEmpty()) {
        out.raw(", \"wave\": ");
        out.text(computer.Wave);
    }
    if (!computer.DirectoryID.isEmpty()) {
        out.raw(", \"directoryID\": ");
        out.text(computer.DirectoryID);
    }
    if (!computer.Enabled)
        out.raw(", \"enabled\": false");
    const UserProfiles &users = *computer.Users;
    const int listType = users.GetType();
    const int nextID = users.GetMaxID();
    if (listType != ListNone || nextID != 0) {
        out.raw(", \"userList\": {\"listType\": ");
        out.number(listType);
        out.raw(", \"nextID\": ");
        out.number(nextID);
        out.raw(", \"entries\": [");
        bool first = true;
        for (int id = 0; id < nextID; ++id) {
            const std::optional<MigrationUserView> entry = users.ViewUser(id);
            if (!entry)
                continue;
            out.raw(first ? "" : ", ");
            first = false;
            writeEntry(out, id, *entry, listType);
        }
        out.raw("]}");
    }
    if (snapshot.LastStatus) {
        if (const auto status = snapshot.LastStatus->constFind(computer.ID); status != snapshot.LastStatus->cend()) {
            out.raw(", \"lastStatus\": ");
            out.text(*status);
        }
    }
    out.raw("}");
}

void writeWave(JsonText &out, const WaveRecord &wave)
{
    out.raw("{\"name\": ");
    out.text(wave.Name);
    if (wave.NotBefore.isValid()) {
        out.raw(", \"notBefore\": ");
        const QDateTime utc = wave.NotBefore.toUTC();
        out.text(utc.toString(utc.time().msec() == 0 ? Qt::ISODate : Qt::ISODateWithMs));
    }
    if (wave.Concurrency != 0) {
        out.raw(", \"concurrency\": ");
        out.number(wave.Concurrency);
    }
    if (wave.FailurePercent != -1) {
        out.raw(", \"failurePercent\": ");
        out.number(wave.FailurePercent);
    }
    out.raw("}");
}

void writeSettings(JsonText &out, const GlobalSettings &record, const PasswordSealer *sealer)
{
    constexpr int indent = 6;
    out.raw("{");
    out.line(indent);
    out.key("objectType");
    out.text(record.ObjectType);
    out.raw(",");
    out.line(indent);
    out.key("associatedID");
    out.number(record.AssociatedID);
    out.raw(",");
    out.line(indent);
    out.key("valid");
    out.flag(record.Valid);
    for (const SettingsFileReader::RecordField &field : SettingsFileReader::RecordFields) {
        out.raw(",");
        out.line(indent);
        out.key(field.name);
        if (field.number)
            out.number(record.*field.number);
        else
            out.text(record.*field.text);
    }
    out.raw(",");
    out.line(indent);
    out.key("accounts");
    out.raw("{");
    const QString owner = DatabaseSnapshot::OwnerKey(record);
    for (int type = 0; type < UserTypeCount; ++type) {
        const AccountRecord &account = record.account(type);
        out.raw(type == 0 ? "" : ",");
        out.line(indent + 2);
        out.key(SettingsFileReader::AccountNames[type]);
        out.raw("{\"username\": ");
        out.text(account.Username);
        out.raw(", \"domain\": ");
        out.text(account.Domain);
        if (sealer) {
            out.raw(", \"password\": ");
            out.text(std::string_view(sealer->Seal(owner, type, account.Password).toBase64().constData()));
        }
        out.raw("}");
    }
    out.line(indent);
    out.raw("}");
    out.line(indent - 2);
    out.raw("}");
}

// 1-based line and column of the byte at `offset` (0-based) of the device,
// read again from its start.
std::pair<qint64, qint64> lineAndColumn(QIODevice &device, qint64 offset)
{
    qint64 line = 1;
    qint64 lineStart = 0;
    qint64 position = 0;
    if (!device.reset())
        return {line, offset + 1};
    PieceReader pieces(device);
    for (; !pieces.AtEnd() && position < offset; ++position) {
        if (pieces.Take() == '\n') {
            ++line;
            lineStart = position + 1;
        }
    }
    return {line, std::max<qint64>(offset, 0) - lineStart + 1};
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The first byte of the text after a UTF-8 byte order mark and blanks; -1
// when there is none, -2 when reading failed. The device is back at its
// start afterwards.
int firstSignificantByte(QIODevice &device)
{
    int found = -1;
    if (device.peek(3) == "\xEF\xBB\xBF")
        device.skip(3);
    {
        PieceReader pieces(device);
        while (!pieces.AtEnd()) {
            const char c = pieces.Take();
            if (!isBlank(c)) {
                found = static_cast<unsigned char>(c);
                break;
            }
        }
        if (pieces.Failed())
            found = -2;
    }
    device.reset();
    return found;
}

// A text that would not fit; `label` names it.
struct TooLong
{
    QString label;
};

bool fitsText(QStringView text)
{
    // Most texts are short: only a long one is measured.
    return text.size() <= modLimits::MaxTextLength || modLimits::TextFits(text);
}

bool fitsText(QUtf8StringView text)
{
    return text.size() <= modLimits::MaxTextBytes;
}

// The label is made only for a text that does not fit: a database of
// 100,000 computers would otherwise spend more on labels than on saving.
template<typename Text, typename Label> void fits(const Text &text, const Label &label)
{
    if (!fitsText(text))
        throw TooLong {label()};
}

QString computerLabel(const DatabaseSnapshot &snapshot, qsizetype i)
{
    return QStringLiteral("computers[%1] (%2)").arg(i).arg(snapshot.Computers[i].Name.left(64));
}

} // namespace

QByteArray SettingsFileCodec::Encode(const DatabaseSnapshot &snapshot, const PasswordSealer *sealer)
{
    QByteArray bytes;
    Encode(snapshot, sealer, [&](const char *data, qsizetype size) {
        bytes.append(data, size);
        return true;
    });
    return bytes;
}

bool SettingsFileCodec::Encode(const DatabaseSnapshot &snapshot, const PasswordSealer *sealer, const Sink &write)
{
    JsonText out(write);
    out.raw("{");
    out.line(2);
    out.key("format");
    out.text(FormatName);
    out.raw(",");
    out.line(2);
    out.key("version");
    out.number(snapshot.NeedsWaves() ? FormatVersion : PlainVersion);
    out.raw(",");
    out.line(2);
    out.key("contents");
    out.text(std::string_view(snapshot.LastStatus ? ContentsMigrationState : ContentsSettings));
    out.raw(",");
    out.line(2);
    out.key("jobName");
    out.text(snapshot.JobName);
    out.raw(",");

    out.line(2);
    out.key("passwords");
    out.raw("{");
    out.line(4);
    out.key("included");
    out.flag(sealer != nullptr);
    if (sealer) {
        const PasswordSealer::Parameters &parameters = sealer->parameters();
        out.raw(",");
        out.line(4);
        out.key("kdf");
        out.raw("{");
        out.line(6);
        out.key("algorithm");
        out.text(std::string_view(KdfAlgorithm));
        out.raw(",");
        out.line(6);
        out.key("salt");
        out.text(std::string_view(parameters.Salt.toBase64().constData()));
        out.raw(",");
        out.line(6);
        out.key("opsLimit");
        out.unsignedNumber(parameters.KdfCost.OpsLimit);
        out.raw(",");
        out.line(6);
        out.key("memLimit");
        out.unsignedNumber(parameters.KdfCost.MemLimit);
        out.line(4);
        out.raw("},");
        out.line(4);
        out.key("cipher");
        out.text(std::string_view(Cipher));
        out.raw(",");
        out.line(4);
        out.key("check");
        out.text(std::string_view(sealer->CheckValue().toBase64().constData()));
    }
    out.line(2);
    out.raw("},");

    out.line(2);
    out.key("nextFolderID");
    out.number(snapshot.NextFolderID);
    out.raw(",");
    out.line(2);
    out.key("nextComputerID");
    out.number(snapshot.NextComputerID);
    out.raw(",");
    if (!snapshot.Waves.isEmpty()) {
        out.line(2);
        out.key("waves");
        out.raw("[");
        for (qsizetype i = 0; i < snapshot.Waves.size(); ++i) {
            out.raw(i == 0 ? "" : ",");
            out.line(4);
            writeWave(out, snapshot.Waves[i]);
        }
        out.line(2);
        out.raw("],");
    }

    // Folders and computers one to a line: a database of 100,000 computers
    // stays a file that a text editor opens and grep searches.
    out.line(2);
    out.key("folders");
    out.raw("[");
    for (qsizetype i = 0; i < snapshot.Folders.size(); ++i) {
        const DatabaseSnapshot::Folder &folder = snapshot.Folders[i];
        out.raw(i == 0 ? "" : ",");
        out.line(4);
        out.raw("{\"id\": ");
        out.number(folder.ID);
        out.raw(", \"name\": ");
        out.text(folder.Name);
        if (folder.ParentID != -1) {
            out.raw(", \"parentID\": ");
            out.number(folder.ParentID);
        }
        out.raw("}");
    }
    if (!snapshot.Folders.isEmpty())
        out.line(2);
    out.raw("],");

    out.line(2);
    out.key("computers");
    out.raw("[");
    for (qsizetype i = 0; i < snapshot.Computers.size(); ++i) {
        out.raw(i == 0 ? "" : ",");
        out.line(4);
        writeComputer(out, snapshot.Computers[i], snapshot);
    }
    if (!snapshot.Computers.isEmpty())
        out.line(2);
    out.raw("],");

    out.line(2);
    out.key("settings");
    out.raw("[");
    for (qsizetype i = 0; i < snapshot.Settings.size(); ++i) {
        out.raw(i == 0 ? "" : ",");
        out.line(4);
        writeSettings(out, snapshot.Settings[i], sealer);
    }
    if (!snapshot.Settings.isEmpty())
        out.line(2);
    out.raw("]");
    out.line(0);
    out.raw("}");
    out.line(0);
    return out.flush();
}

QString SettingsFileCodec::Refusal(const DatabaseSnapshot &snapshot, bool passwords)
{
    if (snapshot.NextFolderID > modLimits::MaxNextID || snapshot.NextComputerID > modLimits::MaxNextID)
        return QStringLiteral("the database has handed out more than %1 IDs").arg(modLimits::MaxNextID);
    qint64 allUserIDs = 0;
    for (qsizetype i = 0; i < snapshot.Computers.size(); ++i) {
        const UserProfiles &users = *snapshot.Computers[i].Users;
        if (users.GetMaxID() > modLimits::MaxUserListIDs)
            return QStringLiteral("the user list of %1 has handed out more than %2 IDs")
                .arg(computerLabel(snapshot, i))
                .arg(modLimits::MaxUserListIDs);
        allUserIDs += users.GetMaxID();
    }
    if (allUserIDs > modLimits::MaxAllUserListIDs)
        return QStringLiteral("the user lists have handed out more than %1 IDs together").arg(modLimits::MaxAllUserListIDs);

    try {
        fits(snapshot.JobName, [] { return QStringLiteral("jobName"); });
        for (qsizetype i = 0; i < snapshot.Folders.size(); ++i)
            fits(snapshot.Folders[i].Name, [i] { return QStringLiteral("folders[%1].name").arg(i); });
        for (qsizetype i = 0; i < snapshot.Computers.size(); ++i) {
            const DatabaseSnapshot::Computer &computer = snapshot.Computers[i];
            const auto label = [&](const char *field) {
                return [&snapshot, i, field] { return computerLabel(snapshot, i) + QLatin1String(field); };
            };
            fits(computer.Name, [i] { return QStringLiteral("computers[%1].name").arg(i); });
            fits(computer.DNSName, label(".dnsName"));
            fits(computer.OU, label(".ou"));
            fits(computer.DirectoryID, label(".directoryID"));
            const UserProfiles &users = *computer.Users;
            for (int id = 0; id < users.GetMaxID(); ++id) {
                const std::optional<MigrationUserView> entry = users.ViewUser(id);
                if (!entry)
                    continue;
                for (QUtf8StringView text : {entry->UsernameFrom, entry->UsernameTo, entry->SIDFrom, entry->SIDTo})
                    fits(text, [&, id] { return computerLabel(snapshot, i) + QStringLiteral(".userList entry %1").arg(id); });
            }
            if (snapshot.LastStatus) {
                if (const auto status = snapshot.LastStatus->constFind(computer.ID); status != snapshot.LastStatus->cend())
                    fits(*status, label(".lastStatus"));
            }
        }
        for (qsizetype i = 0; i < snapshot.Settings.size(); ++i) {
            const GlobalSettings &record = snapshot.Settings[i];
            const auto label = [i](QString field) { return [i, field] { return QStringLiteral("settings[%1].").arg(i) + field; }; };
            fits(record.ObjectType, label(QStringLiteral("objectType")));
            for (const SettingsFileReader::RecordField &field : SettingsFileReader::RecordFields) {
                if (field.text)
                    fits(record.*field.text, label(QLatin1String(field.name)));
            }
            for (int type = 0; type < UserTypeCount; ++type) {
                const AccountRecord &account = record.account(type);
                const QString accountLabel = QStringLiteral("accounts.") + QLatin1String(SettingsFileReader::AccountNames[type]);
                fits(account.Username, label(accountLabel + QStringLiteral(".username")));
                fits(account.Domain, label(accountLabel + QStringLiteral(".domain")));
                if (passwords && modLimits::Utf8Bytes(account.Password) > modLimits::MaxPasswordBytes)
                    return QStringLiteral("settings[%1].%2.password is longer than %3 bytes, the most a sealed password holds")
                        .arg(i)
                        .arg(accountLabel)
                        .arg(modLimits::MaxPasswordBytes);
            }
        }
    } catch (const TooLong &text) {
        return text.label + QLatin1Char(' ') + modLimits::TooLong();
    }
    return QString();
}

SettingsFileCodec::Decoded SettingsFileCodec::Decode(const QByteArray &bytes, const QString &fileName, const QString &passphrase)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return Decode(buffer, fileName, passphrase);
}

SettingsFileCodec::Decoded SettingsFileCodec::Decode(QIODevice &device, const QString &fileName, const QString &passphrase)
{
    Decoded decoded;
    SettingsFileResult &result = decoded.Result;
    const QString file = quoted(fileName);
    auto refuse = [&](SettingsFileResult::Status status, const QString &message) {
        result.status = status;
        result.Message = message;
        return decoded;
    };
    auto cannotRead = [&] {
        return refuse(SettingsFileResult::CannotRead,
            QStringLiteral("The settings file %1 cannot be read: %2.").arg(file, device.errorString()));
    };

    const qint64 size = device.size();
    const int first = firstSignificantByte(device);
    if (first == -2)
        return cannotRead();
    if (first < 0)
        return refuse(SettingsFileResult::Truncated, QStringLiteral("The settings file %1 is empty.").arg(file));
    if (first != '{')
        return refuse(SettingsFileResult::NotSettingsFile, QStringLiteral("The file %1 is not a Varno-Osk settings file.").arg(file));

    SettingsFileReader reader;
    if (!reader.Parse(device)) {
        if (reader.ReadFailed())
            return cannotRead();
        if (reader.OutOfMemory())
            return refuse(SettingsFileResult::CannotRead,
                QStringLiteral("The settings file %1 cannot be read: there is not enough memory to load it.").arg(file));
        // The read stopped at the long text: what came before it tells
        // whether the file is one of ours at all.
        if (reader.TextTooLong()) {
            if (reader.KnowsFormat() && !reader.HasFormat(FormatName))
                return refuse(
                    SettingsFileResult::NotSettingsFile, QStringLiteral("The file %1 is not a Varno-Osk settings file.").arg(file));
            return refuse(SettingsFileResult::Damaged, QStringLiteral("The settings file %1 is damaged: %2.").arg(file, reader.Finish()));
        }
        const qsizetype offset = reader.SyntaxOffset();
        const auto [line, column] = lineAndColumn(device, offset);
        if (offset >= size)
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
                .arg(reader.SyntaxDetail()));
    }

    if (!reader.HasFormat(FormatName))
        return refuse(SettingsFileResult::NotSettingsFile, QStringLiteral("The file %1 is not a Varno-Osk settings file.").arg(file));

    const SettingsFileReader::Version &version = reader.FileVersion();
    const bool whole = version.kind == SettingsFileReader::Version::Signed || version.kind == SettingsFileReader::Version::Unsigned;
    const bool below1 = version.kind == SettingsFileReader::Version::Signed ? version.SignedValue < 1 : version.UnsignedValue < 1;
    if (!whole || below1)
        return refuse(SettingsFileResult::Damaged,
            QStringLiteral("The settings file %1 is damaged: version must be a whole number, 1 or more.").arg(file));
    const bool newer = version.kind == SettingsFileReader::Version::Signed ? version.SignedValue > FormatVersion
                                                                           : version.UnsignedValue > quint64(FormatVersion);
    if (newer)
        return refuse(SettingsFileResult::NewerVersion,
            QStringLiteral("The settings file %1 has format version %2, which is newer than this console can read (version %3). "
                           "Load it with a newer Varno-Osk console.")
                .arg(file,
                    version.kind == SettingsFileReader::Version::Signed ? QString::number(version.SignedValue)
                                                                        : QString::number(version.UnsignedValue))
                .arg(FormatVersion));

    if (const QString problem = reader.Finish(); !problem.isEmpty())
        return refuse(SettingsFileResult::Damaged, QStringLiteral("The settings file %1 is damaged: %2.").arg(file, problem));

    if (reader.PasswordsIncluded) {
        if (passphrase.isEmpty())
            return refuse(SettingsFileResult::PassphraseRequired,
                QStringLiteral("The passwords in the settings file %1 are sealed with a passphrase. Give the passphrase to load it.")
                    .arg(file));
        PasswordSealer sealer;
        if (!sealer.Derive(passphrase, *reader.Sealing))
            return refuse(SettingsFileResult::CannotRead,
                QStringLiteral("The settings file %1 cannot be read: there is not enough memory to derive its key.").arg(file));
        if (!sealer.Matches(reader.Check))
            return refuse(SettingsFileResult::WrongPassphrase,
                QStringLiteral("The passphrase for the settings file %1 is wrong; nothing was loaded.").arg(file));
        for (const SettingsFileReader::SealedPassword &box : std::as_const(reader.Sealed)) {
            GlobalSettings &record = reader.Snapshot.Settings[box.Record];
            const std::optional<QString> password = sealer.Open(DatabaseSnapshot::OwnerKey(record), box.UserType, box.Box);
            if (!password)
                return refuse(SettingsFileResult::Damaged,
                    QStringLiteral("The settings file %1 is damaged: %2 does not open with the passphrase.").arg(file, box.Path));
            const AccountRecord &account = record.account(box.UserType);
            record.SetUser(box.UserType, account.Username, *password, account.Domain);
        }
        decoded.Sealing = reader.Sealing;
    }

    decoded.Snapshot = std::move(reader.Snapshot);
    result.JobName = decoded.Snapshot.JobName;
    result.PasswordsIncluded = reader.PasswordsIncluded;
    result.LastStatus = decoded.Snapshot.LastStatus;
    return decoded;
}
