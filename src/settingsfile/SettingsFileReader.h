#pragma once

#include "database/WaveList.h"
#include "settingsfile/DatabaseSnapshot.h"
#include "settingsfile/PasswordSealer.h"
#include "settingsfile/UserListBuilder.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <string_view>

// Reads the JSON of a settings file in one pass, straight into a
// DatabaseSnapshot, with every check of the format (docs/settings-file.md).
//
// A file of 100,000 computers holds a million user migrations; a document
// tree of it costs seconds and gigabytes, so the reader takes the parser's
// events as they come and keeps only what the snapshot needs. Checks that
// need the whole file (IDs below the next IDs, parents, owners, the
// passwords against "included") run in Finish, once the parse is complete,
// so the members of an object may come in any order, as JSON allows.
//
// The first problem found is kept and the rest of the file is only parsed:
// a broken JSON text further on, a file of another format or of a newer
// version must still be reported as such rather than as a damaged field.
class SettingsFileReader
{
public:
    // A sealed password waiting for the passphrase.
    struct SealedPassword
    {
        qsizetype Record = 0;
        int UserType = 0;
        QByteArray Box;
        QString Path;
    };

    // The fields of a settings record between "valid" and "accounts", in
    // the order the file lists them; each is a whole number or a text.
    struct RecordField
    {
        const char *name;
        int GlobalSettings::*number;
        QString GlobalSettings::*text;
    };
    static const RecordField RecordFields[18];
    // Account slots by user type, as the file names them.
    static const char *const AccountNames[UserTypeCount];

    // The top-level "version" as found: Kind tells whether it was a whole number.
    struct Version
    {
        enum Kind { Missing, Signed, Unsigned, Other } kind = Missing;
        qint64 SignedValue = 0;
        quint64 UnsignedValue = 0;
    };

    // Parses the whole text, from where the device stands to its end. False
    // when it is not valid JSON, or when reading failed (ReadFailed; the
    // device's errorString says why); SyntaxOffset (0-based, the size of
    // the text at its end) and SyntaxDetail say where and why.
    bool Parse(QIODevice &device);
    bool ReadFailed() const { return m_readFailed; }
    // Memory ran out while the user lists were filled.
    bool OutOfMemory() const { return m_outOfMemory; }
    // A text or member name past modLimits::MaxTextBytes stopped the read
    // where it stood; Finish() names it.
    bool TextTooLong() const { return m_textTooLong; }
    qsizetype SyntaxOffset() const { return m_syntaxOffset; }
    QString SyntaxDetail() const { return m_syntaxDetail; }

    // Top-level "format" was text with this value.
    bool HasFormat(const QString &name) const { return m_format && QString::fromStdString(*m_format) == name; }
    bool KnowsFormat() const { return m_format.has_value(); }
    const Version &FileVersion() const { return m_version; }

    // After a successful parse of a file of the right format and version:
    // checks what needs the whole file. Empty text when everything holds,
    // else what is wrong (to follow "is damaged: ").
    QString Finish();

    DatabaseSnapshot Snapshot;
    bool PasswordsIncluded = false;
    std::optional<PasswordSealer::Parameters> Sealing;
    QByteArray Check;
    QList<SealedPassword> Sealed;

    // --- The parser's events (a RapidJSON reader handler) -----------------
    bool Null();
    bool Bool(bool value);
    bool Int(int value) { return Int64(value); }
    bool Uint(unsigned value) { return Uint64(value); }
    bool Int64(std::int64_t value);
    bool Uint64(std::uint64_t value);
    bool Double(double value);
    bool RawNumber(const char *, unsigned, bool) { return Double(0); }
    bool String(const char *text, unsigned length, bool copy);
    bool StartObject();
    bool Key(const char *name, unsigned length, bool copy);
    bool EndObject(unsigned members);
    bool StartArray();
    bool EndArray(unsigned elements);

    // The kinds of JSON objects and lists the format has; public only for the
    // tables in the implementation.
    enum class Node : std::uint8_t {
        Top,
        Passwords,
        Kdf,
        Folders,
        Folder,
        Computers,
        Computer,
        UserList,
        Entries,
        EntryList, // [id, text, text] or [id]
        EntryObject, // an entry that does not fit its list's short form
        Settings,
        Setting,
        Waves,
        Wave,
        Accounts,
        Account,
    };

