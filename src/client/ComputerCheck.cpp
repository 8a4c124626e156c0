#include "client/ComputerCheck.h"

#include "client/modAccounts.h"
#include "protocol/modFindings.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

constexpr std::string_view kAllUsers = "*ALL";

std::vector<std::string> commaList(const std::string &text)
{
    std::vector<std::string> items;
    if (text.empty())
        return items;
    std::size_t at = 0;
    for (;;) {
        const std::size_t next = text.find(',', at);
        items.push_back(text.substr(at, next == std::string::npos ? std::string::npos : next - at));
        if (next == std::string::npos)
            return items;
        at = next + 1;
    }
}

std::string qualified(const std::string &name, const std::string &domain)
{
    return modAccounts::IsLocal(domain) ? name : domain + "\\" + name;
}

} // namespace

ComputerCheck::ComputerCheck(ComputerView &computer, const Config &config)
    : m_computer(computer)
    , m_config(config)
{ }

bool ComputerCheck::IsLong(std::size_t step)
{
    // The realm tool may ask the directory, which can take its time.
    return step == 1;
}

void ComputerCheck::runStep(std::size_t step, const Report &report)
{
    switch (step) {
    case 0:
        checkRights(report);
        break;
    case 1:
        checkJoin(report);
        break;
    case 2:
        checkUsers(report);
        break;
    case 3:
        checkDisk(report);
        break;
    default:
        checkReboot(report);
        break;
    }
}

std::string ComputerCheck::value(std::string_view key) const
{
    const auto found = m_config.find(key);
    return found == m_config.end() ? std::string() : found->second;
}

const std::optional<std::string> &ComputerCheck::joined()
{
    if (!m_joinedKnown) {
        m_joined = m_computer.joinedDomain();
        m_joinedKnown = true;
    }
    return m_joined;
}

std::optional<ComputerView::Account> ComputerCheck::lookUp(const std::string &name, const std::string &domain)
{
    for (const std::string &form : modAccounts::Forms(name, domain))
        if (auto account = m_computer.account(form))
            return account;
    return std::nullopt;
}

void ComputerCheck::checkRights(const Report &report)
{
    if (m_computer.privileged())
        report(modFindings::RightsEnough, "runs as root");
    else
        report(modFindings::RightsMissing, "runs without root's rights; the migration needs them");
}

void ComputerCheck::checkJoin(const Report &report)
{
    const std::string domain = value("JOINDOMAIN");
    const std::string workgroup = value("JOINWORKGROUP");
    if (domain.empty() && workgroup.empty())
        return;
    if (!m_computer.realmToolsPresent()) {
        report(modFindings::RealmToolsMissing, "realm is not installed (package realmd)");
        return;
    }
    const std::string source = value("SOURCEUSERDOM");
    const std::string expected = modAccounts::IsLocal(source) ? std::string() : source;
    const std::optional<std::string> &current = joined();
    if (!current)
        report(modFindings::MembershipNotSource, "realm list gave no answer");
    else if (modAccounts::SameDomain(*current, expected))
        report(modFindings::MembershipAsExpected, current->empty() ? "joined to no domain" : "joined to " + *current);
    else
        report(modFindings::MembershipNotSource,
            (current->empty() ? std::string("joined to no domain") : "joined to " + *current) + "; the job's source is "
                + (expected.empty() ? std::string("no domain") : expected));
}

void ComputerCheck::checkUsers(const Report &report)
{
    const std::string sourceDomain = value("SOURCEUSERDOM");
    const std::string destinationDomain = value("DESTUSERDOM");
    const std::vector<std::string> sources = commaList(value("SOURCEUSER"));
    const std::vector<std::string> destinations = commaList(value("DESTUSER"));
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::string &source = sources[i];
        if (!source.empty() && source != kAllUsers) {
            const std::string name = qualified(source, sourceDomain);
            const auto account = lookUp(source, sourceDomain);
            if (!account)
                report(modFindings::SourceAccountMissing, name);
            else if (!m_computer.folderExists(account->home))
                report(modFindings::ProfileFolderMissing, name + ": " + account->home);
            else if (m_computer.hasSession(account->uid))
                report(modFindings::ProfileInUse, name + ": " + account->home);
            else
                report(modFindings::SourceAccountFound, name + ": " + account->home);
        }
        if (i >= destinations.size() || destinations[i].empty() || destinations[i] == kAllUsers)
            continue;
        const std::string &destination = destinations[i];
        const std::string name = qualified(destination, destinationDomain);
        const std::optional<std::string> &current = joined();
        const bool member = current && modAccounts::SameDomain(*current, destinationDomain);
        if (!modAccounts::IsLocal(destinationDomain) && !member && modAccounts::SameDomain(value("JOINDOMAIN"), destinationDomain)) {
            report(modFindings::DestinationAfterJoin, name);
        } else if (lookUp(destination, destinationDomain)) {
            report(modFindings::DestinationAccountFound, name);
        } else {
            // The migration gives profiles to accounts that exist; it makes none.
            report(modFindings::DestinationAccountMissing, name);
        }
    }
}

void ComputerCheck::checkDisk(const Report &report)
{
    // The number is in MiB, the unit the settings panel asks for.
    const std::string asked = value("MINFREESPACE");
    long long mebibytes = -1;
    const auto [end, error] = std::from_chars(asked.data(), asked.data() + asked.size(), mebibytes);
    if (error != std::errc() || end != asked.data() + asked.size() || mebibytes < 0)
        return;
    const std::string path = m_computer.profilesFolder();
    const std::optional<unsigned long long> free = m_computer.freeBytes(path);
    const std::string particulars = (free ? std::to_string(*free / (1024 * 1024)) : std::string("unknown")) + " MiB free on " + path + ", "
        + std::to_string(mebibytes) + " MiB asked for";
    const bool enough = free && *free / (1024 * 1024) >= static_cast<unsigned long long>(mebibytes);
    report(enough ? modFindings::DiskSpaceEnough : modFindings::DiskSpaceShort, particulars);
}

void ComputerCheck::checkReboot(const Report &report)
{
    if (value("REBOOTPERM") == "1")
        report(modFindings::RebootAllowed, "REBOOTPERM=1");
    else
        report(modFindings::RebootNotAllowed, "REBOOTPERM=" + value("REBOOTPERM"));
}
