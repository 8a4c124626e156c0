#include "network/InterfaceAddressTable.h"

#include "network/modNetwork.h"

#include <cstring>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

QList<AddressTable::Row> InterfaceAddressTable::Rows(bool includeLoopback) const
{
    QList<Row> rows;
    QList<Row> loopbackRows;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return rows;
    for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        // Interfaces without an address, IPv6 ones and those that are down
        // are not places a client could reach.
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP))
            continue;
        quint32 address = 0;
        quint32 mask = 0;
        std::memcpy(&address, &reinterpret_cast<const sockaddr_in *>(entry->ifa_addr)->sin_addr, sizeof address);
        if (entry->ifa_netmask)
            std::memcpy(&mask, &reinterpret_cast<const sockaddr_in *>(entry->ifa_netmask)->sin_addr, sizeof mask);
        if (address == 0)
            continue;
        // Linux gives lo all of 127.0.0.0/8, so the whole block counts as
        // loopback, not only 127.0.0.1.
        const bool loopback = (entry->ifa_flags & IFF_LOOPBACK) || (ntohl(address) >> 24) == 127;
        if (loopback && !includeLoopback)
            continue;
        (loopback ? loopbackRows : rows).append({modNetwork::DottedText(address), modNetwork::DottedText(mask)});
    }
    freeifaddrs(list);
    // Last, so that a list of them offers the addresses other computers can
    // reach first.
    return rows + loopbackRows;
}
