#include "client/modAccounts.h"

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
