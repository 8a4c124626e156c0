#include "client/modAccounts.h"

#include <algorithm>
#include <cctype>

namespace modAccounts {

bool IsLocal(const std::string &domain)
{
    return domain.empty() || domain == LocalDomain;
}

std::vector<std::string> Forms(const std::string &name, const std::string &domain)
{
    if (IsLocal(domain))
        return {name};
    return {name + "@" + domain, domain + "\\" + name, name};
}

std::optional<AccountDirectory::User> Resolve(AccountDirectory &directory, const std::string &name, const std::string &domain)
{
    for (const std::string &form : Forms(name, domain))
        if (auto user = directory.user(form))
            return user;
    return std::nullopt;
}

bool SameDomain(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::optional<std::string> NameIn(const std::string &account, const std::string &domain)
{
    const std::size_t at = account.rfind('@');
    const std::size_t backslash = account.find('\\');
    if (IsLocal(domain))
        return at == std::string::npos && backslash == std::string::npos ? std::optional(account) : std::nullopt;
    if (at != std::string::npos && SameDomain(account.substr(at + 1), domain))
        return account.substr(0, at);
    if (backslash != std::string::npos && SameDomain(account.substr(0, backslash), domain))
        return account.substr(backslash + 1);
    return std::nullopt;
}

std::optional<AccountDirectory::Group> PrivateGroup(AccountDirectory &directory, const AccountDirectory::User &user)
{
    auto group = directory.groupById(user.gid);
    if (!group || group->name != user.name)
        return std::nullopt;
    for (const std::string &member : group->members)
        if (member != user.name)
            return std::nullopt;
    return group;
}

} // namespace modAccounts
