#include "client/ProfileReowner.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// Deeper than this is no one's profile; each level holds a folder open.
constexpr int kMaxDepth = 400;
constexpr std::size_t kMaxWarnings = 1000;
// The largest extended attribute Linux stores.
constexpr std::size_t kMaxAcl = 64u * 1024;
constexpr std::size_t kSmallAcl = 512;
// Folder entries read at once; a few hundred names of a usual length.
constexpr std::size_t kFolderBuffer = 32u * 1024;

const char kAccessAcl[] = "system.posix_acl_access";
const char kDefaultAcl[] = "system.posix_acl_default";

// The kernel's ACL in an extended attribute: a little-endian version word,
// then entries of tag, permissions and id.
constexpr std::uint32_t kAclVersion = 2;
constexpr std::uint16_t kAclUser = 0x02;
constexpr std::uint16_t kAclGroup = 0x08;
constexpr std::size_t kAclHeader = 4;
constexpr std::size_t kAclEntry = 8;

std::uint32_t readLe(const char *at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(at[i]);
    return value;
}

void writeLe(char *at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8)
        at[i] = static_cast<char>(value & 0xff);
}

// getxattrat and setxattrat (Linux 6.13) read an attribute beneath a
// folder descriptor without following the last component; the C library of
// Debian 12 has no wrapper for them yet.
#ifndef SYS_setxattrat
#define SYS_setxattrat 463
#define SYS_getxattrat 464
#endif
struct XattrArgs
{
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};
std::atomic<bool> g_xattrAt = true;

std::string reason(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

} // namespace

ProfileReowner::ProfileReowner(Mapping mapping, Direction direction)
    : m_mapping(mapping)
    , m_direction(direction)
    , m_acl(kMaxAcl)
{
    if (direction == Direction::Reverse) {
        std::swap(m_mapping.sourceUid, m_mapping.destinationUid);
        std::swap(m_mapping.sourceGid, m_mapping.destinationGid);
    }
}

