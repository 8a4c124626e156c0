#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Gives a profile (a home folder, opened as a folder descriptor) from one
// account to another in place, and back again.
//
// Only what belongs to the source account changes: its owner, its group when
// it is the source's private group and the destination has one (never a wider
// group), and the POSIX ACL entries naming the source. Links are never
// followed: every folder is opened beneath its parent with O_NOFOLLOW, a link
// itself is re-owned, and another file system inside the profile is skipped.
// A file with hard links from outside the profile is left alone and named.
//
// The work runs in two walks: survey() changes nothing, counts the hard links
// and notes what already named the destination before the move (the caller's
// journal keeps that list); apply() then re-owns. Both walks are idempotent,
// so a step killed half-way is resumed by applying it again, or reversed by
// applying the reverse direction with the same list.
class ProfileReowner
{
public:
    struct Mapping
    {
        uid_t sourceUid = 0;
        uid_t destinationUid = 0;
        // The private groups; without them groups stay as they are.
        bool mapsGroup = false;
        gid_t sourceGid = 0;
        gid_t destinationGid = 0;
    };

    enum class Direction { Forward, Reverse };

    // What of an entry already named the destination before the move; the
    // reverse walk gives these back to no one.
    enum KeptPart : unsigned {
        KeptOwner = 1,
        KeptGroup = 2,
        KeptAccessUser = 4,
        KeptAccessGroup = 8,
        KeptDefaultUser = 16,
        KeptDefaultGroup = 32,
    };
    struct Kept
    {
        std::string path; // relative to the profile
        unsigned parts = 0;
    };

    ProfileReowner(Mapping mapping, Direction direction);

    // Called every few thousand entries of a walk: a profile of a million
    // files takes a while, and the client must not fall silent meanwhile.
    void setPulse(std::function<void()> pulse) { m_pulse = std::move(pulse); }

    // Opens an absolute path one component at a time, never following a
    // link (the profile's own path being a link is refused): a folder
    // descriptor, or -1 with `problem` set.
    static int openFolderNoFollow(const std::string &path, std::string &problem);

    // The first walk: nothing changes. With `collectKept` (a forward move
    // that has not started yet) it notes what already names the destination.
    bool survey(int profile, bool collectKept);
    // The second walk; survey() must have run on this profile first. `kept`
    // is the list the forward survey made.
    bool apply(int profile, const std::vector<Kept> &kept);

    const std::vector<Kept> &kept() const { return m_kept; }
    const std::vector<std::string> &warnings() const { return m_warnings; }
    // Problems that stop the step: the survey found a folder it cannot read, say.
    const std::vector<std::string> &problems() const { return m_problems; }
    std::uint64_t changed() const { return m_changed; }
    std::uint64_t entries() const { return m_entries; }

private:
    struct FileId
    {
        dev_t dev;
        ino_t ino;
        bool operator==(const FileId &other) const = default;
    };
    struct FileIdHash
    {
        std::size_t operator()(const FileId &id) const { return std::hash<ino_t>()(id.ino) ^ (std::hash<dev_t>()(id.dev) << 1); }
    };
    enum class Pass { Survey, Apply };

    // A folder at the top of the profile, opened and looked at itself, whose
    // content is walked on a worker thread.
    struct Subtree
    {
        int folder = -1;
        std::string name;
    };

    bool walk(int folder, Pass pass, int depth);
    // The profile's walk: its top level here, the folders below it shared
    // out among threads, each with a reowner of its own; their findings are
    // merged into this one.
    void walkProfile(int profile, Pass pass);
    ProfileReowner helper(Pass pass) const;
    void merge(ProfileReowner &helper, Pass pass);
    void visit(int folder, const char *name, const struct stat &info, Pass pass, int depth);
    // The entry's path relative to the profile, made only when a message or
    // the kept list needs it.
    const std::string &pathOf(const char *name);
    void surveyEntry(int folder, int self, const char *name, const struct stat &info);
    void applyEntry(int folder, int self, const char *name, const struct stat &info);
    // Reads an ACL of the entry (its own descriptor when it has one open);
    // false when it has none.
    bool readAcl(int folder, int self, const char *name, const char *attribute);
    // Re-points the entries of the ACL just read; which of them name the
    // destination before (`userNamed`, `groupNamed`), and whether any changed.
    bool mapAcl(unsigned keptUser, unsigned keptGroup, bool &userNamed, bool &groupNamed, bool &duplicate);
    bool writeAcl(int folder, int self, const char *name, const char *attribute);
    const char *procPath(int folder, const char *name);
    void warn(const std::string &what);
    void fail(const std::string &what);

    Mapping m_mapping;
    Direction m_direction;
    dev_t m_device = 0;
    bool m_collectKept = false;
    // The folder being read, relative to the profile ("" at its top), and
    // the path of the entry looked at, made by pathOf().
    std::string m_path;
    std::string m_entryPath;
    bool m_entryIsFolder = false;
    std::string m_proc;
    // One buffer of folder entries per depth being read.
    std::vector<std::unique_ptr<char[]>> m_folderBuffers;
    std::vector<char> m_acl;
    std::size_t m_aclSize = 0;
    std::unordered_map<FileId, nlink_t, FileIdHash> m_links;
    std::vector<Kept> m_kept;
    std::unordered_map<std::string, unsigned> m_keptParts;
    // The folders that hold an entry of the kept list ("" for the profile's
    // top), so that only their entries are looked up.
    std::unordered_set<std::string> m_keptFolders;
    bool m_folderHasKept = false;
    // After a survey that read the ACLs of everything apply() will change:
    // the files and folders that have one (all on the profile's own file
    // system). The others need no ACL read.
    bool m_aclKnown = false;
    std::unordered_set<ino_t> m_withAcl;
    std::vector<std::string> m_warnings;
    std::vector<std::string> m_problems;
    std::uint64_t m_changed = 0;
    std::uint64_t m_entries = 0;
    std::function<void()> m_pulse;
    // While the top level is walked: where its folders go.
    std::vector<Subtree> *m_deferred = nullptr;
};
