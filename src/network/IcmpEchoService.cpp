#include "network/IcmpEchoService.h"

#include "network/IcmpPacket.h"
#include "network/PingResult.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>

#include <linux/errqueue.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Several pings may be in flight at once, from this and other threads.
std::atomic<quint16> s_sequence {0};

class Socket
{
public:
    Socket()
    {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (m_fd < 0) {
            m_fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
            m_raw = m_fd >= 0;
        }
    }
    ~Socket()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;

    int fd() const { return m_fd; }
    bool raw() const { return m_raw; }

private:
    int m_fd = -1;
    bool m_raw = false;
};

// A raw socket is handed a copy of every ICMP packet the machine receives.
// With many pings under way each socket also queues the others' requests
// and replies, its buffer fills and its own reply is dropped: a host that
// answers shows "REQUEST TIMED OUT". The kernel keeps only our echo reply
// and the ICMP errors, whose quoted request Answer checks; what came in
// before the filter is thrown away before the echo goes out.
void KeepOnlyOurs(int fd, quint16 identifier, quint16 sequence)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0), // X = IP header length
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0), // ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 4), // echo reply, else the errors
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4), // identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 0, 7), // ours, else drop
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 6), // sequence
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, sequence, 4, 5), // ours: keep, else drop
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 3, 3, 0), // destination unreachable
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 4, 2, 0), // source quench
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 11, 1, 0), // time exceeded
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 12, 0, 1), // parameter problem
        BPF_STMT(BPF_RET | BPF_K, 0xffff), // keep
        BPF_STMT(BPF_RET | BPF_K, 0), // drop
    };
    const sock_fprog program {sizeof code / sizeof code[0], code};
    // Without the filter the answers are still told apart, only less reliably.
    setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
    char scrap[576];
    while (recv(fd, scrap, sizeof scrap, MSG_DONTWAIT) > 0) { }
}

// A datagram socket reports ICMP errors through its error queue: the
// quoted request as data, the error's type and code alongside.
std::optional<qint32> ReadError(int fd, quint16 sequence)
{
    char data[576];
    char control[512];
    iovec part {data, sizeof data};
    msghdr message {};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t size = recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (size < 0) {
        // A pending error without a queue entry would wake every poll
        // until the deadline; reading it clears it.
        int pending = 0;
        socklen_t length = sizeof pending;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &length);
        return std::nullopt;
    }
    const QByteArray quoted(data, size);
    if (quoted.size() < 8 || quint16((quint8(quoted.at(6)) << 8) | quint8(quoted.at(7))) != sequence)
        return std::nullopt;
    for (cmsghdr *header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_IP || header->cmsg_type != IP_RECVERR)
            continue;
        const auto *error = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(header));
        if (error->ee_origin == SO_EE_ORIGIN_ICMP)
            return IcmpPacket::ErrorResult(error->ee_type, error->ee_code);
        return IcmpPacket::ErrnoResult(int(error->ee_errno));
    }
    return std::nullopt;
}

} // namespace

qint32 IcmpEchoService::Echo(quint32 networkOrder, int timeoutMs) const
{
    const Socket socket;
    if (socket.fd() < 0)
        return PingResult::IcmpFailure;
    const int ttl = 255;
    setsockopt(socket.fd(), IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
    if (!socket.raw()) {
        const int on = 1;
        setsockopt(socket.fd(), IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    }
    // The kernel puts its own identifier on a datagram socket's echo and
    // passes it only the answers that carry it.
    const std::optional<quint16> identifier = socket.raw() ? std::optional<quint16>(quint16(getpid())) : std::nullopt;
    const quint16 sequence = s_sequence.fetch_add(1);
    const QByteArray request = IcmpPacket::EchoRequest(identifier.value_or(0), sequence);
    if (identifier)
        KeepOnlyOurs(socket.fd(), *identifier, sequence);
    sockaddr_in target {};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = networkOrder;

    using Clock = std::chrono::steady_clock;
    const Clock::time_point sent = Clock::now();
    const Clock::time_point deadline = sent + std::chrono::milliseconds(timeoutMs);
    if (sendto(socket.fd(), request.constData(), size_t(request.size()), 0, reinterpret_cast<const sockaddr *>(&target), sizeof target) < 0)
        return IcmpPacket::ErrnoResult(errno);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return PingResult::RequestTimedOut;
        pollfd wait {socket.fd(), POLLIN, 0};
        const int ready = poll(&wait, 1, int(left));
        if (ready < 0 && errno != EINTR)
            return IcmpPacket::ErrnoResult(errno);
        if (ready <= 0)
            continue;
        std::optional<qint32> answer;
        if (wait.revents & POLLERR) {
            answer = ReadError(socket.fd(), sequence);
        } else {
            char buffer[576];
            const ssize_t size = recv(socket.fd(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (size < 0 && errno != EAGAIN && errno != EINTR)
                return IcmpPacket::ErrnoResult(errno);
            if (size > 0)
                answer = IcmpPacket::Answer(QByteArray(buffer, size), socket.raw(), identifier, sequence);
        }
        if (!answer)
            continue;
        if (*answer != 0)
            return *answer;
        return qint32(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count());
    }
}
