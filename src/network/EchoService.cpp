#include "network/EchoService.h"

#include "network/IcmpEchoService.h"

#include <utility>

namespace {

const EchoService *s_service = nullptr;

} // namespace

const EchoService &EchoService::current()
{
    static const IcmpEchoService platform;
    return s_service ? *s_service : platform;
}

const EchoService *EchoService::install(const EchoService *service)
{
    return std::exchange(s_service, service);
}
