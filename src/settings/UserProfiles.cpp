#include "settings/UserProfiles.h"

#include "common/modErrorHandler.h"
#include "common/modLimits.h"
#include "common/modText.h"

#include <algorithm>
#include <limits>

namespace {

// User lists grow this many entries at a time.
constexpr int kUserCapacityStep = 10;
// Shorter lists are walked: an index for each of 100,000 lists of ten
// would cost more than the walks.
constexpr int kIndexedFrom = 32;

bool isListType(int listType)
{
    return listType >= ListUserToUser && listType <= ListAllUsers;
}

bool isAllUsersEntry(const MigrationUserView &entry)
{
    return entry.UsernameFrom == AllUsersUtf8 && entry.UsernameTo == AllUsersUtf8;
}

} // namespace

bool UserProfiles::AllowAdd(int listType) const
{
    // One kind per computer; the all-users entry is alone by its nature.
    if (m_listType == ListNone)
        return true;
    return listType == m_listType && listType != ListAllUsers;
}

bool UserProfiles::AddAllUsers()
{
    bool added = false;
    modErrorHandler::Guard("UserProfiles.AddAllUsers", [&] {
        if (m_entryCount != 0 || IsFull())
            return;
        MigrationUsers entry;
        entry.UsernameFrom = AllUsersName;
        entry.UsernameTo = AllUsersName;
        append(ListAllUsers, MigrationUsersUtf8(entry).view());
        added = true;
    });
    return added;
}

bool UserProfiles::AddUserToUser(const QString &usernameFrom, const QString &usernameTo)
{
    bool added = false;
    modErrorHandler::Guard("UserProfiles.AddUserToUser", [&] {
        if (IsFull() || DestinationInUse(usernameTo))
            return;
        MigrationUsers entry;
        entry.UsernameFrom = usernameFrom;
        entry.UsernameTo = usernameTo;
        append(ListUserToUser, MigrationUsersUtf8(entry).view());
        added = true;
    });
    return added;
}

bool UserProfiles::AddSIDToUser(const QString &sidFrom, const QString &usernameTo)
{
    bool added = false;
    modErrorHandler::Guard("UserProfiles.AddSIDToUser", [&] {
        if (IsFull() || DestinationInUse(usernameTo))
            return;
        MigrationUsers entry;
        entry.UseSIDFrom = true;
        entry.SIDFrom = sidFrom;
        entry.UsernameTo = usernameTo;
        append(ListSIDToUser, MigrationUsersUtf8(entry).view());
        added = true;
    });
    return added;
}

void UserProfiles::AddUserToSID(const QString &usernameFrom, const QString &sidTo)
{
    // No duplicate check: a destination SID has no user name to compare.
    modErrorHandler::Guard("UserProfiles.AddUserToSID", [&] {
        if (IsFull())
            return;
        MigrationUsers entry;
        entry.UseSIDTo = true;
        entry.UsernameFrom = usernameFrom;
        entry.SIDTo = sidTo;
        append(ListUserToSID, MigrationUsersUtf8(entry).view());
    });
}

void UserProfiles::AddSIDToSID(const QString &sidFrom, const QString &sidTo)
{
    modErrorHandler::Guard("UserProfiles.AddSIDToSID", [&] {
        if (IsFull())
            return;
        MigrationUsers entry;
        entry.UseSIDFrom = true;
        entry.UseSIDTo = true;
        entry.SIDFrom = sidFrom;
        entry.SIDTo = sidTo;
        append(ListSIDToSID, MigrationUsersUtf8(entry).view());
    });
}

int UserProfiles::GetUserCount() const
{
    int count = 0;
    for (quint32 entry : m_entries) {
        if (entry & ValidBit)
            ++count;
    }
    return count;
}

std::optional<MigrationUsers> UserProfiles::GetUser(int id) const
{
    if (const std::optional<MigrationUserView> entry = ViewUser(id))
        return entry->toEntry();
    return std::nullopt;
}

std::optional<MigrationUserView> UserProfiles::ViewUser(int id) const
{
    if (id < 0 || id >= m_entries.size() || !(m_entries[id] & ValidBit))
        return std::nullopt;
    return view(m_entries[id]);
}

void UserProfiles::DeleteUser(int id)
{
    if (!ViewUser(id))
        return;
    countDestination(view(m_entries[id]), -1);
    // The entry stays, not Valid, so the IDs after it keep their meaning.
    m_entries[id] &= ~ValidBit;
    --m_entryCount;
    if (m_entryCount < 1) {
        // An emptied list takes any kind again.
        m_entryCount = 0;
        m_listType = ListNone;
    }
}

bool UserProfiles::DestinationInUse(const QString &usernameTo) const
{
    if (!m_destinations.index && m_entryCount >= kIndexedFrom) {
        m_destinations.index = std::make_unique<Destinations>();
        for (quint32 stored : m_entries) {
            if (stored & ValidBit)
                countDestination(view(stored), 1);
        }
    }
    if (const Destinations *index = m_destinations.index.get())
        return index->allUsers > 0 || index->names.contains(usernameTo.toCaseFolded());
    for (quint32 stored : m_entries) {
        if (!(stored & ValidBit))
            continue;
        const MigrationUserView entry = view(stored);
        if (isAllUsersEntry(entry) || modText::SameText(entry.UsernameTo, usernameTo))
            return true;
    }
    return false;
}

bool UserProfiles::IsFull() const
{
    return m_nextID >= modLimits::MaxUserListIDs;
}

