#include "client/ClientMigration.h"

#include "client/ProfileReowner.h"
#include "client/modAccounts.h"
#include "client/modClientFiles.h"
#include "client/modFields.h"
#include "client/modProfileStep.h"
#include "protocol/modFindings.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>

namespace {

constexpr std::string_view kAllUsers = "*ALL";
// Accounts below this are the system's own, never a user's profile.
constexpr unsigned kFirstUserId = 1000;
constexpr unsigned kProfileActionCopy = 1;
constexpr unsigned kProfileActionSkipTemporaryFiles = 2;

std::vector<std::string> commaList(const std::string &text)
{
    std::vector<std::string> items;
    if (text.empty())
        return items;
    for (const std::string_view item : modFields::Split(text, ','))
        items.emplace_back(item);
    return items;
}

std::string parentOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

bool emptyFolder(const std::string &path)
{
    DIR *folder = ::opendir(path.c_str());
    if (!folder)
        return false;
    bool empty = true;
    while (const dirent *entry = ::readdir(folder)) {
        if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..") {
            empty = false;
            break;
        }
    }
    ::closedir(folder);
    return empty;
}

bool folderAt(const std::string &path, bool &exists)
{
    struct stat info
    {
    };
    exists = ::lstat(path.c_str(), &info) == 0;
    return !exists || S_ISDIR(info.st_mode);
}

// The walk of the check afterwards; nftw keeps no state of its own to hand.
thread_local unsigned t_countedUid = 0;
thread_local std::size_t t_counted = 0;

int countOwned(const char *, const struct stat *info, int, FTW *)
{
    if (info->st_uid == t_countedUid)
        ++t_counted;
    return 0;
}

} // namespace

ClientMigration::ClientMigration(ComputerView &computer, ComputerActions &actions, const Config &config, ClientJournal &journal,
    Report report, Log log, std::function<bool()> stillWanted)
    : m_computer(computer)
    , m_actions(actions)
    , m_config(config)
    , m_journal(journal)
    , m_report(std::move(report))
    , m_log(std::move(log))
    , m_stillWanted(std::move(stillWanted))
{ }

std::string ClientMigration::value(std::string_view key) const
{
    const auto found = m_config.find(key);
    return found == m_config.end() ? std::string() : found->second;
}

bool ClientMigration::save()
{
    std::string problem;
    if (m_journal.save(problem))
        return true;
    m_log("The journal could not be written: " + problem);
    return false;
}

void ClientMigration::fail(Entry &entry, int code, const std::string &particulars)
{
    entry.failed = true;
    m_report(code, entry.label + ": " + particulars);
}

