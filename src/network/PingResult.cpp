#include "network/PingResult.h"

namespace PingResult {

QString Text(qint32 result)
{
    struct Row
    {
        qint32 result;
        const char *text;
    };
    static constexpr Row rows[] = {
        {BufferTooSmall, "BUFFER TOO SMALL"},
        {DestinationNetUnreachable, "DESTINATION  NET UNREACHABLE"},
        {DestinationHostUnreachable, "DESTINATION HOST UNREACHABLE"},
        {DestinationProtocolUnreachable, "DESTINATION PROTOCOL UNREACHABLE"},
        {DestinationPortUnreachable, "DESTINATION PORT UNREACHABLE"},
        {NoResources, "NO RESOURCES"},
        {BadOption, "BAD OPTION"},
        {HardwareError, "HARDWARE ERROR"},
        {PacketTooBig, "PACKET TOO BIG"},
        {RequestTimedOut, "REQUEST TIMED OUT"},
        {BadRequest, "BAD REQUEST"},
        {BadRoute, "BAD ROUTE"},
        {TtlExpiredTransit, "TTL EXPIRED IN TRANSIT"},
        {TtlExpiredReassembly, "TTL EXPIRED REASSEM"},
        {ParameterProblem, "PARAMETER PROBLEM"},
        {SourceQuench, "SOURCE QUENCH"},
        {OptionTooBig, "OPTION TOO BIG"},
        {BadDestination, "BAD DESTINATION"},
        {AddressDeleted, "ADDRESS DELETED"},
        {MtuChangeSpecified, "SPEC MTU CHANGE"},
        {MtuChange, "MTU CHANGE"},
        {Unload, "UNLOAD"},
        {AddressAdded, "ADDRESS ADDED"},
        {GeneralFailure, "GENERAL FAILURE"},
        {Pending, "PENDING"},
        // A reply as slow as the ping test's whole timeout counts as none.
        {2000, "TIMEOUT"},
        {IcmpFailure, "ICMP FAILURE"},
        {CannotResolve, "CANNOT RESOLVE NAME"},
    };
    for (const Row &row : rows) {
        if (row.result == result)
            return QString::fromLatin1(row.text);
    }
    if (result < 0)
        return QStringLiteral("UNKNOWN ERROR %1").arg(result);
    return QStringLiteral("Response received %1ms").arg(result);
}

} // namespace PingResult