void UserProfiles::countDestination(const MigrationUserView &entry, int change) const
{
    Destinations *index = m_destinations.index.get();
    if (!index)
        return;
    if (isAllUsersEntry(entry)) {
        index->allUsers += change;
        return;
    }
    // Case folding is the rule SameText compares by.
    const QString name = entry.UsernameTo.toString().toCaseFolded();
    int &count = index->names[name];
    count += change;
    if (count <= 0)
        index->names.remove(name);
}

void UserProfiles::RestoreList(int listType, int nextID, qsizetype textBytes)
{
    modErrorHandler::Guard("UserProfiles.RestoreList", [&] {
        reset(listType, nextID);
        if (textBytes > 0)
            m_bytes.reserve(size_t(std::min<qsizetype>(textBytes, StartMask)));
    });
}

void UserProfiles::RestoreEncoded(int listType, int nextID, const quint32 *table, std::string_view bytes)
{
    reset(listType, nextID);
    std::copy(table, table + m_nextID, m_entries.begin());
    m_bytes.assign(bytes);
    m_entryCount = GetUserCount();
}

void UserProfiles::reset(int listType, int nextID)
{
    m_destinations.index.reset();
    m_entries.clear();
    m_bytes = std::string();
    m_userCapacity = 0;
    m_nextID = 0;
    m_entryCount = 0;
    m_listType = isListType(listType) ? listType : ListNone;
    // The capacity the adds would have reached, so a restored list grows
    // at the same IDs as the saved one did.
    for (int id = 0; id < nextID; ++id) {
        EnsureUserCapacity();
        ++m_nextID;
    }
    m_entries.resize(m_nextID);
    std::fill(m_entries.begin(), m_entries.end(), 0);
}

bool UserProfiles::RestoreEntry(int id, const MigrationUsers &entry)
{
    return RestoreEntry(id, MigrationUsersUtf8(entry).view());
}

bool UserProfiles::RestoreEntry(int id, const MigrationUserView &entry)
{
    bool restored = false;
    modErrorHandler::Guard("UserProfiles.RestoreEntry", [&] {
        if (id < 0 || id >= m_nextID)
            return;
        m_destinations.index.reset();
        quint32 &stored = m_entries[id];
        const bool wasValid = stored & ValidBit;
        // A replaced entry's old texts stay unused in the store until the
        // list is next restored; replacing is rare.
        stored = store(entry);
        if (!wasValid)
            ++m_entryCount;
        restored = true;
    });
    return restored;
}

MigrationUserView UserProfiles::view(quint32 entry) const
{
    MigrationUserView user;
    const char *at = m_bytes.data() + (entry & StartMask);
    for (QUtf8StringView *text : {&user.UsernameFrom, &user.UsernameTo, &user.SIDFrom, &user.SIDTo}) {
        qsizetype length = 0;
        for (int shift = 0;; shift += 7) {
            const auto byte = static_cast<unsigned char>(*at++);
            length |= qsizetype(byte & 0x7F) << shift;
            if (byte < 0x80)
                break;
        }
        *text = QUtf8StringView(at, length);
        at += length;
    }
    user.UseSIDFrom = entry & SIDFromBit;
    user.UseSIDTo = entry & SIDToBit;
    return user;
}

quint32 UserProfiles::store(const MigrationUserView &entry)
{
    const char *const begin = m_bytes.data();
    for (QUtf8StringView text : {entry.UsernameFrom, entry.UsernameTo, entry.SIDFrom, entry.SIDTo}) {
        // An entry of this very list: its texts move when the store grows.
        if (!text.isEmpty() && text.data() >= begin && text.data() < begin + m_bytes.size())
            return store(MigrationUsersUtf8(entry.toEntry()).view());
    }
    return EncodeEntry(m_bytes, 0, entry);
}

quint32 UserProfiles::EncodeEntry(std::string &bytes, std::size_t base, const MigrationUserView &entry)
{
    const QUtf8StringView texts[] = {entry.UsernameFrom, entry.UsernameTo, entry.SIDFrom, entry.SIDTo};
    const std::size_t start = bytes.size() - base;
    std::size_t length = 4 * 10;
    for (QUtf8StringView text : texts)
        length += size_t(text.size());
    if (start + length > StartMask)
        modErrorHandler::Raise(7);
    for (QUtf8StringView text : texts) {
        for (auto size = quint64(text.size());; size >>= 7) {
            bytes.push_back(char(size < 0x80 ? size : (size & 0x7F) | 0x80));
            if (size < 0x80)
                break;
        }
        bytes.append(text.data(), size_t(text.size()));
    }
    return quint32(start) | ValidBit | (entry.UseSIDFrom ? SIDFromBit : 0) | (entry.UseSIDTo ? SIDToBit : 0);
}

void UserProfiles::append(int listType, const MigrationUserView &entry)
{
    EnsureUserCapacity();
    // Most lists hold a handful of entries: room for a growth step of them
    // serves those, and longer lists grow geometrically from there.
    if (m_entries.empty()) {
        m_bytes.reserve(size_t(kUserCapacityStep
            * (4 + entry.UsernameFrom.size() + entry.UsernameTo.size() + entry.SIDFrom.size() + entry.SIDTo.size())));
    }
    m_entries.push_back(store(entry));
    countDestination(entry, 1);
    ++m_nextID;
    ++m_entryCount;
    m_listType = listType;
}

void UserProfiles::EnsureUserCapacity()
{
    // UserCapacity is an upper index, and growth starts one slot early: the
    // first entry allocates 0 to 10, and ID 9 already moves it to 0 to 20.
    // Only the number follows that rule. The entries themselves are stored
    // as they come: 100,000 lists of ten, each holding 21 blank entries
    // resized ten at a time, cost more in allocation than everything else
    // the database does with them.
    if (m_nextID >= m_userCapacity - 1)
        m_userCapacity += kUserCapacityStep;
}
