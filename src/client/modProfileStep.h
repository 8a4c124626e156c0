#pragma once

#include "client/ClientJournal.h"
#include "client/ProfileReowner.h"

#include <functional>
#include <string>
#include <vector>

// A profile's steps, each journalled as a whole: begun and synced before the
// first file changes, done (or undone) and synced after the last. Every step
// may be applied again after a kill, forwards or in reverse.
namespace modProfileStep {

// Called now and then during a walk of a profile (ProfileReowner::setPulse).
using Pulse = std::function<void()>;

// A folder's move (Rename) or copy (Copy) as the journal's `step` names it,
// forwards or in reverse: a move back, or the copy removed. The folders'
// parents are opened without following links; a move never replaces.
bool ApplyFolder(const ClientJournal::Step &step, bool reverse, std::string &problem);

// Journals a folder step and applies it.
bool Folder(ClientJournal &journal, ClientJournal::Kind kind, const std::string &from, const std::string &to, std::string &problem);

// Gives the profile at `tree` to the destination of `mapping`. Nothing
// changes when the survey finds a problem or the journal cannot be written.
bool Move(ClientJournal &journal, const std::string &tree, const ProfileReowner::Mapping &mapping, std::vector<std::string> &warnings,
    std::string &problem, const Pulse &pulse = {});

// A profile step of the journal (Rename, Copy, ProfileReown) applied again,
// forwards or in reverse, and journalled as done or undone.
bool Redo(ClientJournal &journal, ClientJournal::Step &step, bool reverse, std::vector<std::string> &warnings, std::string &problem,
    const Pulse &pulse = {});

// The step a kill left "begun", if any: applied again (`reverse` false) or
// reversed. True when there was none.
bool Finish(ClientJournal &journal, bool reverse, std::vector<std::string> &warnings, std::string &problem);

// Reverses every profile step not undone yet, newest first (the other
// kinds change nothing here).
bool RollBack(ClientJournal &journal, std::vector<std::string> &warnings, std::string &problem);

} // namespace modProfileStep
