#pragma once

#include "client/AccountDirectory.h"
#include "client/ComputerView.h"

#include <memory>

// The computer the service runs on. With a root folder (a test's, see modClientMode)
// every system path is taken below it: accounts from <root>/etc/passwd,
// processes from <root>/proc, the realm tool from <root>/usr/sbin; without
// one, accounts come through NSS, so directory accounts count too.
class LocalComputer : public ComputerView
{
public:
    explicit LocalComputer(std::string root);
    ~LocalComputer() override;

    std::optional<Account> account(const std::string &name) override;
    std::optional<Account> accountOf(unsigned uid) override;
    // A user with a running process holds the profile open.
    bool hasSession(unsigned uid) override;
    bool folderExists(const std::string &path) override;
    std::string profilesFolder() override;
    std::optional<unsigned long long> freeBytes(const std::string &path) override;
    bool realmToolsPresent() override;
    std::optional<std::string> joinedDomain() override;
    bool privileged() override;

private:
    std::string realmTool() const;

    std::string m_root;
    std::unique_ptr<AccountDirectory> m_directory;
};
