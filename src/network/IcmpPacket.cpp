#include "network/IcmpPacket.h"

#include "network/PingResult.h"

#include <cerrno>

namespace IcmpPacket {

namespace {

enum : int {
    EchoReplyType = 0,
    UnreachableType = 3,
    SourceQuenchType = 4,
    EchoType = 8,
    TimeExceededType = 11,
    ParameterProblemType = 12,
    HeaderSize = 8,
};

quint16 Word(const QByteArray &bytes, qsizetype at)
{
    return quint16((quint8(bytes.at(at)) << 8) | quint8(bytes.at(at + 1)));
}

// The IP header's length, or -1 when the bytes cannot hold one.
qsizetype IpHeaderLength(const QByteArray &bytes, qsizetype at)
{
    if (bytes.size() < at + 20)
        return -1;
    const qsizetype length = (quint8(bytes.at(at)) & 0x0f) * 4;
    return length < 20 ? -1 : length;
}

bool IsOurs(const QByteArray &bytes, qsizetype icmp, std::optional<quint16> identifier, quint16 sequence)
{
    return bytes.size() >= icmp + HeaderSize && (!identifier || Word(bytes, icmp + 4) == *identifier) && Word(bytes, icmp + 6) == sequence;
}

} // namespace

QByteArray EchoRequest(quint16 identifier, quint16 sequence)
{
    QByteArray packet(HeaderSize, '\0');
    packet[0] = char(EchoType);
    packet[4] = char(identifier >> 8);
    packet[5] = char(identifier & 0xff);
    packet[6] = char(sequence >> 8);
    packet[7] = char(sequence & 0xff);
    packet += QByteArray("ECHO").repeated(8);
    quint32 sum = 0;
    for (qsizetype i = 0; i < packet.size(); i += 2)
        sum += Word(packet, i);
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    const quint16 checksum = quint16(~sum);
    packet[2] = char(checksum >> 8);
    packet[3] = char(checksum & 0xff);
    return packet;
}

std::optional<qint32> Answer(const QByteArray &packet, bool withIpHeader, std::optional<quint16> identifier, quint16 sequence)
{
    const qsizetype icmp = withIpHeader ? IpHeaderLength(packet, 0) : 0;
    if (icmp < 0 || packet.size() < icmp + HeaderSize)
        return std::nullopt;
    const int type = quint8(packet.at(icmp));
    if (type == EchoReplyType)
        return IsOurs(packet, icmp, identifier, sequence) ? std::optional<qint32>(0) : std::nullopt;
    if (type != UnreachableType && type != SourceQuenchType && type != TimeExceededType && type != ParameterProblemType)
        return std::nullopt;
    // An error quotes the IP header and the first eight bytes of the
    // datagram that caused it: our echo, if the error is ours.
    const qsizetype quoted = icmp + HeaderSize;
    const qsizetype quotedIcmp = IpHeaderLength(packet, quoted);
    if (quotedIcmp < 0 || quint8(packet.at(quoted + 9)) != 1)
        return std::nullopt;
    const qsizetype inner = quoted + quotedIcmp;
    if (packet.size() < inner + HeaderSize || quint8(packet.at(inner)) != EchoType || !IsOurs(packet, inner, identifier, sequence))
        return std::nullopt;
    return ErrorResult(type, quint8(packet.at(icmp + 1)));
}

qint32 ErrorResult(int type, int code)
{
    switch (type) {
    case UnreachableType:
        switch (code) {
        case 0: // network
        case 6: // network unknown
        case 9: // network administratively prohibited
        case 11: // network for type of service
            return PingResult::DestinationNetUnreachable;
        case 2:
            return PingResult::DestinationProtocolUnreachable;
        case 3:
            return PingResult::DestinationPortUnreachable;
        case 4: // fragmentation needed
            return PingResult::PacketTooBig;
        case 5:
            return PingResult::BadRoute;
        default:
            return PingResult::DestinationHostUnreachable;
        }
    case SourceQuenchType:
        return PingResult::SourceQuench;
    case TimeExceededType:
        return code == 1 ? PingResult::TtlExpiredReassembly : PingResult::TtlExpiredTransit;
    case ParameterProblemType:
        return PingResult::ParameterProblem;
    default:
        return PingResult::GeneralFailure;
    }
}

qint32 ErrnoResult(int error)
{
    switch (error) {
    case ENETUNREACH:
    case ENETDOWN:
        return PingResult::DestinationNetUnreachable;
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return PingResult::DestinationHostUnreachable;
    case ECONNREFUSED:
        return PingResult::DestinationPortUnreachable;
    case EMSGSIZE:
        return PingResult::PacketTooBig;
    case ENOBUFS:
    case ENOMEM:
        return PingResult::NoResources;
    case EPERM:
    case EACCES:
    case EADDRNOTAVAIL:
        return PingResult::BadDestination;
    default:
        return PingResult::GeneralFailure;
    }
}

} // namespace IcmpPacket
