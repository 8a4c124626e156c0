#pragma once

#include "client/AccountDirectory.h"

#include <optional>
#include <string>
#include <vector>

// How the job's account names meet the computer's.
namespace modAccounts {

// The job's name for the computer's own accounts.
inline constexpr std::string_view LocalDomain = "*LOCAL ACCOUNT*";

bool IsLocal(const std::string &domain);

// The names to try for `name` of `domain`, in order: a directory account as
// SSSD shows it (name@domain), as winbind does (DOMAIN\name), then the bare
// name (a name service that leaves the domain off); a local account as it is.
std::vector<std::string> Forms(const std::string &name, const std::string &domain);

// The first form that resolves.
std::optional<AccountDirectory::User> Resolve(AccountDirectory &directory, const std::string &name, const std::string &domain);

// The account's name within `domain` when the account, as the name service
// shows it, belongs to that domain (name@domain, DOMAIN\name, either case),
// or is a local one (no domain in its name) for the local domain.
std::optional<std::string> NameIn(const std::string &account, const std::string &domain);

// Whether two domain names are the same (they ignore case).
bool SameDomain(const std::string &a, const std::string &b);

// The user's private group: the primary group when it has the user's name
// and nobody else in it; a shared primary group is no private group.
std::optional<AccountDirectory::Group> PrivateGroup(AccountDirectory &directory, const AccountDirectory::User &user);

} // namespace modAccounts
