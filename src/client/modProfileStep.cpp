#include "client/modProfileStep.h"

#include "client/modTool.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace modProfileStep {

namespace {

// One walk of a step already in the journal: survey (the hard links), then apply.
bool run(const ClientJournal::Step &step, ProfileReowner::Direction direction, std::vector<std::string> &warnings, std::string &problem,
    const Pulse &pulse)
{
    const int profile = ProfileReowner::openFolderNoFollow(step.tree, problem);
    if (profile < 0)
        return false;
    ProfileReowner reowner(step.mapping, direction);
    reowner.setPulse(pulse);
    const bool ok = reowner.survey(profile, false) && reowner.apply(profile, step.kept);
    ::close(profile);
    warnings.insert(warnings.end(), reowner.warnings().begin(), reowner.warnings().end());
    if (!ok)
        problem = reowner.problems().empty() ? "The profile " + step.tree + " could not be walked." : reowner.problems().front();
    return ok;
}

// A folder's parent, opened without following links, and the folder's name in it.
struct Place
{
    int parent = -1;
    std::string name;
    ~Place()
    {
        if (parent >= 0)
            ::close(parent);
    }
    bool open(const std::string &path, std::string &problem)
    {
        const std::size_t slash = path.rfind('/');
        name = slash == std::string::npos ? std::string() : path.substr(slash + 1);
        if (name.empty() || name == "." || name == "..") {
            problem = "The folder " + path + " has no name of its own.";
            return false;
        }
        parent = ProfileReowner::openFolderNoFollow(slash == 0 ? std::string("/") : path.substr(0, slash), problem);
        return parent >= 0;
    }
    // What is there: 0 nothing, 1 a real folder, -1 something else (a link, a file).
    int state() const
    {
        struct stat info
        {
        };
        if (::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            return 0;
        return S_ISDIR(info.st_mode) ? 1 : -1;
    }
    // The folder as a path that a program reaches through this process's descriptor.
    std::string viaDescriptor() const { return "/proc/self/fd/" + std::to_string(parent) + "/" + name; }
};

bool removeFolder(const Place &place, std::string &problem)
{
    if (place.state() == 0)
        return true;
    // rm never follows a link below the folder it is given.
    if (!modTool::Run("/bin/rm", {"-rf", "--one-file-system", "--", place.viaDescriptor()}, [] { return true; }, {}, {place.parent},
            24 * 3600)) {
        problem = "Cannot remove " + place.name + ".";
        return false;
    }
    return true;
}

} // namespace

bool ApplyFolder(const ClientJournal::Step &step, bool reverse, std::string &problem)
{
    Place from;
    Place to;
    if (!from.open(step.from, problem) || !to.open(step.to, problem))
        return false;
    if (step.kind == ClientJournal::Kind::Copy) {
        // A copy cut short is made again from the start.
        if (!removeFolder(to, problem))
            return false;
        if (reverse)
            return true;
        if (from.state() != 1) {
            problem = step.from + " is not a folder.";
            return false;
        }
        if (!modTool::Run("/bin/cp", {"-a", "--no-target-directory", "--", from.viaDescriptor(), to.viaDescriptor()}, [] { return true; },
                {}, {from.parent, to.parent}, 24 * 3600)) {
            problem = "Cannot copy " + step.from + " to " + step.to + ".";
            removeFolder(to, problem);
            return false;
        }
        return true;
    }
    const Place &source = reverse ? to : from;
    const Place &target = reverse ? from : to;
    const std::string &sourcePath = reverse ? step.to : step.from;
    const std::string &targetPath = reverse ? step.from : step.to;
    // Moved already, before a kill.
    if (source.state() == 0 && target.state() == 1)
        return true;
    if (source.state() != 1) {
        problem = sourcePath + " is not a folder.";
        return false;
    }
    if (::renameat2(source.parent, source.name.c_str(), target.parent, target.name.c_str(), RENAME_NOREPLACE) != 0) {
        problem = "Cannot move " + sourcePath + " to " + targetPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Folder(ClientJournal &journal, ClientJournal::Kind kind, const std::string &from, const std::string &to, std::string &problem)
{
    ClientJournal::Step step;
    step.kind = kind;
    step.from = from;
    step.to = to;
    journal.steps().push_back(step);
    if (!journal.save(problem)) {
        journal.steps().pop_back();
        return false;
    }
    std::vector<std::string> none;
    return Redo(journal, journal.steps().back(), false, none, problem);
}

bool Redo(
    ClientJournal &journal, ClientJournal::Step &step, bool reverse, std::vector<std::string> &warnings, std::string &problem, const Pulse &pulse)
{
    bool ok = true;
    if (step.kind == ClientJournal::Kind::ProfileReown)
        ok = run(step, reverse ? ProfileReowner::Direction::Reverse : ProfileReowner::Direction::Forward, warnings, problem, pulse);
    else if (step.kind == ClientJournal::Kind::Rename || step.kind == ClientJournal::Kind::Copy)
        ok = ApplyFolder(step, reverse, problem);
    if (!ok)
        return false;
    step.phase = reverse ? ClientJournal::Phase::Undone : ClientJournal::Phase::Done;
    return journal.save(problem);
}

bool Move(ClientJournal &journal, const std::string &tree, const ProfileReowner::Mapping &mapping, std::vector<std::string> &warnings,
    std::string &problem, const Pulse &pulse)
{
    for (const ClientJournal::Step &step : journal.steps()) {
        if (step.phase == ClientJournal::Phase::Begun) {
            problem = "The step on " + step.tree + " was cut short; it is resumed or reversed first.";
            return false;
        }
    }
    const int profile = ProfileReowner::openFolderNoFollow(tree, problem);
    if (profile < 0)
        return false;
    ProfileReowner reowner(mapping, ProfileReowner::Direction::Forward);
    reowner.setPulse(pulse);
    bool ok = reowner.survey(profile, true);
    if (ok) {
        ClientJournal::Step step;
        step.mapping = mapping;
        step.tree = tree;
        step.kept = reowner.kept();
        journal.steps().push_back(std::move(step));
        ok = journal.save(problem);
        if (!ok)
            journal.steps().pop_back();
        // The survey's count of hard links still holds: nothing changed since.
        ok = ok && reowner.apply(profile, journal.steps().back().kept);
        if (ok)
            journal.steps().back().phase = ClientJournal::Phase::Done;
        ok = ok && journal.save(problem);
    }
    ::close(profile);
    warnings.insert(warnings.end(), reowner.warnings().begin(), reowner.warnings().end());
    if (!reowner.problems().empty())
        problem = reowner.problems().front();
    return ok;
}

} // namespace modProfileStep

namespace modProfileStep {

bool Finish(ClientJournal &journal, bool reverse, std::vector<std::string> &warnings, std::string &problem)
{
    for (ClientJournal::Step &step : journal.steps()) {
        if (step.phase == ClientJournal::Phase::Begun)
            return Redo(journal, step, reverse, warnings, problem);
    }
    return true;
}

bool RollBack(ClientJournal &journal, std::vector<std::string> &warnings, std::string &problem)
{
    for (auto step = journal.steps().rbegin(); step != journal.steps().rend(); ++step) {
        if (step->phase != ClientJournal::Phase::Undone && !Redo(journal, *step, true, warnings, problem))
            return false;
    }
    return true;
}

} // namespace modProfileStep
