#pragma once

#include "client/AccountDirectory.h"
#include "client/ComputerActions.h"
#include "client/ComputerView.h"

#include <initializer_list>
#include <memory>

// The computer the service runs on. With a root folder (a test's, see modClientMode)
// every system path is taken below it: accounts from <root>/etc/passwd,
// processes from <root>/proc, the realm tool from <root>/usr/sbin, systemctl
// from <root>/usr/bin, Samba's configuration from <root>/etc/samba, the
// resume unit in <root>/etc/systemd/system; without one, accounts come through NSS, so directory
// accounts count too.
class LocalComputer : public ComputerView, public ComputerActions
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
    AccountDirectory &directory() override { return *m_directory; }

    bool leaveRealm(const std::string &domain, std::string &problem) override;
    bool joinRealm(const std::string &domain, const std::string &user, const std::string &password, std::string &problem) override;
    bool reboot(bool force, std::string &problem) override;
    void flushNameCaches() override;
    std::optional<std::string> workgroup() override;
    bool setWorkgroup(const std::string &name, std::string &problem) override;
    std::optional<unsigned> uidOfSid(const std::string &sid) override;
    bool installResumeUnit(const std::vector<std::string> &argv, std::string &problem) override;
    bool removeResumeUnit(std::string &problem) override;

    // The resume unit's file, below the root.
    std::string resumeUnitPath() const;

private:
    // The first of the tools' paths that is there, below the root.
    std::string tool(std::initializer_list<const char *> candidates) const;
    std::string realmTool() const;

    std::string m_root;
    std::unique_ptr<AccountDirectory> m_directory;
};