void ClientMigration::buildEntries()
{
    const std::vector<std::string> sources = commaList(value("SOURCEUSER"));
    const std::vector<std::string> sids = commaList(value("SOURCESID"));
    const std::vector<std::string> destinations = commaList(value("DESTUSER"));
    const std::string sourceDomain = value("SOURCEUSERDOM");
    if (sources.size() == 1 && sources.front() == kAllUsers) {
        // Every account of the source context with a profile here, each to
        // the same name in the destination.
        const std::string profiles = m_computer.profilesFolder();
        DIR *folder = ::opendir(profiles.c_str());
        while (folder) {
            const dirent *item = ::readdir(folder);
            if (!item)
                break;
            struct stat info
            {
            };
            if (item->d_name[0] == '.' || ::fstatat(::dirfd(folder), item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0
                || !S_ISDIR(info.st_mode) || info.st_uid < kFirstUserId)
                continue;
            const auto user = m_computer.directory().userById(info.st_uid);
            if (!user || user->home != profiles + "/" + item->d_name)
                continue;
            if (const auto name = modAccounts::NameIn(user->name, sourceDomain))
                m_entries.push_back(Entry {*name, *name, {}, {}, {}, {}, {}, {}, 0, false});
        }
        if (folder)
            ::closedir(folder);
        if (m_entries.empty())
            m_log("\"*ALL\": no account of the source has a profile on this computer.");
    } else {
        const std::size_t count = std::max(sources.size(), sids.size());
        for (std::size_t i = 0; i < count; ++i) {
            Entry entry;
            entry.source = i < sources.size() ? sources[i] : std::string();
            if (entry.source.empty() && i < sids.size()) {
                // A SID names the account; the name service gives its name.
                const auto uid = m_actions.uidOfSid(sids[i]);
                const auto user = uid ? m_computer.directory().userById(*uid) : std::nullopt;
                if (!user) {
                    entry.label = sids[i];
                    entry.failed = true;
                    m_report(modFindings::SidNotMapped, sids[i]);
                } else {
                    entry.source = user->name;
                }
            }
            entry.destination = i < destinations.size() ? destinations[i] : std::string();
            if (entry.source.empty() && !entry.failed)
                continue;
            m_entries.push_back(entry);
        }
    }
    const std::string destinationDomain = value("DESTUSERDOM");
    for (Entry &entry : m_entries) {
        if (entry.label.empty())
            entry.label = entry.source + " (" + (modAccounts::IsLocal(sourceDomain) ? "local" : sourceDomain) + ") to " + entry.destination
                + " (" + (modAccounts::IsLocal(destinationDomain) ? "local" : destinationDomain) + ")";
    }
}

bool ClientMigration::resolveSources()
{
    const std::string domain = value("SOURCEUSERDOM");
    for (Entry &entry : m_entries) {
        if (entry.failed)
            continue;
        entry.from = m_computer.directory().user(entry.source);
        if (!entry.from)
            entry.from = modAccounts::Resolve(m_computer.directory(), entry.source, domain);
        if (!entry.from) {
            fail(entry, modFindings::SourceAccountMissing, "not found");
            continue;
        }
        if (!m_computer.folderExists(entry.from->home)) {
            fail(entry, modFindings::ProfileFolderMissing, entry.from->home);
            continue;
        }
        if (m_computer.hasSession(entry.from->uid)) {
            fail(entry, modFindings::ProfileInUse, "its user has a session open");
            continue;
        }
        entry.fromGroup = modAccounts::PrivateGroup(m_computer.directory(), *entry.from);
        ClientJournal::Step step;
        step.kind = ClientJournal::Kind::Resolved;
        step.phase = ClientJournal::Phase::Done;
        step.from = entry.from->name;
        step.tree = entry.from->home;
        step.mapping.sourceUid = entry.from->uid;
        step.mapping.sourceGid = entry.from->gid;
        step.mapping.mapsGroup = entry.fromGroup.has_value();
        m_journal.steps().push_back(step);
    }
    // Before anything changes: once the computer leaves its domain, the
    // source accounts no longer resolve.
    return save();
}

bool ClientMigration::changeRealm(bool &changed)
{
    changed = false;
    const std::string domain = value("JOINDOMAIN");
    if (domain.empty())
        return true;
    if (!m_computer.realmToolsPresent()) {
        m_report(modFindings::RealmToolsMissing, "realm is not installed (package realmd)");
        return false;
    }
    const std::optional<std::string> current = m_computer.joinedDomain();
    if (!current) {
        m_report(modFindings::RealmChangeFailed, "realm list gave no answer");
        return false;
    }
    if (modAccounts::SameDomain(*current, domain)) {
        m_log("The computer is in " + domain + " already.");
        return true;
    }
    std::string problem;
    const auto step = [&](ClientJournal::Kind kind, const std::string &name, const std::function<bool()> &act, int done) {
        ClientJournal::Step record;
        record.kind = kind;
        record.domain = name;
        m_journal.steps().push_back(record);
        if (!save())
            return false;
        if (!act()) {
            // The tool said no: nothing to undo.
            m_journal.steps().back().phase = ClientJournal::Phase::Undone;
            save();
            m_report(modFindings::RealmChangeFailed, problem);
            return false;
        }
        m_journal.steps().back().phase = ClientJournal::Phase::Done;
        save();
        m_report(done, name);
        changed = true;
        return true;
    };
    if (!current->empty()
        && !step(ClientJournal::Kind::RealmLeave, *current, [&] { return m_actions.leaveRealm(*current, problem); }, modFindings::RealmLeft))
        return false;
    return step(
        ClientJournal::Kind::RealmJoin, domain,
        [&] { return m_actions.joinRealm(domain, value("JOINDOMUSER"), value("JOINDOMPASS"), problem); }, modFindings::RealmJoined);
}

void ClientMigration::setWorkgroup()
{
    const std::string name = value("JOINWORKGROUP");
    if (name.empty())
        return;
    const std::optional<std::string> earlier = m_actions.workgroup();
    if (!earlier) {
        m_report(modFindings::WorkgroupWithoutSamba, name);
        return;
    }
    ClientJournal::Step step;
    step.kind = ClientJournal::Kind::Workgroup;
    step.from = *earlier;
    step.to = name;
    m_journal.steps().push_back(step);
    std::string problem;
    if (!save() || !m_actions.setWorkgroup(name, problem)) {
        m_report(modFindings::RealmChangeFailed, "the workgroup: " + problem);
        return;
    }
    m_journal.steps().back().phase = ClientJournal::Phase::Done;
    save();
    m_changed = true;
    m_report(modFindings::WorkgroupSet, name);
}

void ClientMigration::resolveDestinations()
{
    const std::string domain = value("DESTUSERDOM");
    for (Entry &entry : m_entries) {
        if (entry.failed)
            continue;
        entry.to = modAccounts::Resolve(m_computer.directory(), entry.destination, domain);
        if (!entry.to) {
            fail(entry, modFindings::DestinationAccountMissing, "not found");
            continue;
        }
        if (entry.to->uid == entry.from->uid) {
            // A bare name that fell back to the source's own account.
            fail(entry, modFindings::DestinationAccountMissing, "resolves to the source account itself");
            continue;
        }
        entry.toGroup = modAccounts::PrivateGroup(m_computer.directory(), *entry.to);
    }
}

void ClientMigration::undoFrom(std::size_t firstStep)
{
    std::vector<std::string> warnings;
    for (std::size_t n = m_journal.steps().size(); n > firstStep; --n) {
        ClientJournal::Step &step = m_journal.steps()[n - 1];
        std::string problem;
        if (step.phase != ClientJournal::Phase::Undone && step.kind != ClientJournal::Kind::Resolved
            && !modProfileStep::Redo(m_journal, step, true, warnings, problem, pulse()))
            m_log("Could not undo a step: " + problem);
    }
}

bool ClientMigration::migrateEntry(Entry &entry)
{
    const std::string source = entry.from->home;
    const std::string destination = entry.to->home;
    const bool copy = (std::atoi(value("PROFILEACTIONS").c_str()) & static_cast<int>(kProfileActionCopy)) != 0;
    const bool overwrite = value("REMOVEDESTPROFILE") == "1";
    ProfileReowner::Mapping mapping;
    mapping.sourceUid = entry.from->uid;
    mapping.destinationUid = entry.to->uid;
    if (entry.fromGroup && entry.toGroup) {
        mapping.mapsGroup = true;
        mapping.sourceGid = entry.fromGroup->gid;
        mapping.destinationGid = entry.toGroup->gid;
    } else if (entry.fromGroup) {
        // A wider group than the file had is never given.
        m_report(modFindings::GroupLeft, entry.label + ": " + entry.fromGroup->name);
    }
    const std::size_t first = m_journal.steps().size();
    std::string problem;
    const auto undo = [&](const std::string &why) {
        undoFrom(first);
        fail(entry, modFindings::ProfileNotMigrated, why);
        return m_stillWanted();
    };
    if (source != destination) {
        bool exists = false;
        if (!folderAt(destination, exists))
            return undo(destination + " is there but is no folder");
        if (exists && !emptyFolder(destination) && !overwrite) {
            fail(entry, modFindings::DestinationHomeNotEmpty, destination);
            return m_stillWanted();
        }
        if (!modClientFiles::MakeFolders(parentOf(destination), problem))
            return undo(problem);
        if (exists) {
            const std::string aside = destination + ".varno-osk-" + m_journal.run();
            if (!modProfileStep::Folder(m_journal, ClientJournal::Kind::Rename, destination, aside, problem))
                return undo(problem);
            m_report(modFindings::DestinationHomeMovedAside, entry.label + ": " + aside);
        }
        if (copy) {
            const unsigned long long mebibyte = 1024ull * 1024;
            const long long asked = std::atoll(value("MINFREESPACE").c_str());
            const auto free = m_computer.freeBytes(parentOf(destination));
            if (asked > 0 && (!free || *free / mebibyte < static_cast<unsigned long long>(asked))) {
                undoFrom(first);
                fail(entry, modFindings::DiskSpaceShort,
                    (free ? std::to_string(*free / mebibyte) : std::string("unknown")) + " MiB free for the copy, " + std::to_string(asked)
                        + " MiB asked for");
                return m_stillWanted();
            }
            if (!modProfileStep::Folder(m_journal, ClientJournal::Kind::Copy, source, destination, problem))
                return undo(problem);
            if (!m_stillWanted())
                return undo("aborted");
        }
    }
    std::vector<std::string> warnings;
    const std::string tree = copy && source != destination ? destination : source;
    if (!modProfileStep::Move(m_journal, tree, mapping, warnings, problem, pulse()))
        return undo(problem);
    for (const std::string &warning : warnings) {
        m_report(modFindings::HardLinkFromOutside, entry.label + ": " + warning);
        ++entry.named;
    }
    if (!m_stillWanted())
        return undo("aborted");
    if (!copy && source != destination && !modProfileStep::Folder(m_journal, ClientJournal::Kind::Rename, source, destination, problem))
        return undo(problem);
    entry.home = destination;
    m_changed = true;
    m_report(copy && source != destination ? modFindings::ProfileCopied : modFindings::ProfileMigrated, entry.label + ": " + destination);
    return m_stillWanted();
}

bool ClientMigration::migrate()
{
    const unsigned actions = static_cast<unsigned>(std::atoi(value("PROFILEACTIONS").c_str()));
    if (actions & kProfileActionSkipTemporaryFiles)
        m_report(modFindings::OptionDoesNotApply, "\"Do not copy 'Temporary Internet Files' folder\"");
    buildEntries();
    if (!resolveSources())
        return true;
    bool realmChanged = false;
    if (!changeRealm(realmChanged)) {
        for (Entry &entry : m_entries)
            entry.failed = true;
        return m_stillWanted();
    }
    m_changed = realmChanged;
    setWorkgroup();
    if (realmChanged)
        m_actions.flushNameCaches();
    if (!m_stillWanted())
        return false;
    resolveDestinations();
    for (Entry &entry : m_entries) {
        if (!entry.failed && !migrateEntry(entry))
            return false;
    }
    return true;
}

bool ClientMigration::rebootWanted() const
{
    return m_changed && value("REBOOTPERM") == "1";
}

std::size_t ClientMigration::filesOf(const std::string &home, unsigned uid, std::string &problem)
{
    // The profile's own path is never a link; nftw follows none below it.
    const int folder = ProfileReowner::openFolderNoFollow(home, problem);
    if (folder < 0)
        return 0;
    ::close(folder);
    t_countedUid = uid;
    t_counted = 0;
    if (::nftw(home.c_str(), countOwned, 32, FTW_PHYS | FTW_MOUNT) != 0)
        problem = "Cannot walk " + home + ".";
    return t_counted;
}

void ClientMigration::verify()
{
    std::vector<std::string> faults;
    std::size_t checked = 0;
    for (const Entry &entry : m_entries) {
        if (entry.failed || entry.home.empty())
            continue;
        ++checked;
        const auto now = modAccounts::Resolve(m_computer.directory(), entry.destination, value("DESTUSERDOM"));
        struct stat info
        {
        };
        std::string problem;
        if (!now || now->uid != entry.to->uid)
            faults.push_back(entry.label + ": the destination no longer resolves");
        else if (::lstat(entry.home.c_str(), &info) != 0 || info.st_uid != now->uid)
            faults.push_back(entry.label + ": " + entry.home + " does not belong to the destination");
        else if (const std::size_t left = filesOf(entry.home, entry.from->uid, problem); left > entry.named || !problem.empty())
            faults.push_back(entry.label + ": " + (problem.empty() ? std::to_string(left) + " files still belong to the source" : problem));
    }
    const std::string domain = value("JOINDOMAIN");
    if (!domain.empty()) {
        const auto current = m_computer.joinedDomain();
        if (!current || !modAccounts::SameDomain(*current, domain))
            faults.push_back("the computer is not in " + domain);
    }
    for (const std::string &fault : faults)
        m_report(modFindings::WorkNotVerified, fault);
    if (faults.empty())
        m_report(modFindings::WorkVerified, std::to_string(checked) + " profiles" + (domain.empty() ? std::string() : ", realm " + domain));
}

void ClientMigration::rollBack()
{
    if (m_journal.steps().empty()) {
        m_report(modFindings::NothingToRollBack, "no journal");
        return;
    }
    std::vector<std::string> warnings;
    bool realmChanged = false;
    for (std::size_t n = m_journal.steps().size(); n > 0; --n) {
        ClientJournal::Step &step = m_journal.steps()[n - 1];
        if (step.phase == ClientJournal::Phase::Undone || step.kind == ClientJournal::Kind::Resolved)
            continue;
        std::string problem;
        std::string what;
        bool ok = true;
        switch (step.kind) {
        case ClientJournal::Kind::RealmJoin:
            what = "left " + step.domain;
            // A join cut short may not have joined at all.
            ok = m_actions.leaveRealm(step.domain, problem) || m_computer.joinedDomain() == std::optional<std::string>(std::string());
            realmChanged = true;
            break;
        case ClientJournal::Kind::RealmLeave:
            // Joining back needs an account of that domain, given for the rollback.
            if (!modAccounts::SameDomain(value("JOINDOMAIN"), step.domain) || value("JOINDOMUSER").empty()) {
                m_report(modFindings::RealmNotReversed, step.domain);
                continue;
            }
            what = "joined " + step.domain + " again";
            ok = m_actions.joinRealm(step.domain, value("JOINDOMUSER"), value("JOINDOMPASS"), problem);
            realmChanged = true;
            break;
        case ClientJournal::Kind::Workgroup:
            what = "workgroup " + step.from + " again";
            ok = m_actions.setWorkgroup(step.from, problem);
            break;
        default:
            what = step.kind == ClientJournal::Kind::ProfileReown ? step.tree + " given back"
                : step.kind == ClientJournal::Kind::Copy          ? "the copy " + step.to + " removed"
                                                                  : step.to + " moved back to " + step.from;
            ok = modProfileStep::Redo(m_journal, step, true, warnings, problem, pulse());
            break;
        }
        if (!ok) {
            m_report(modFindings::RollbackFailed, what + ": " + problem);
            return;
        }
        step.phase = ClientJournal::Phase::Undone;
        save();
        m_report(modFindings::StepReversed, what);
        if (!m_stillWanted())
            return;
    }
    if (realmChanged)
        m_actions.flushNameCaches();
}

void ClientMigration::undoInterrupted()
{
    m_log("The journal holds run " + m_journal.run() + ", which a kill or a lost link cut short; it is undone first.");
    ClientMigration earlier(m_computer, m_actions, Config {}, m_journal, m_report, m_log, [] { return true; });
    earlier.rollBack();
}
