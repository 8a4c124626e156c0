#include "client/AccountDirectory.h"

#include "client/modClientFiles.h"
#include "client/modFields.h"

#include <grp.h>
#include <pwd.h>

namespace {

// The system's own files stay far below this; a larger one was not made by it.
constexpr std::size_t kMaxFileBytes = 16u * 1024 * 1024;
constexpr std::size_t kEntryBuffer = 64 * 1024;

// One getpw*_r call with a buffer of its own.
template<typename Call> std::optional<AccountDirectory::User> lookUpUser(const Call &call)
{
    std::vector<char> buffer(kEntryBuffer);
    passwd entry {};
    passwd *found = nullptr;
    if (call(&entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return AccountDirectory::User {found->pw_name, found->pw_uid, found->pw_gid, found->pw_dir};
}

} // namespace

std::optional<AccountDirectory::User> NameServiceDirectory::user(const std::string &name)
{
    return lookUpUser([&](passwd *entry, char *buffer, std::size_t size, passwd **found) {
        return ::getpwnam_r(name.c_str(), entry, buffer, size, found);
    });
}

std::optional<AccountDirectory::User> NameServiceDirectory::userById(unsigned uid)
{
    return lookUpUser(
        [&](passwd *entry, char *buffer, std::size_t size, passwd **found) { return ::getpwuid_r(uid, entry, buffer, size, found); });
}

std::optional<AccountDirectory::Group> NameServiceDirectory::groupById(unsigned gid)
{
    std::vector<char> buffer(kEntryBuffer);
    group entry {};
    group *found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    Group made {found->gr_name, found->gr_gid, {}};
    for (char **member = found->gr_mem; member && *member; ++member)
        made.members.emplace_back(*member);
    return made;
}

FilesDirectory::FilesDirectory(std::string root)
    : m_root(std::move(root))
{
    while (!m_root.empty() && m_root.back() == '/')
        m_root.pop_back();
}

std::optional<AccountDirectory::User> FilesDirectory::findUser(const std::string *name, unsigned uid)
{
    std::string text;
    std::string problem;
    if (!modClientFiles::ReadBounded(m_root + "/etc/passwd", kMaxFileBytes, text, problem))
        return std::nullopt;
    for (const std::string_view line : modFields::Split(text, '\n')) {
        const std::vector<std::string_view> fields = modFields::Split(line, ':');
        unsigned lineUid = 0;
        unsigned lineGid = 0;
        if (fields.size() < 7 || !modFields::ToUnsigned(fields[2], lineUid) || !modFields::ToUnsigned(fields[3], lineGid))
            continue;
        if (name ? fields[0] == *name : lineUid == uid)
            return User {std::string(fields[0]), lineUid, lineGid, m_root + std::string(fields[5])};
    }
    return std::nullopt;
}

std::optional<AccountDirectory::User> FilesDirectory::user(const std::string &name)
{
    return findUser(&name, 0);
}

std::optional<AccountDirectory::User> FilesDirectory::userById(unsigned uid)
{
    return findUser(nullptr, uid);
}

std::optional<AccountDirectory::Group> FilesDirectory::groupById(unsigned gid)
{
    std::string text;
    std::string problem;
    if (!modClientFiles::ReadBounded(m_root + "/etc/group", kMaxFileBytes, text, problem))
        return std::nullopt;
    for (const std::string_view line : modFields::Split(text, '\n')) {
        const std::vector<std::string_view> fields = modFields::Split(line, ':');
        unsigned lineGid = 0;
        if (fields.size() < 4 || !modFields::ToUnsigned(fields[2], lineGid) || lineGid != gid)
            continue;
        Group found {std::string(fields[0]), lineGid, {}};
        for (const std::string_view member : modFields::Split(fields[3], ','))
            if (!member.empty())
                found.members.emplace_back(member);
        return found;
    }
    return std::nullopt;
}
