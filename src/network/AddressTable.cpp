#include "network/AddressTable.h"

#include "network/InterfaceAddressTable.h"

#include <utility>

namespace {

const AddressTable *s_table = nullptr;

} // namespace

QStringList AddressTable::Addresses(bool includeLoopback) const
{
    QStringList addresses;
    for (const Row &row : Rows(includeLoopback))
        addresses.append(row.address);
    return addresses;
}

const AddressTable &AddressTable::current()
{
    static const InterfaceAddressTable platform;
    return s_table ? *s_table : platform;
}

const AddressTable *AddressTable::install(const AddressTable *table)
{
    return std::exchange(s_table, table);
}