int ProfileReowner::openFolderNoFollow(const std::string &path, std::string &problem)
{
    if (path.empty() || path.front() != '/') {
        problem = "The profile path " + path + " is not absolute.";
        return -1;
    }
    int folder = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (std::size_t at = 1; folder >= 0 && at < path.size();) {
        std::size_t slash = path.find('/', at);
        if (slash == std::string::npos)
            slash = path.size();
        const std::string part = path.substr(at, slash - at);
        at = slash + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            ::close(folder);
            problem = "The profile path " + path + " climbs out with \"..\".";
            return -1;
        }
        const int next = ::openat(folder, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        struct stat info
        {
        };
        const bool link = next < 0 && ::fstatat(folder, part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
        ::close(folder);
        folder = next;
        if (folder < 0) {
            errno = error;
            problem = link ? "The profile path " + path + " passes through a link at " + part + "; links are not followed."
                           : reason("Cannot open " + path.substr(0, slash));
            return -1;
        }
    }
    if (folder < 0)
        problem = reason("Cannot open /");
    return folder;
}

bool ProfileReowner::survey(int profile, bool collectKept)
{
    m_collectKept = collectKept && m_direction == Direction::Forward;
    // A survey that collects the kept list reads the ACLs of everything of
    // the source, which is all the apply after it will change.
    m_aclKnown = m_collectKept;
    m_withAcl.clear();
    m_links.clear();
    m_kept.clear();
    m_problems.clear();
    m_warnings.clear();
    m_entries = 0;
    walkProfile(profile, Pass::Survey);
    return m_problems.empty();
}

bool ProfileReowner::apply(int profile, const std::vector<Kept> &kept)
{
    m_keptParts.clear();
    m_keptFolders.clear();
    for (const Kept &entry : kept) {
        m_keptParts[entry.path] |= entry.parts;
        const std::size_t slash = entry.path.rfind('/');
        m_keptFolders.insert(slash == std::string::npos ? std::string() : entry.path.substr(0, slash));
    }
    m_warnings.clear();
    m_changed = 0;
    walkProfile(profile, Pass::Apply);
    return m_problems.empty();
}

ProfileReowner ProfileReowner::helper(Pass pass) const
{
    // The mapping as this one holds it, already turned for a reverse walk.
    ProfileReowner helper(m_mapping, Direction::Forward);
    helper.m_direction = m_direction;
    helper.m_device = m_device;
    helper.m_collectKept = m_collectKept;
    helper.m_aclKnown = m_aclKnown;
    if (pass == Pass::Apply) {
        // What the whole survey found, read by every thread and changed by none.
        helper.m_links = m_links;
        helper.m_withAcl = m_withAcl;
        helper.m_keptParts = m_keptParts;
        helper.m_keptFolders = m_keptFolders;
    }
    return helper;
}

void ProfileReowner::merge(ProfileReowner &helper, Pass pass)
{
    m_entries += helper.m_entries;
    m_changed += helper.m_changed;
    for (std::string &warning : helper.m_warnings)
        if (m_warnings.size() < kMaxWarnings)
            m_warnings.push_back(std::move(warning));
    for (std::string &problem : helper.m_problems)
        m_problems.push_back(std::move(problem));
    if (pass == Pass::Survey) {
        // A file linked from two folders was counted by each thread that met it.
        for (const auto &[id, count] : helper.m_links)
            m_links[id] += count;
        m_kept.insert(m_kept.end(), helper.m_kept.begin(), helper.m_kept.end());
        m_withAcl.insert(helper.m_withAcl.begin(), helper.m_withAcl.end());
    }
}

void ProfileReowner::walkProfile(int profile, Pass pass)
{
    // A profile of a million files takes a walk's worth of calls that name
    // an entry; two cores make two walks at once. Only the folders below
    // the top are shared out, so the top's own entries, and the order of
    // everything the journal keeps, are this thread's.
    const unsigned cores = std::thread::hardware_concurrency();
    const unsigned threads = std::clamp(cores, 1u, 4u);
    std::vector<Subtree> deferred;
    if (threads > 1)
        m_deferred = &deferred;
    walk(profile, pass, 0);
    m_deferred = nullptr;
    if (deferred.empty())
        return;

    // Folder i goes to thread i modulo their number: the same share every
    // time, whichever thread starts first.
    const std::size_t extra = std::min<std::size_t>(threads - 1, deferred.size() - 1);
    const auto work = [&deferred, pass, step = extra + 1](ProfileReowner &reowner, std::size_t first) {
        for (std::size_t i = first; i < deferred.size(); i += step) {
            reowner.m_path = deferred[i].name;
            reowner.walk(deferred[i].folder, pass, 1);
        }
    };
    std::vector<ProfileReowner> helpers;
    helpers.reserve(extra);
    for (std::size_t i = 0; i < extra; ++i)
        helpers.push_back(helper(pass));
    std::atomic<std::size_t> running {extra};
    std::vector<std::thread> workers;
    workers.reserve(extra);
    for (std::size_t i = 0; i < extra; ++i)
        workers.emplace_back([&work, &reowner = helpers[i], &running, i] {
            work(reowner, i + 1);
            --running;
        });
    // This thread takes its share too; it alone pulses, as the caller's
    // pulse talks to the console.
    work(*this, 0);
    m_path.clear();
    while (running.load() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (m_pulse && running.load() > 0)
            m_pulse();
    }
    for (std::thread &worker : workers)
        worker.join();
    for (ProfileReowner &reowner : helpers)
        merge(reowner, pass);
}

const std::string &ProfileReowner::pathOf(const char *name)
{
    m_entryPath.assign(m_path);
    if (name[0] != '\0') {
        if (!m_entryPath.empty())
            m_entryPath += '/';
        m_entryPath += name;
    }
    return m_entryPath;
}

bool ProfileReowner::walk(int folder, Pass pass, int depth)
{
    if (depth == 0) {
        struct stat info
        {
        };
        if (::fstat(folder, &info) != 0 || !S_ISDIR(info.st_mode)) {
            fail("The profile is not an open folder.");
            return false;
        }
        m_device = info.st_dev;
        m_path.clear();
        // A descriptor of our own, so that reading the folder does not move the caller's.
        const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (own < 0) {
            fail(reason("Cannot open the profile"));
            return false;
        }
        m_folderHasKept = true; // the profile itself is looked up
        pass == Pass::Survey ? surveyEntry(-1, own, "", info) : applyEntry(-1, own, "", info);
        folder = own;
    }
    // The entries are read straight from the kernel into a buffer of this
    // depth: the folders above are still being read into theirs.
    if (m_folderBuffers.size() <= static_cast<std::size_t>(depth))
        m_folderBuffers.resize(static_cast<std::size_t>(depth) + 1);
    std::unique_ptr<char[]> &slot = m_folderBuffers[static_cast<std::size_t>(depth)];
    if (!slot)
        slot = std::make_unique<char[]>(kFolderBuffer);
    // The deeper walks may grow the list of buffers, never move this one.
    char *const buffer = slot.get();
    const bool hasKept = !m_keptFolders.empty() && m_keptFolders.count(m_path) != 0;
    for (;;) {
        const long got = ::syscall(SYS_getdents64, folder, buffer, kFolderBuffer);
        if (got <= 0) {
            if (got < 0)
                fail(reason("Cannot read the folder " + (m_path.empty() ? std::string(".") : m_path)));
            break;
        }
        for (long at = 0; at < got;) {
            // struct linux_dirent64: inode, offset, record length, type, name.
            unsigned short length = 0;
            std::memcpy(&length, buffer + at + 16, sizeof length);
            const char *name = buffer + at + 19;
            if (length < 20 || length > got - at) {
                fail("The folder " + (m_path.empty() ? std::string(".") : m_path) + " gave an entry this program cannot read.");
                break;
            }
            at += length;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            struct stat info
            {
            };
            m_folderHasKept = hasKept;
            if (::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0)
                visit(folder, name, info, pass, depth);
            else if (errno != ENOENT)
                fail(reason("Cannot look at " + pathOf(name)));
        }
    }
    ::close(folder);
    return true;
}

void ProfileReowner::visit(int folder, const char *name, const struct stat &info, Pass pass, int depth)
{
    constexpr std::uint64_t pulseEvery = 4096;
    if (++m_entries % pulseEvery == 0 && m_pulse)
        m_pulse();
    if (info.st_dev != m_device) {
        warn(pathOf(name) + " lies on another file system; it was skipped.");
        return;
    }
    if (!S_ISDIR(info.st_mode)) {
        pass == Pass::Survey ? surveyEntry(folder, -1, name, info) : applyEntry(folder, -1, name, info);
        return;
    }
    if (depth + 1 >= kMaxDepth) {
        fail(pathOf(name) + " lies deeper than " + std::to_string(kMaxDepth) + " folders.");
        return;
    }
    const int sub = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) {
        // A folder replaced by a link while we looked is not followed.
        fail(reason("Cannot open the folder " + pathOf(name)));
        return;
    }
    struct stat opened
    {
    };
    if (::fstat(sub, &opened) != 0 || opened.st_dev != info.st_dev || opened.st_ino != info.st_ino) {
        ::close(sub);
        fail(pathOf(name) + " changed while the profile was walked.");
        return;
    }
    pass == Pass::Survey ? surveyEntry(folder, sub, name, opened) : applyEntry(folder, sub, name, opened);
    if (depth == 0 && m_deferred) {
        m_deferred->push_back(Subtree {sub, name});
        return;
    }
    const std::size_t mark = m_path.size();
    if (mark > 0)
        m_path += '/';
    m_path += name;
    walk(sub, pass, depth + 1);
    m_path.resize(mark);
}

