#include "network/AddrInfoNameResolver.h"

#include "network/modNetwork.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

QString AddrInfoNameResolver::Resolve(const QString &name) const
{
    // An empty node would make getaddrinfo answer with this machine's own
    // address, which is never what a blank DC field means.
    if (name.isEmpty())
        return QString();
    addrinfo hints {};
    hints.ai_family = AF_INET;
    // One entry per address rather than one per socket type.
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &found) != 0 || !found)
        return QString();
    const auto *address = reinterpret_cast<const sockaddr_in *>(found->ai_addr);
    const QString text = modNetwork::DottedText(address->sin_addr.s_addr);
    freeaddrinfo(found);
    return text;
}
