#pragma once

#include "client/AccountDirectory.h"

#include <functional>
#include <optional>
#include <string>

// What the check reads of its own computer: accounts, sessions, the disk and
// the realm membership. LocalComputer reads the machine (or a private root in
// tests); nothing here changes anything.
class ComputerView
{
public:
    struct Account
    {
        unsigned uid = 0;
        std::string home; // as this process reaches it
    };

    virtual ~ComputerView() = default;

    virtual std::optional<Account> account(const std::string &name) = 0;
    virtual std::optional<Account> accountOf(unsigned uid) = 0;
    virtual bool hasSession(unsigned uid) = 0;
    virtual bool folderExists(const std::string &path) = 0;
    // Where the profiles live.
    virtual std::string profilesFolder() = 0;
    // Free bytes for an unprivileged user on the file system of `path`.
    virtual std::optional<unsigned long long> freeBytes(const std::string &path) = 0;
    virtual bool realmToolsPresent() = 0;
    // The domain the computer is joined to, empty for none; nullopt when the
    // realm tool gave no answer.
    virtual std::optional<std::string> joinedDomain() = 0;
    virtual bool privileged() = 0;
    // The accounts themselves, for the work that needs their groups.
    virtual AccountDirectory &directory() = 0;

    // Called a few times a second while a tool of the computer runs: the run
    // keeps the console told it is alive and hears an abort. False stops the
    // tool, and its answer counts as none.
    void setWaiting(std::function<bool()> stillWanted) { m_stillWanted = std::move(stillWanted); }
    // The same call, for long work of the client's own (a profile's walk).
    bool stillWanted() const { return !m_stillWanted || m_stillWanted(); }

private:
    std::function<bool()> m_stillWanted;
};
