#pragma once

#include "settings/MigrationUsers.h"

#include <QHash>
#include <QString>
#include <QVarLengthArray>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

enum ListType : int {
    ListNone = -1,
    ListUserToUser = 1,
    ListUserToSID = 2,
    ListSIDToUser = 3,
    ListSIDToSID = 4,
    ListAllUsers = 5,
};

class UserProfiles;
// A computer's list is one object: the record, the panel and the dialogs share it.
using UserProfilesPtr = std::shared_ptr<UserProfiles>;

// One computer's user migrations, all of one kind. IDs are handed out in
// order and never reused; deleted entries stay in place, not Valid.
class UserProfiles
{
public:
    static UserProfilesPtr create() { return std::make_shared<UserProfiles>(); }

    // True on an empty list, or for the list's own kind unless that is all users.
    bool AllowAdd(int listType) const;

    bool AddAllUsers();
    bool AddUserToUser(const QString &usernameFrom, const QString &usernameTo);
    bool AddSIDToUser(const QString &sidFrom, const QString &usernameTo);
    void AddUserToSID(const QString &usernameFrom, const QString &sidTo);
    void AddSIDToSID(const QString &sidFrom, const QString &sidTo);

    // The same entries, stored alike (a copy is equal to its original).
    bool operator==(const UserProfiles &other) const
    {
        return m_listType == other.m_listType && m_nextID == other.m_nextID && m_entryCount == other.m_entryCount
            && m_entries == other.m_entries && m_bytes == other.m_bytes;
    }

    int GetMaxID() const { return m_nextID; }
    int GetType() const { return m_listType; }
    int GetUserCount() const;
    // A copy of the entry; empty for an ID without a valid entry.
    std::optional<MigrationUsers> GetUser(int id) const;
    // The entry where it stands, for walks over many lists (saving,
    // exporting, checking) that would otherwise copy every text.
    std::optional<MigrationUserView> ViewUser(int id) const;
    void DeleteUser(int id);

    // True when `usernameTo` already receives a profile, or an all-users entry exists.
    bool DestinationInUse(const QString &usernameTo) const;
    // The list has handed out every ID a settings file keeps for one list
    // (modLimits::MaxUserListIDs): the adds refuse, and change nothing.
    bool IsFull() const;

    // Upper index of the entry array as the growth rule counts it: 0 before the
    // first entry, then 10, 20, ... (storage holds the IDs handed out only).
    int UserCapacity() const { return m_userCapacity; }
    int EntryCount() const { return m_entryCount; }

    // Reading a list back from a settings file. The file keeps GetType(),
    // GetMaxID() and each valid entry with its ID; RestoreList followed by one
    // RestoreEntry per entry rebuilds the list exactly, the gaps that deleted
    // entries left included, so IDs stay what they were before saving.
    //
    // Empties the list and gives it `listType` (an unknown kind becomes
    // ListNone) and `nextID` (negative becomes 0). The capacity is the one
    // the adds would have reached after handing out `nextID` IDs.
    // `textBytes`, about the UTF-8 bytes of all entries to come, only saves
    // the text store from growing step by step.
    void RestoreList(int listType, int nextID, qsizetype textBytes = 0);
    // Stores `entry` as a valid entry under `id`, replacing one already there.
    // False, and nothing changes, unless 0 <= id < GetMaxID().
    bool RestoreEntry(int id, const MigrationUsers &entry);
    bool RestoreEntry(int id, const MigrationUserView &entry);

    // Lists in bulk, as a settings file's reader fills them: EncodeEntry
    // appends an entry's texts to `bytes` and returns the number that
    // stands for the entry, its place counted from `base`. RestoreEncoded
    // empties the list and fills it from `table` (`nextID` such numbers, 0
    // for an ID without an entry) and the bytes they point into. The table
    // is taken as it is: only numbers EncodeEntry made belong in it. Both
    // report nothing (they may run away from the window's thread); running
    // out of memory throws.
    static quint32 EncodeEntry(std::string &bytes, std::size_t base, const MigrationUserView &entry);
    void RestoreEncoded(int listType, int nextID, const quint32 *table, std::string_view bytes);

private:
    // The texts of all entries stand one after the other in m_bytes, in
    // UTF-8, each after its length (base 128, one byte below 128); an
    // entry is where its texts begin, with its flags in the top bits. A
    // million entries take a fifth of the memory that as many
    // MigrationUsers, four strings each, would take.
    static constexpr quint32 ValidBit = 1u << 31;
    static constexpr quint32 SIDFromBit = 1u << 30;
    static constexpr quint32 SIDToBit = 1u << 29;
    static constexpr quint32 StartMask = SIDToBit - 1;

    void reset(int listType, int nextID);
    MigrationUserView view(quint32 entry) const;
    quint32 store(const MigrationUserView &entry);
    void append(int listType, const MigrationUserView &entry);
    void EnsureUserCapacity();

    // The destinations of a long list, case folded, with the number of
    // valid entries for each: without it every add would walk the whole
    // list, and a list of tens of thousands would take minutes to fill.
    // Built when a long list is first asked, kept up by the adds and
    // deletes, dropped by a restore; a copy of the list starts without it.
    struct Destinations
    {
        QHash<QString, int> names;
        int allUsers = 0;
    };
    class DestinationCache
    {
    public:
        DestinationCache() = default;
        DestinationCache(const DestinationCache &) { }
        DestinationCache &operator=(const DestinationCache &)
        {
            index.reset();
            return *this;
        }
        std::unique_ptr<Destinations> index;
    };
    void countDestination(const MigrationUserView &entry, int change) const;

    int m_listType = ListNone;
    int m_nextID = 0;
    int m_userCapacity = 0;
    int m_entryCount = 0;
    // Room for a growth step of entries in the object itself: most lists
    // never need a block of their own.
    QVarLengthArray<quint32, 10> m_entries;
    std::string m_bytes;
    mutable DestinationCache m_destinations;
};
