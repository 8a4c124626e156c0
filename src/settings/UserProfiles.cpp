#include "settings/UserProfiles.h"

#include "common/modErrorHandler.h"
#include "common/modText.h"

namespace {

// User lists grow this many entries at a time.
constexpr int kUserCapacityStep = 10;

bool isListType(int listType)
{
    return listType >= ListUserToUser && listType <= ListAllUsers;
}

bool isAllUsersEntry(const MigrationUsers &entry)
{
    return entry.UsernameFrom == AllUsersName && entry.UsernameTo == AllUsersName;
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
        if (m_entryCount != 0)
            return;
        MigrationUsers &entry = append(ListAllUsers);
        entry.UsernameFrom = AllUsersName;
        entry.UsernameTo = AllUsersName;
        added = true;
    });
    return added;
}

bool UserProfiles::AddUserToUser(const QString &usernameFrom, const QString &usernameTo)
{
    bool added = false;
    modErrorHandler::Guard("UserProfiles.AddUserToUser", [&] {
        if (DestinationInUse(usernameTo))
            return;
        MigrationUsers &entry = append(ListUserToUser);
        entry.UsernameFrom = usernameFrom;
        entry.UsernameTo = usernameTo;
        added = true;
    });
    return added;
}

bool UserProfiles::AddSIDToUser(const QString &sidFrom, const QString &usernameTo)
{
    bool added = false;
    modErrorHandler::Guard("UserProfiles.AddSIDToUser", [&] {
        if (DestinationInUse(usernameTo))
            return;
        MigrationUsers &entry = append(ListSIDToUser);
        entry.UseSIDFrom = true;
        entry.SIDFrom = sidFrom;
        entry.UsernameTo = usernameTo;
        added = true;
    });
    return added;
}

void UserProfiles::AddUserToSID(const QString &usernameFrom, const QString &sidTo)
{
    // No duplicate check: a destination SID has no user name to compare.
    modErrorHandler::Guard("UserProfiles.AddUserToSID", [&] {
        MigrationUsers &entry = append(ListUserToSID);
        entry.UseSIDTo = true;
        entry.UsernameFrom = usernameFrom;
        entry.SIDTo = sidTo;
    });
}

void UserProfiles::AddSIDToSID(const QString &sidFrom, const QString &sidTo)
{
    modErrorHandler::Guard("UserProfiles.AddSIDToSID", [&] {
        MigrationUsers &entry = append(ListSIDToSID);
        entry.UseSIDFrom = true;
        entry.UseSIDTo = true;
        entry.SIDFrom = sidFrom;
        entry.SIDTo = sidTo;
    });
}

int UserProfiles::GetUserCount() const
{
    int count = 0;
    for (int id = 0; id < m_nextID; ++id) {
        if (m_entries.at(id).Valid)
            ++count;
    }
    return count;
}

const MigrationUsers *UserProfiles::GetUser(int id) const
{
    if (id < 0 || id >= m_entries.size())
        return nullptr;
    const MigrationUsers &entry = m_entries.at(id);
    return entry.Valid ? &entry : nullptr;
}

void UserProfiles::DeleteUser(int id)
{
    if (GetUser(id) == nullptr)
        return;
    // The slot stays, not Valid, so the IDs after it keep their meaning.
    m_entries[id].Valid = false;
    --m_entryCount;
    if (m_entryCount < 1) {
        // An emptied list takes any kind again.
        m_entryCount = 0;
        m_listType = ListNone;
    }
}

bool UserProfiles::DestinationInUse(const QString &usernameTo) const
{
    for (int id = 0; id < m_nextID; ++id) {
        const MigrationUsers &entry = m_entries.at(id);
        if (!entry.Valid)
            continue;
        if (isAllUsersEntry(entry) || modText::SameText(entry.UsernameTo, usernameTo))
            return true;
    }
    return false;
}

void UserProfiles::RestoreList(int listType, int nextID)
{
    m_entries.clear();
    m_userCapacity = 0;
    m_nextID = 0;
    m_entryCount = 0;
    m_listType = isListType(listType) ? listType : ListNone;

    modErrorHandler::Guard("UserProfiles.RestoreList", [&] {
        // The capacity the adds would have reached, so a restored list grows
        // at the same IDs as the saved one did.
        for (int id = 0; id < nextID; ++id) {
            EnsureUserCapacity();
            ++m_nextID;
        }
        // Reserved first: a plain resize rounds the block up to a power of
        // two, twice the memory for a list of ten.
        m_entries.reserve(m_nextID);
        m_entries.resize(m_nextID);
    });
}

bool UserProfiles::RestoreEntry(int id, const MigrationUsers &entry)
{
    bool restored = false;
    modErrorHandler::Guard("UserProfiles.RestoreEntry", [&] {
        if (id < 0 || id >= m_nextID)
            return;
        MigrationUsers &slot = m_entries[id];
        if (!slot.Valid)
            ++m_entryCount;
        slot = entry;
        slot.Valid = true;
        restored = true;
    });
    return restored;
}

MigrationUsers &UserProfiles::append(int listType)
{
    EnsureUserCapacity();
    // Most lists hold a handful of entries: one block of a growth step
    // serves them, and longer lists grow geometrically from there.
    if (m_entries.isEmpty())
        m_entries.reserve(kUserCapacityStep);
    MigrationUsers &entry = m_entries.emplace_back();
    entry.Valid = true;
    ++m_nextID;
    ++m_entryCount;
    m_listType = listType;
    return entry;
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
