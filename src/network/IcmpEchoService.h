#pragma once

#include "network/EchoService.h"

// The platform's echo: an unprivileged datagram ICMP socket where the
// system's ping group range lets this user have one, else a raw socket
// (root or CAP_NET_RAW), else PingResult::IcmpFailure.
class IcmpEchoService final : public EchoService
{
public:
    qint32 Echo(quint32 networkOrder, int timeoutMs) const override;
};
