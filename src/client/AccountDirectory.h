#pragma once

#include <optional>
#include <string>
#include <vector>

// Where a computer's accounts and groups are looked up: the system's name
// service (NameServiceDirectory), which knows the directory's accounts on a
// member computer, or the plain files of a computer's tree
// (FilesDirectory), for a test's private root.
class AccountDirectory
{
public:
    struct User
    {
        std::string name;
        unsigned uid = 0;
        unsigned gid = 0; // the primary group
        std::string home; // as this process reaches it
    };
    struct Group
    {
        std::string name;
        unsigned gid = 0;
        std::vector<std::string> members;
    };

    virtual ~AccountDirectory() = default;

    virtual std::optional<User> user(const std::string &name) = 0;
    virtual std::optional<User> userById(unsigned uid) = 0;
    virtual std::optional<Group> groupById(unsigned gid) = 0;
};

// The system's name service: getpwnam_r and its kin.
class NameServiceDirectory final : public AccountDirectory
{
public:
    std::optional<User> user(const std::string &name) override;
    std::optional<User> userById(unsigned uid) override;
    std::optional<Group> groupById(unsigned gid) override;
};

// <root>/etc/passwd and <root>/etc/group, read whole (bounded) each time:
// a test's computer is small, and a change made meanwhile counts.
class FilesDirectory final : public AccountDirectory
{
public:
    explicit FilesDirectory(std::string root);

    std::optional<User> user(const std::string &name) override;
    std::optional<User> userById(unsigned uid) override;
    std::optional<Group> groupById(unsigned gid) override;

private:
    std::optional<User> findUser(const std::string *name, unsigned uid);

    std::string m_root;
};
