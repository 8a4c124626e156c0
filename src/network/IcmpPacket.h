#pragma once

#include <QByteArray>

#include <optional>

// The bytes of an ICMP echo and of what comes back for it.
namespace IcmpPacket {

// Type 8 with the 32-byte "ECHO" payload and its checksum.
QByteArray EchoRequest(quint16 identifier, quint16 sequence);

// What a received packet says about our request: nothing when it is not
// the answer to it (our own request seen on loopback, another program's
// traffic), 0 for the echo reply, else the ping result of the ICMP error.
// A raw socket hands over the IP header too; a datagram socket only the
// ICMP message, and its identifier is the kernel's, already matched.
std::optional<qint32> Answer(const QByteArray &packet, bool withIpHeader, std::optional<quint16> identifier, quint16 sequence);

// The ping result of an ICMP error message of the given type and code.
qint32 ErrorResult(int type, int code);

// The ping result of a socket error (errno) met while sending or reading.
qint32 ErrnoResult(int error);

} // namespace IcmpPacket
