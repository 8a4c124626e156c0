#include "client/modProfileStep.h"

#include <unistd.h>

namespace modProfileStep {

namespace {

// One walk of a step already in the journal: survey (the hard links), then apply.
bool run(const ClientJournal::Step &step, ProfileReowner::Direction direction, std::vector<std::string> &warnings, std::string &problem)
{
    const int profile = ProfileReowner::openFolderNoFollow(step.tree, problem);
    if (profile < 0)
        return false;
    ProfileReowner reowner(step.mapping, direction);
    const bool ok = reowner.survey(profile, false) && reowner.apply(profile, step.kept);
    ::close(profile);
    warnings.insert(warnings.end(), reowner.warnings().begin(), reowner.warnings().end());
    if (!ok)
        problem = reowner.problems().empty() ? "The profile " + step.tree + " could not be walked." : reowner.problems().front();
    return ok;
}

bool finishStep(ClientJournal &journal, ClientJournal::Step &step, bool reverse, std::vector<std::string> &warnings, std::string &problem)
{
    if (!run(step, reverse ? ProfileReowner::Direction::Reverse : ProfileReowner::Direction::Forward, warnings, problem))
        return false;
    step.phase = reverse ? ClientJournal::Phase::Undone : ClientJournal::Phase::Done;
    return journal.save(problem);
}

} // namespace

bool Move(ClientJournal &journal, const std::string &tree, const ProfileReowner::Mapping &mapping, std::vector<std::string> &warnings,
    std::string &problem)
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
    bool ok = reowner.survey(profile, true);
    if (ok) {
        journal.steps().push_back(
            ClientJournal::Step {ClientJournal::Kind::ProfileReown, ClientJournal::Phase::Begun, mapping, tree, reowner.kept()});
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

bool Finish(ClientJournal &journal, bool reverse, std::vector<std::string> &warnings, std::string &problem)
{
    for (ClientJournal::Step &step : journal.steps()) {
        if (step.phase == ClientJournal::Phase::Begun)
            return finishStep(journal, step, reverse, warnings, problem);
    }
    return true;
}

bool RollBack(ClientJournal &journal, std::vector<std::string> &warnings, std::string &problem)
{
    for (auto step = journal.steps().rbegin(); step != journal.steps().rend(); ++step) {
        if (step->phase != ClientJournal::Phase::Undone && !finishStep(journal, *step, true, warnings, problem))
            return false;
    }
    return true;
}

} // namespace modProfileStep
