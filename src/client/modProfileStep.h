#pragma once

#include "client/ClientJournal.h"
#include "client/ProfileReowner.h"

#include <string>
#include <vector>

// A profile's re-owning as one journalled step: begun and synced before the
// first file changes, done (or undone) and synced after the last.
namespace modProfileStep {

// Gives the profile at `tree` to the destination of `mapping`. Nothing
// changes when the survey finds a problem or the journal cannot be written.
bool Move(ClientJournal &journal, const std::string &tree, const ProfileReowner::Mapping &mapping, std::vector<std::string> &warnings,
    std::string &problem);

// The step a kill left "begun", if any: applied again (`reverse` false) or
// reversed. True when there was none.
bool Finish(ClientJournal &journal, bool reverse, std::vector<std::string> &warnings, std::string &problem);

// Reverses every step not undone yet, newest first.
bool RollBack(ClientJournal &journal, std::vector<std::string> &warnings, std::string &problem);

} // namespace modProfileStep
