#pragma once

#include <optional>
#include <string>
#include <vector>

// What the migration changes on its computer besides the profiles: its
// realm and its reboot. LocalComputer does it with the computer's own tools,
// or, in a test's root, with the tools the test put there (which record what
// they were asked); never with this machine's.
class ComputerActions
{
public:
    virtual ~ComputerActions() = default;

    virtual bool leaveRealm(const std::string &domain, std::string &problem) = 0;
    // The password reaches the realm tool on its standard input, never on a command line.
    virtual bool joinRealm(const std::string &domain, const std::string &user, const std::string &password, std::string &problem) = 0;
    // `force`: even while other users are logged in or a program holds the reboot off.
    virtual bool reboot(bool force, std::string &problem) = 0;
    // After a realm change, so that the new domain's accounts resolve at once.
    virtual void flushNameCaches() = 0;

    // Samba's workgroup; nullopt where Samba is not installed.
    virtual std::optional<std::string> workgroup() = 0;
    virtual bool setWorkgroup(const std::string &name, std::string &problem) = 0;

    // The uid of a directory account's SID, through winbind; nullopt when
    // it cannot be mapped (no guess is ever made).
    virtual std::optional<unsigned> uidOfSid(const std::string &sid) = 0;

    // The unit that starts the client service again after a reboot, with
    // `argv`; installed for one run and removed at its end.
    virtual bool installResumeUnit(const std::vector<std::string> &argv, std::string &problem) = 0;
    virtual bool removeResumeUnit(std::string &problem) = 0;
};
