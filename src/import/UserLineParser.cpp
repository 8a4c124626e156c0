#include "import/UserLineParser.h"

#include "common/modFormat.h"
#include "common/modLimits.h"
#include "database/ComputerDB.h"
#include "import/modImport.h"

using namespace modImport;

namespace {

// A field as a QString without copying it: the name checks and the lists
// take QStrings, and a million lines must not cost two million copies.
QString borrowed(QStringView text)
{
    return QString::fromRawData(text.data(), text.size());
}

} // namespace

UserLineParser::UserLineParser(ComputerDB &database, int fileType)
    : m_database(database)
    , m_fileType(fileType)
{ }

void UserLineParser::Reset()
{
    m_haveLast = false;
    m_lastList.reset();
    m_lastPlanned = nullptr;
    m_plannedIDs.clear();
    m_plannedComputers = 0;
    m_plannedAllIDs = -1;
}

int UserLineParser::ParseUserLine(QStringView line, bool checkOnly)
{
    if (line.isEmpty())
        return LineGood;

    const bool withUsers = m_fileType == UserToUser || m_fileType == SIDToUser;
    const qsizetype used = withUsers ? 3 : 1;
    QStringView fields[3];
    qsizetype count = 0;
    // No quoting: every comma ends a field, and what lies beyond the
    // fields of the format may only be empty (a trailing comma is fine).
    for (qsizetype start = 0;;) {
        const qsizetype comma = line.indexOf(u',', start);
        const QStringView field = line.mid(start, comma < 0 ? line.size() - start : comma - start).trimmed();
        if (count < used)
            fields[count] = field;
        else if (!field.isEmpty())
            return TooManyFields;
        ++count;
        if (comma < 0)
            break;
        start = comma + 1;
    }

    int id = -1;
    if (const int code = lookUpComputer(fields[0], checkOnly, id))
        return code;
    if (m_fileType == ComputersOnly)
        return checkOnly ? plan(id, 0) : LineGood;

    QStringView source = fields[1];
    QStringView destination = fields[2];
    if (withUsers) {
        if (count < 3)
            return NotThreeValues;
        if (destination.isEmpty() || source.isEmpty())
            return UserMissing;
        if (m_fileType == UserToUser && !modFormat::IsValidName(borrowed(source)))
            return BadSourceUser;
        // The names are checked for their length; a SID must be short enough to keep.
        if (m_fileType == SIDToUser && !modLimits::TextFits(source))
            return ValueTooLong;
        if (m_fileType == SIDToUser && !source.startsWith(u"S-"))
            return BadSourceSID;
        if (!modFormat::IsValidName(borrowed(destination)))
            return BadDestinationUser;
    }
    if (checkOnly)
        return plan(id, 1);
    return addEntry(id, source, destination);
}

int UserLineParser::lookUpComputer(QStringView name, bool checkOnly, int &id)
{
    if (!m_haveLast || m_lastCheckOnly != checkOnly || name != m_lastName) {
        m_lastName = name.toString();
        m_lastCheckOnly = checkOnly;
        m_lastList.reset();
        m_lastPlanned = nullptr;
        m_lastID = m_database.FindComputer(m_lastName);
        m_lastCode = LineGood;
        if (m_lastID < 0) {
            // A computer taken in by a file must be one the tree would
            // accept as a rename and the run's check would pass.
            if (!modFormat::IsValidComputerName(m_lastName)) {
                m_lastCode = BadComputerName;
            } else if (checkOnly) {
                ++m_computersToAdd;
            } else {
                m_lastID = m_database.AddComputer(m_lastName, QString(), -1, -1);
                if (m_lastID < 0)
                    m_lastCode = ComputerNotFound;
                else
                    ++m_computersAdded;
            }
        }
        m_haveLast = true;
    }
    id = m_lastID;
    return m_lastCode;
}

int UserLineParser::plan(int id, int entries)
{
    if (m_plannedAllIDs < 0) {
        m_plannedAllIDs = 0;
        for (int computer = 0; computer < m_database.ComputerCount(); ++computer) {
            if (const UserProfilesPtr list = m_database.GetComputerUserList(computer))
                m_plannedAllIDs += list->GetMaxID();
        }
    }
    if (!m_lastPlanned) {
        // A name on lines apart is one computer: the IDs add up.
        const auto [planned, first] = m_plannedIDs.try_emplace(m_lastName.toCaseFolded(), 0);
        if (first) {
            if (id >= 0) {
                if (const UserProfilesPtr list = m_database.GetComputerUserList(id))
                    planned->second = list->GetMaxID();
            } else if (qint64(m_database.ComputerCount()) + ++m_plannedComputers > modLimits::MaxNextID) {
                return DatabaseFull;
            }
        }
        m_lastPlanned = &planned->second;
    }
    if (entries == 0)
        return LineGood;
    if (*m_lastPlanned + entries > modLimits::MaxUserListIDs)
        return ListFull;
    if (m_plannedAllIDs + entries > modLimits::MaxAllUserListIDs)
        return AllListsFull;
    *m_lastPlanned += entries;
    m_plannedAllIDs += entries;
    return LineGood;
}

int UserLineParser::addEntry(int id, QStringView source, QStringView destination)
{
    if (!m_lastList)
        m_lastList = m_database.GetComputerUserList(id);
    if (!m_lastList)
        return InternalDatabaseError;
    UserProfiles &list = *m_lastList;
    const int listType = m_fileType == UserToUser ? ListUserToUser : m_fileType == SIDToUser ? ListSIDToUser : ListAllUsers;
    if (!list.AllowAdd(listType))
        return MixedKinds;
    bool added = false;
    if (m_fileType == UserToUser)
        added = list.AddUserToUser(borrowed(source), borrowed(destination));
    else if (m_fileType == SIDToUser)
        added = list.AddSIDToUser(borrowed(source), borrowed(destination));
    else
        added = list.AddAllUsers();
    if (!added)
        return DuplicateDestination;
    ++m_entriesAdded;
    return LineGood;
}
