#pragma once

#include <string>

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
    virtual bool reboot(std::string &problem) = 0;
};
