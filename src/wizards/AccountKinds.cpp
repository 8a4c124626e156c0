#include "wizards/AccountKinds.h"

#include "settings/GlobalSettings.h"

#include <array>

namespace AccountKinds {

namespace {

using S = Scope;

const std::array<Kind, Last + 1> &table()
{
    static const std::array<Kind, Last + 1> kinds = {{
        {},
        {QStringLiteral("local computer administritive rights."),
            {QStringLiteral("Must have local administrator privileges on all computers."),
                QStringLiteral("May be a domain account or a local account.")},
            S::Either, {AdminA, AdminB}},
        {QStringLiteral("joining the computers to the domain."),
            {QStringLiteral("Required privileges to join all computers to the domain."), QStringLiteral("Must be a domain account."),
                QStringLiteral("NOTE: Normal user accounts can only join 10 computers to a domain.")},
            S::Either, {DomainJoin}},
        {QStringLiteral("administrative access to the source domain."),
            {QStringLiteral("Member of 'Domain Admins' group in source domain."),
                QStringLiteral("Local administrator access to computers (before domain change).")},
            S::Domain, {AdminA, SourceSIDLookup}},
        {QStringLiteral("administrative access to destination domain."),
            {QStringLiteral("Member of 'Domain Admins' group in destination domain."),
                QStringLiteral("Local administrator access to computers (after domain change).")},
            S::Domain, {AdminB, DestinationSIDLookup, DomainJoin}},
        {QStringLiteral("local administrative access."), {QStringLiteral("Member of 'Domain Admins' in computer source domain.")},
            S::Domain, {AdminA}},
        {QStringLiteral("local administrative access."), {QStringLiteral("Member of 'Domain Admins' in computer destination domain.")},
            S::Domain, {AdminB, DomainJoin}},
        {QStringLiteral("domain administrator access."),
            {QStringLiteral("Member of 'Domain Admins' group."), QStringLiteral("Local administrator access to computers.")}, S::Domain,
            {AdminA, AdminB, SourceSIDLookup, DestinationSIDLookup}},
        // An admin of the computers' own domain, asked for beside a user-domain
        // lookup account (kind 11) that already fills both lookup slots: what it
        // is good for is administering the computers, which is the work of the
        // two client services, before and after.
        {QStringLiteral("domain admin in the computer domain."), {QStringLiteral("Member of 'Domain Admins' in computer account domain.")},
            S::Domain, {AdminA, AdminB}},
        {QStringLiteral("source user SID lookup."), {QStringLiteral("Any active user account in source user domain.")}, S::Either,
            {SourceSIDLookup}},
        {QStringLiteral("destination user SID lookup."), {QStringLiteral("Any active user account in destination user domain.")}, S::Domain,
            {DestinationSIDLookup}},
        {QStringLiteral("user SID lookup."), {QStringLiteral("Any active user account in the user domain.")}, S::Domain,
            {SourceSIDLookup, DestinationSIDLookup}},
        {QStringLiteral("local administrative access."),
            {QStringLiteral("Must be a local administrator account."), QStringLiteral("Must be valid for ALL computers in the group.")},
            S::Local, {AdminA, AdminB}},
        {QStringLiteral("SID lookup and domain change."),
            {QStringLiteral("An active user account in the destination domain."),
                QStringLiteral("Required privileges to join all computers to the domain."),
                QStringLiteral("Note: Normal user accounts can only join 10 computers to a domain.")},
            S::Domain, {DestinationSIDLookup, DomainJoin}},
    }};
    return kinds;
}

} // namespace

bool IsKind(int kind)
{
    return kind >= First && kind <= Last;
}

const Kind &Get(int kind)
{
    return table()[IsKind(kind) ? static_cast<size_t>(kind) : 0];
}

} // namespace AccountKinds