void ProfileReowner::surveyEntry(int folder, int self, const char *name, const struct stat &info)
{
    const uid_t from = m_mapping.sourceUid;
    const uid_t to = m_mapping.destinationUid;
    if (info.st_uid != from && info.st_uid != to)
        return;
    if (!S_ISDIR(info.st_mode) && info.st_nlink > 1)
        ++m_links[FileId {info.st_dev, info.st_ino}];
    if (!m_collectKept)
        return;
    unsigned parts = 0;
    if (info.st_uid == to) {
        parts = KeptOwner;
    } else {
        if (m_mapping.mapsGroup && info.st_gid == m_mapping.destinationGid)
            parts |= KeptGroup;
        bool user = false, group = false, duplicate = false, any = false;
        if (!S_ISLNK(info.st_mode) && readAcl(folder, self, name, kAccessAcl)) {
            any = true;
            if (!mapAcl(~0u, ~0u, user, group, duplicate))
                parts |= (user ? KeptAccessUser : 0u) | (group ? KeptAccessGroup : 0u);
        }
        user = group = false;
        if (S_ISDIR(info.st_mode) && readAcl(folder, self, name, kDefaultAcl)) {
            any = true;
            if (!mapAcl(~0u, ~0u, user, group, duplicate))
                parts |= (user ? KeptDefaultUser : 0u) | (group ? KeptDefaultGroup : 0u);
        }
        if (any)
            m_withAcl.insert(info.st_ino);
    }
    if (parts != 0) {
        const std::string &path = pathOf(name);
        m_kept.push_back(Kept {path.empty() ? "." : path, parts});
    }
}

