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
    enum class Kind { ProfileReown };
    enum class Phase { Begun, Done, Undone };

    struct Step
    {
        Kind kind = Kind::ProfileReown;
        Phase phase = Phase::Begun;
        ProfileReowner::Mapping mapping;
        std::string tree;
        // What already named the destination before the step began.
        std::vector<ProfileReowner::Kept> kept;
    };

    explicit ClientJournal(std::string folder);

    std::string path() const;
    // Reads the journal back; a journal not written yet is an empty one.
    bool load(std::string &problem);
    // Replaces the journal with the steps as they are, and syncs it.
    bool save(std::string &problem);

    std::vector<Step> &steps() { return m_steps; }
    const std::vector<Step> &steps() const { return m_steps; }

private:
    bool parse(const std::string &text, std::string &problem);

    std::string m_folder;
    std::vector<Step> m_steps;
};
