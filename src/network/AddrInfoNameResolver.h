#pragma once

#include "network/NameResolver.h"

// The platform's resolver: getaddrinfo, IPv4 only, first answer.
class AddrInfoNameResolver final : public NameResolver
{
public:
    QString Resolve(const QString &name) const override;
};