void ProfileReowner::applyEntry(int folder, int self, const char *name, const struct stat &info)
{
    const uid_t from = m_mapping.sourceUid;
    const uid_t to = m_mapping.destinationUid;
    if (info.st_uid != from && info.st_uid != to)
        return;
    unsigned kept = 0;
    if (m_folderHasKept && !m_keptParts.empty()) {
        const std::string &path = pathOf(name);
        const auto found = m_keptParts.find(path.empty() ? "." : path);
        kept = found == m_keptParts.end() ? 0 : found->second;
    }
    // What was the destination's before the move is left to it; the reverse
    // walk gives back only what the forward one took.
    if (kept & KeptOwner)
        return;
    const unsigned keptUser = m_direction == Direction::Reverse ? kept : 0;
    if (!S_ISDIR(info.st_mode) && info.st_nlink > 1) {
        const auto found = m_links.find(FileId {info.st_dev, info.st_ino});
        if (found == m_links.end() || found->second < info.st_nlink) {
            if (info.st_uid == from)
                warn(pathOf(name) + " has hard links outside the profile; it was left as it is.");
            return;
        }
    }
    bool changed = false;
    // After a survey that read them, only what has an ACL is read again;
    // what belongs to the destination already is read in any case.
    const bool acl = !S_ISLNK(info.st_mode)
        && (!m_aclKnown || info.st_uid != from || (!m_withAcl.empty() && m_withAcl.count(info.st_ino) != 0));
    if (acl) {
        const char *const acls[] {kAccessAcl, kDefaultAcl};
        const unsigned userParts[] {KeptAccessUser, KeptDefaultUser};
        const unsigned groupParts[] {KeptAccessGroup, KeptDefaultGroup};
        for (int which = 0; which < (S_ISDIR(info.st_mode) ? 2 : 1); ++which) {
            bool user = false, group = false, duplicate = false;
            if (!readAcl(folder, self, name, acls[which]) || !mapAcl(keptUser & userParts[which], keptUser & groupParts[which], user, group, duplicate))
                continue;
            if (duplicate)
                warn("An ACL of " + pathOf(name) + " names both accounts; it was left as it is.");
            else if (writeAcl(folder, self, name, acls[which]))
                changed = true;
        }
    }
    gid_t gid = info.st_gid;
    if (m_mapping.mapsGroup && !(keptUser & KeptGroup) && (gid == m_mapping.sourceGid || gid == m_mapping.destinationGid))
        gid = m_mapping.destinationGid;
    if (info.st_uid != to || gid != info.st_gid) {
        // Changing the owner drops set-user-id and set-group-id; they are put back.
        const bool special = S_ISREG(info.st_mode) && (info.st_mode & (S_ISUID | S_ISGID)) != 0;
        const int fd = self >= 0 || !special ? self : ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        const bool done = fd >= 0 ? ::fchown(fd, to, gid) == 0 : ::fchownat(folder, name, to, gid, AT_SYMLINK_NOFOLLOW) == 0;
        if (!done)
            fail(reason("Cannot change the owner of " + pathOf(name)));
        else if (special && fd >= 0 && ::fchmod(fd, info.st_mode & 07777) != 0)
            fail(reason("Cannot restore the mode of " + pathOf(name)));
        if (fd >= 0 && fd != self)
            ::close(fd);
        changed = changed || done;
    }
    if (changed)
        ++m_changed;
}

const char *ProfileReowner::procPath(int folder, const char *name)
{
    // No *xattrat call without following links before Linux 6.13: the
    // folder's own descriptor stands in, and the last component is not followed.
    m_proc.assign("/proc/self/fd/");
    m_proc += std::to_string(folder);
    m_proc += '/';
    m_proc += name;
    return m_proc.c_str();
}

