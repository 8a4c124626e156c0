#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The accounts the authentication wizard can ask for. Each kind explains what
// the account is for, lists what it must meet, says whether it may be local,
// and names the account slots of the settings record it fills.
namespace AccountKinds {

constexpr int First = 1;
constexpr int Last = 13;
// The kind that is never a domain account; its entry starts out local.
constexpr int LocalAdministrator = 12;

// How the wizard's local-account box behaves for a kind.
enum class Scope {
    Either, // the administrator decides
    Domain, // cleared and locked
    Local, // ticked and locked
};

struct Kind
{
    QString Purpose; // completes "Please specify an account for ..."
    QStringList Criteria;
    Scope AccountScope = Scope::Either;
    QList<int> Slots; // in the order they are written
};

bool IsKind(int kind);
// The kind's description; an empty one (no slots) outside First..Last.
const Kind &Get(int kind);

} // namespace AccountKinds
