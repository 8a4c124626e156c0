#pragma once

#include "network/AddressTable.h"

// The platform's table: the IPv4 addresses of the interfaces that are up,
// from getifaddrs.
class InterfaceAddressTable final : public AddressTable
{
public:
    QList<Row> Rows(bool includeLoopback) const override;
};