bool ProfileReowner::readAcl(int folder, int self, const char *name, const char *attribute)
{
    // The kernel clears a buffer of the size asked for on every call: a
    // small one first, the largest only for an ACL that does not fit.
    ssize_t got = -1;
    for (const std::size_t size : {kSmallAcl, kMaxAcl}) {
        if (self >= 0) {
            got = ::fgetxattr(self, attribute, m_acl.data(), size);
        } else {
            if (g_xattrAt.load(std::memory_order_relaxed)) {
                XattrArgs args {reinterpret_cast<std::uintptr_t>(m_acl.data()), static_cast<std::uint32_t>(size), 0};
                got = ::syscall(SYS_getxattrat, folder, name, AT_SYMLINK_NOFOLLOW, attribute, &args, sizeof args);
                if (got < 0 && errno == ENOSYS)
                    g_xattrAt.store(false, std::memory_order_relaxed);
            }
            if (!g_xattrAt.load(std::memory_order_relaxed))
                got = ::lgetxattr(procPath(folder, name), attribute, m_acl.data(), size);
        }
        if (got >= 0 || errno != ERANGE)
            break;
    }
    if (got < 0) {
        if (errno != ENODATA && errno != ENOTSUP && errno != ENOENT)
            fail(reason("Cannot read the ACL of " + pathOf(name)));
        return false;
    }
    const auto size = static_cast<std::size_t>(got);
    if (size < kAclHeader || (size - kAclHeader) % kAclEntry != 0 || readLe(m_acl.data(), 4) != kAclVersion) {
        fail("The ACL of " + pathOf(name) + " is not in a form this program knows.");
        return false;
    }
    m_aclSize = size;
    return true;
}

bool ProfileReowner::mapAcl(unsigned keptUser, unsigned keptGroup, bool &userNamed, bool &groupNamed, bool &duplicate)
{
    // keptUser/keptGroup of ~0u: only look which entries name the destination.
    const bool looking = keptUser == ~0u;
    bool changed = false;
    char *const begin = m_acl.data() + kAclHeader;
    char *const end = m_acl.data() + m_aclSize;
    for (char *at = begin; at < end; at += kAclEntry) {
        const auto tag = static_cast<std::uint16_t>(readLe(at, 2));
        const std::uint32_t id = readLe(at + 4, 4);
        if (tag == kAclUser) {
            userNamed = userNamed || id == m_mapping.destinationUid;
            if (!looking && keptUser == 0 && id == m_mapping.sourceUid) {
                writeLe(at + 4, m_mapping.destinationUid, 4);
                changed = true;
            }
        } else if (tag == kAclGroup && m_mapping.mapsGroup) {
            groupNamed = groupNamed || id == m_mapping.destinationGid;
            if (!looking && keptGroup == 0 && id == m_mapping.sourceGid) {
                writeLe(at + 4, m_mapping.destinationGid, 4);
                changed = true;
            }
        }
    }
    if (!changed)
        return false;
    // The kernel takes an ACL only sorted by tag and id, each named once.
    struct Entry
    {
        std::uint16_t tag;
        std::uint32_t id;
        char bytes[kAclEntry];
    };
    std::vector<Entry> entries;
    for (char *at = begin; at < end; at += kAclEntry) {
        Entry entry {static_cast<std::uint16_t>(readLe(at, 2)), readLe(at + 4, 4), {}};
        std::memcpy(entry.bytes, at, kAclEntry);
        entries.push_back(entry);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.tag != b.tag ? a.tag < b.tag : a.id < b.id; });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::memcpy(begin + i * kAclEntry, entries[i].bytes, kAclEntry);
        if (i > 0 && (entries[i].tag == kAclUser || entries[i].tag == kAclGroup) && entries[i].tag == entries[i - 1].tag
            && entries[i].id == entries[i - 1].id)
            duplicate = true;
    }
    return true;
}

bool ProfileReowner::writeAcl(int folder, int self, const char *name, const char *attribute)
{
    XattrArgs args {reinterpret_cast<std::uintptr_t>(m_acl.data()), static_cast<std::uint32_t>(m_aclSize), 0};
    const long done = self >= 0 ? ::fsetxattr(self, attribute, m_acl.data(), m_aclSize, 0)
        : g_xattrAt             ? ::syscall(SYS_setxattrat, folder, name, AT_SYMLINK_NOFOLLOW, attribute, &args, sizeof args)
                                : ::lsetxattr(procPath(folder, name), attribute, m_acl.data(), m_aclSize, 0);
    if (done != 0)
        fail(reason("Cannot write the ACL of " + pathOf(name)));
    return done == 0;
}

void ProfileReowner::warn(const std::string &what)
{
    if (m_warnings.size() < kMaxWarnings)
        m_warnings.push_back(what);
}

void ProfileReowner::fail(const std::string &what)
{
    if (m_problems.size() < kMaxWarnings)
        m_problems.push_back(what);
}
