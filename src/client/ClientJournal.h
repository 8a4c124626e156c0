#pragma once

#include "client/ProfileReowner.h"

#include <string>
#include <vector>

// What the client service has begun and finished on this computer, kept in
// its working folder so that a step cut short by a kill or a reboot is
// resumed or reversed as a whole. One record per step, written and synced
// before the step and after it, never one per file.
class ClientJournal
{
public:
    // Resolved records the source account's ids and changes nothing; the
    // others are undone newest first.
    enum class Kind { Resolved, RealmLeave, RealmJoin, Workgroup, Rename, Copy, ProfileReown };
    enum class Phase { Begun, Done, Undone };

    struct Step
    {
        Kind kind = Kind::ProfileReown;
        Phase phase = Phase::Begun;
        // Resolved, ProfileReown: the ids.
        ProfileReowner::Mapping mapping;
        // ProfileReown: the profile's folder.
        std::string tree;
        // What already named the destination before the step began.
        std::vector<ProfileReowner::Kept> kept;
        // Rename, Copy: the folders; Resolved: the account's name in `from`.
        std::string from;
        std::string to;
        // RealmLeave, RealmJoin: the domain; Workgroup: the new one in `to`
        // and the earlier one in `from`.
        std::string domain;
    };

    explicit ClientJournal(std::string folder);

    std::string path() const;
    // Reads the journal back; a journal not written yet is an empty one.
    bool load(std::string &problem);
    // Replaces the journal with the steps as they are, and syncs it.
    bool save(std::string &problem);

    std::vector<Step> &steps() { return m_steps; }
    const std::vector<Step> &steps() const { return m_steps; }
    // The run that wrote the journal.
    const std::string &run() const { return m_run; }
    void setRun(std::string run) { m_run = std::move(run); }
    // Whether that run got to its end; a journal that did not was cut short.
    bool complete() const { return m_complete; }
    void setComplete(bool complete) { m_complete = complete; }
    // Removes the journal: the migration it names can no longer be undone.
    bool forget(std::string &problem);

private:
    bool parse(const std::string &text, std::string &problem);

    std::string m_folder;
    std::string m_run;
    bool m_complete = false;
    std::vector<Step> m_steps;
};
