#pragma once

#include <QtGlobal>

// One ICMP echo to an IPv4 address. The platform's sockets do the work;
// tests install a service of their own so every result can be produced.
class EchoService
{
public:
    virtual ~EchoService() = default;

    // The ping result: the round trip in milliseconds, or a negative
    // PingResult value. Blocks for at most timeoutMs.
    virtual qint32 Echo(quint32 networkOrder, int timeoutMs) const = 0;

    // The service in charge: the one installed, else the platform's.
    static const EchoService &current();
    // The caller keeps the service alive; nullptr restores the platform's.
    // Returns the one installed before.
    static const EchoService *install(const EchoService *service);
};
