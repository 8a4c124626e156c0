#pragma once

#include <QString>

#include <functional>
#include <memory>

// Host name to IPv4 address. The platform's resolver does the work; tests
// install one of their own so that no query leaves the machine.
class NameResolver
{
public:
    // A lookup under way. Dropping it abandons the lookup: its `done` is
    // not called afterwards, and nobody waits for what the platform still
    // does for it (a name server that never answers holds no one up).
    class Lookup
    {
    public:
        virtual ~Lookup() = default;
    };
    using Done = std::function<void(const QString &address)>;

    virtual ~NameResolver() = default;

    // The first IPv4 address of the name as dotted text; empty when the
    // name is empty or does not resolve.
    virtual QString Resolve(const QString &name) const = 0;

    // Starts resolving `name`; `done` gets what Resolve would give, once,
    // on any thread, perhaps before Start returns, so the caller holds no
    // lock that `done` takes. Nothing is returned when nothing is left to
    // abandon. Unless a resolver does better, the lookup is Resolve, at once.
    virtual std::unique_ptr<Lookup> Start(const QString &name, Done done) const;

    // The resolver in charge: the one installed, else the platform's.
    static const NameResolver &current();
    // The caller keeps the resolver alive; nullptr restores the platform's.
    // Returns the one installed before.
    static const NameResolver *install(const NameResolver *resolver);
};
