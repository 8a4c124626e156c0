#pragma once

#include "network/NameResolver.h"

// The platform's resolver: getaddrinfo, IPv4 only, first answer. Lookups
// started with Start run in glibc's own threads (getaddrinfo_a), so one that
// is abandoned costs its caller nothing.
class AddrInfoNameResolver final : public NameResolver
{
public:
    QString Resolve(const QString &name) const override;
    std::unique_ptr<Lookup> Start(const QString &name, Done done) const override;
};
