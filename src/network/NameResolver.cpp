#include "network/NameResolver.h"

#include "network/AddrInfoNameResolver.h"

#include <utility>

namespace {

const NameResolver *s_resolver = nullptr;

} // namespace

std::unique_ptr<NameResolver::Lookup> NameResolver::Start(const QString &name, Done done) const
{
    done(Resolve(name));
    return nullptr;
}

const NameResolver &NameResolver::current()
{
    static const AddrInfoNameResolver platform;
    return s_resolver ? *s_resolver : platform;
}

const NameResolver *NameResolver::install(const NameResolver *resolver)
{
    return std::exchange(s_resolver, resolver);
}
