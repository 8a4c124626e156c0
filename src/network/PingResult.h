#pragma once

#include <QString>

// What one ping comes back with: 0 or more is the round trip in
// milliseconds; the negative values below say why there was no reply.
namespace PingResult {

enum : qint32 {
    CannotResolve = -1,
    IcmpFailure = -2,
    BufferTooSmall = -11001,
    DestinationNetUnreachable = -11002,
    DestinationHostUnreachable = -11003,
    DestinationProtocolUnreachable = -11004,
    DestinationPortUnreachable = -11005,
    NoResources = -11006,
    BadOption = -11007,
    HardwareError = -11008,
    PacketTooBig = -11009,
    RequestTimedOut = -11010,
    BadRequest = -11011,
    BadRoute = -11012,
    TtlExpiredTransit = -11013,
    TtlExpiredReassembly = -11014,
    ParameterProblem = -11015,
    SourceQuench = -11016,
    OptionTooBig = -11017,
    BadDestination = -11018,
    AddressDeleted = -11019,
    MtuChangeSpecified = -11020,
    MtuChange = -11021,
    Unload = -11022,
    AddressAdded = -11023,
    GeneralFailure = -11050,
    Pending = -11255,
};

// The text a client's line in the progress log ends with.
QString Text(qint32 result);

} // namespace PingResult
