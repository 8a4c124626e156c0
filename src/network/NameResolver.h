#pragma once

#include <QString>

// Host name to IPv4 address. The platform's resolver does the work; tests
// install one of their own so that no query leaves the machine.
class NameResolver
{
public:
    virtual ~NameResolver() = default;

    // The first IPv4 address of the name as dotted text; empty when the
    // name is empty or does not resolve.
    virtual QString Resolve(const QString &name) const = 0;

    // The resolver in charge: the one installed, else the platform's.
    static const NameResolver &current();
    // The caller keeps the resolver alive; nullptr restores the platform's.
    // Returns the one installed before.
    static const NameResolver *install(const NameResolver *resolver);
};