    struct Scalar;

private:
    struct Frame
    {
        Node node;
        // The member whose value comes next (objects), -1 for none or an unknown one.
        int field = -1;
        // Members given so far (objects), one bit per field.
        std::uint32_t seen = 0;
        // Elements so far (lists).
        int count = 0;
        // Where the frame sits in its parent: a member name or a list index.
        const char *name = nullptr;
        int index = -1;
    };

    // A compact or full user-list entry as read, before its list's kind is known.
    struct RawEntry
    {
        qint64 ID = -1;
        int values = 0; // -1 for the full form
        bool wellFormed = true;
        // The short form's two texts, in m_entryText.
        qsizetype firstStart = 0;
        qsizetype firstLength = 0;
        qsizetype secondStart = 0;
        qsizetype secondLength = 0;
        // The full form: its index in m_fullEntries.
        int full = -1;
    };

    struct AccountPassword
    {
        qsizetype record;
        int userType;
        QByteArray text;
    };

    void value(const Scalar &scalar);
    void open(bool isObject);
    void close();
    void member(std::string_view name);

    void entryValue(Frame &frame, const Scalar &scalar);
    void closeObject(const Frame &frame);
    void closeUserList();
    void closePasswords(const Frame &frame);
    void closeWave(const Frame &frame);

    // The first problem: later events only keep the top-level tracking.
    template<typename Body> bool guarded(Body body);

    QString pathOf(std::size_t depth) const;
    QString here() const { return pathOf(m_stack.size() - 1); }
    QString longTextPath() const;
    QString fieldPath(const char *name) const;
    QString elementPath(const Frame &list) const;
    [[noreturn]] void missing(const Frame &frame, int field) const;
    void requireFields(const Frame &frame, std::uint32_t required) const;


    qint64 wholeNumber(const Scalar &scalar, const char *name, qint64 min, qint64 max) const;
    int int32(const Scalar &scalar, const char *name) const;
    QString text(const Scalar &scalar, const char *name) const;
    bool flag(const Scalar &scalar, const char *name) const;

    const DatabaseSnapshot::Folder *folder(int id) const;
    bool hasComputer(int id) const;
    void checkFolders();
    void checkVersion() const;
    void checkComputers();
    void checkSettings();

    std::vector<Frame> m_stack;
    int m_skipDepth = 0; // inside a value of an unknown member
    std::uint32_t m_topSeen = 0;
    bool m_failed = false;
    QString m_problem;

    // Top-level tracking, kept even after a problem.
    int m_depth = 0;
    std::string m_topKey;
    std::optional<std::string> m_format;
    Version m_version;

    qsizetype m_size = 0;
    qsizetype m_syntaxOffset = -1;
    bool m_readFailed = false;
    bool m_outOfMemory = false;
    bool m_textTooLong = false;
    // A member name came and its value has not begun.
    bool m_keyPending = false;
    QString m_syntaxDetail;

    // What is being read.
    bool m_migrationState = false;
    DatabaseSnapshot::Folder m_folder;
    DatabaseSnapshot::Computer m_computer;
    std::optional<QString> m_status;
    WaveRecord m_wave;
    WaveList m_waves;
    // The first member of a computer that version 1 does not have, for the message.
    QString m_firstWaveField;
    std::vector<RawEntry> m_entries;
    std::vector<MigrationUsers> m_fullEntries;
    // After Snapshot, so that it is gone, its thread stopped, before the
    // lists it fills are.
    UserListBuilder m_lists;
    // The texts of the list being read, one after the other in UTF-8 as
    // the lists keep them; kept from list to list, so that reading them
    // allocates nothing once it has grown.
    std::string m_entryText;
    int m_listType = ListNone;
    int m_listNextID = 0;
    qint64 m_allUserIDs = 0;
    GlobalSettings m_record;
    int m_accountType = -1;
    QString m_accountUser;
    QString m_accountDomain;
    std::optional<QByteArray> m_accountPassword;
    QList<AccountPassword> m_passwords;
    // The passwords object.
    std::optional<bool> m_included;
    bool m_hasKdf = false;
    QString m_algorithm;
    QString m_cipher;
    QByteArray m_saltText;
    qint64 m_opsLimit = 0;
    qint64 m_memLimit = 0;
    QByteArray m_checkText;
    // Computers with a status, by file position (a status is allowed only in a migration state).
    QList<QPair<qsizetype, QString>> m_statuses;
};
