#include "network/NameResolver.h"

#include "network/AddrInfoNameResolver.h"

#include <utility>

namespace {

const NameResolver *s_resolver = nullptr;

} // namespace

const NameResolver &NameResolver::current()
{
    static const AddrInfoNameResolver platform;
    return s_resolver ? *s_resolver : platform;
}

const NameResolver *NameResolver::install(const NameResolver *resolver)
{
    return std::exchange(s_resolver, resolver);
}
