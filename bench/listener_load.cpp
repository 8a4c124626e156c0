// A crowd of client services for bench_listener: N TLS 1.3 connections to
// the engine's listener on loopback, in one thread on epoll, with nothing but
// OpenSSL and the protocol's own encoding. Each client says Hello with its
// token, waits for Welcome and holds its connection until every client is
// welcomed; then all report K status codes, one frame at a time and in turn,
// say Bye and wait for the listener's Ended.
//
// listener_load PORT TOKENS K [IN_FLIGHT]
//   TOKENS: a file (or "-" for stdin) of "computer<TAB>token" lines, one a client
//   IN_FLIGHT: at most this many connections still before their Welcome (default 1000)
// Prints one line: "connected=N connect_ms=T report_ms=T close_ms=T failed=F".
#include "protocol/modProtocol.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

enum class State { Idle, Connecting, Handshaking, Waiting, Welcomed, Reporting, Closing, Done, Failed };

struct Client
{
    std::string computer;
    std::string token;
    int fd = -1;
    SSL *ssl = nullptr;
    State state = State::Idle;
    modProtocol::FrameReader reader;
    std::string out; // the frame being written; SSL_write is retried with the same bytes
    int reportsLeft = 0;
    bool byeQueued = false;
    unsigned watched = 0; // the epoll events asked for
};

double msSince(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

class Load
{
public:
    Load(std::vector<Client> clients, int port, int reports, int inFlight)
        : m_clients(std::move(clients))
        , m_port(port)
        , m_reports(reports)
        , m_inFlight(inFlight)
    { }

    int run();

private:
    void open(std::size_t index);
    void watch(std::size_t index, unsigned events);
    void fail(std::size_t index, const char *why);
    void finish(std::size_t index);
    void step(std::size_t index, unsigned events);
    void handshake(std::size_t index);
    bool readFrames(std::size_t index);
    bool flush(std::size_t index);
    void queueNext(std::size_t index);
    void loop(bool (Load::*until)() const, int timeoutMs);
    bool allWelcomed() const { return m_welcomed + m_failed == m_clients.size(); }
    bool allClosed() const { return m_closed + m_failed == m_clients.size(); }

    std::vector<Client> m_clients;
    int m_port;
    int m_reports;
    std::size_t m_inFlight;
    SSL_CTX *m_context = nullptr;
    int m_epoll = -1;
    std::size_t m_next = 0; // the next client to open
    std::size_t m_opening = 0; // open and not yet welcomed
    std::size_t m_welcomed = 0;
    std::size_t m_closed = 0;
    std::size_t m_failed = 0;
    std::size_t m_reporting = 0; // clients with frames still to write
    Clock::time_point m_lastBye;
};

void Load::open(std::size_t index)
{
    Client &client = m_clients[index];
    sockaddr_in peer {};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<std::uint16_t>(m_port));
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    client.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (client.fd < 0)
        return fail(index, std::strerror(errno));
    const int one = 1;
    ::setsockopt(client.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ++m_opening;
    client.state = State::Connecting;
    if (::connect(client.fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) != 0 && errno != EINPROGRESS)
        return fail(index, std::strerror(errno));
    watch(index, EPOLLOUT);
}

void Load::watch(std::size_t index, unsigned events)
{
    Client &client = m_clients[index];
    if (client.watched == events)
        return;
    epoll_event event {};
    event.events = events;
    event.data.u64 = index;
    ::epoll_ctl(m_epoll, client.watched ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, client.fd, &event);
    client.watched = events;
}

void Load::fail(std::size_t index, const char *why)
{
    Client &client = m_clients[index];
    if (m_failed < 5)
        std::fprintf(stderr, "listener_load: %s: %s\n", client.computer.c_str(), why);
    if (client.state == State::Connecting || client.state == State::Handshaking || client.state == State::Waiting)
        --m_opening;
    if (client.state == State::Reporting && (client.reportsLeft > 0 || !client.byeQueued || !client.out.empty()))
        --m_reporting;
    client.state = State::Failed;
    ++m_failed;
    if (client.ssl)
        SSL_free(client.ssl);
    client.ssl = nullptr;
    if (client.fd >= 0)
        ::close(client.fd);
    client.fd = -1;
}

void Load::finish(std::size_t index)
{
    Client &client = m_clients[index];
    client.state = State::Done;
    ++m_closed;
    SSL_free(client.ssl);
    client.ssl = nullptr;
    ::close(client.fd);
    client.fd = -1;
}

void Load::handshake(std::size_t index)
{
    Client &client = m_clients[index];
    const int result = SSL_connect(client.ssl);
    if (result != 1) {
        const int reason = SSL_get_error(client.ssl, result);
        if (reason == SSL_ERROR_WANT_READ)
            return watch(index, EPOLLIN);
        if (reason == SSL_ERROR_WANT_WRITE)
            return watch(index, EPOLLOUT);
        char text[256] = "the handshake failed";
        if (const unsigned long code = ERR_get_error())
            ERR_error_string_n(code, text, sizeof text);
        return fail(index, text);
    }
    client.state = State::Waiting;
    client.out = modProtocol::Encode({modProtocol::Kind::Hello, {std::to_string(modProtocol::Version), client.computer, client.token}});
    if (flush(index))
        watch(index, EPOLLIN);
}

// Writes client.out; false when it failed or must wait for the socket.
bool Load::flush(std::size_t index)
{
    Client &client = m_clients[index];
    if (client.out.empty())
        return true;
    std::size_t written = 0;
    const int result = SSL_write_ex(client.ssl, client.out.data(), client.out.size(), &written);
    if (result == 1) {
        client.out.clear();
        return true;
    }
    const int reason = SSL_get_error(client.ssl, result);
    if (reason == SSL_ERROR_WANT_WRITE)
        watch(index, EPOLLIN | EPOLLOUT);
    else if (reason != SSL_ERROR_WANT_READ)
        fail(index, "a write failed");
    return false;
}

// Reads what has arrived; false when the connection ended or failed.
bool Load::readFrames(std::size_t index)
{
    Client &client = m_clients[index];
    for (;;) {
        char buffer[4096];
        std::size_t got = 0;
        const int result = SSL_read_ex(client.ssl, buffer, sizeof buffer, &got);
        if (result == 1) {
            client.reader.append(buffer, got);
            continue;
        }
        const int reason = SSL_get_error(client.ssl, result);
        if (reason == SSL_ERROR_WANT_READ || reason == SSL_ERROR_WANT_WRITE)
            break;
        if (client.state == State::Closing) {
            finish(index);
        } else {
            fail(index, "the listener closed the connection");
        }
        return false;
    }
    modProtocol::Frame frame;
    for (;;) {
        const modProtocol::FrameReader::Result result = client.reader.next(frame);
        if (result == modProtocol::FrameReader::Result::NeedMore)
            return true;
        if (result != modProtocol::FrameReader::Result::Ready) {
            fail(index, "a bad frame from the listener");
            return false;
        }
        if (client.state == State::Waiting && frame.kind == modProtocol::Kind::Welcome) {
            client.state = State::Welcomed;
            --m_opening;
            ++m_welcomed;
        } else if (frame.kind == modProtocol::Kind::Ended && client.state == State::Closing) {
            finish(index);
            return false;
        } else {
            fail(index, "an unexpected frame from the listener");
            return false;
        }
    }
}

// The client's next frame, once the last one is written.
void Load::queueNext(std::size_t index)
{
    static const std::vector<std::string_view> &codes = modProtocol::StatusCodes();
    Client &client = m_clients[index];
    if (client.reportsLeft > 0) {
        const std::string_view code = codes[static_cast<std::size_t>(client.reportsLeft) % codes.size()];
        client.out = modProtocol::Encode({modProtocol::Kind::Status, {std::string(code)}});
        --client.reportsLeft;
    } else if (!client.byeQueued) {
        client.out = modProtocol::Encode({modProtocol::Kind::Bye, {}});
        client.byeQueued = true;
    }
}

void Load::step(std::size_t index, unsigned events)
{
    Client &client = m_clients[index];
    if (client.state == State::Connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(client.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return fail(index, std::strerror(error ? error : errno));
        client.ssl = SSL_new(m_context);
        SSL_set_fd(client.ssl, client.fd);
        SSL_clear_mode(client.ssl, SSL_MODE_AUTO_RETRY);
        client.state = State::Handshaking;
        return handshake(index);
    }
    if (client.state == State::Handshaking)
        return handshake(index);
    if ((events & EPOLLOUT) && !client.out.empty()) {
        if (!flush(index))
            return;
        watch(index, EPOLLIN);
    }
    if ((events & (EPOLLIN | EPOLLHUP | EPOLLERR)) && !readFrames(index))
        return;
    if (client.state == State::Welcomed)
        watch(index, EPOLLIN);
}

void Load::loop(bool (Load::*until)() const, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<epoll_event> events(1024);
    while (!(this->*until)() && Clock::now() < deadline) {
        while (m_next < m_clients.size() && m_opening < m_inFlight)
            open(m_next++);
        // While reporting, every client with frames left writes one per turn.
        if (m_reporting > 0) {
            for (std::size_t i = 0; i < m_clients.size(); ++i) {
                Client &client = m_clients[i];
                if (client.state != State::Reporting || !client.out.empty())
                    continue;
                queueNext(i);
                if (client.out.empty())
                    continue;
                const bool bye = client.byeQueued;
                if (!flush(i))
                    continue;
                if (bye) {
                    client.state = State::Closing;
                    --m_reporting;
                    if (m_reporting == 0)
                        m_lastBye = Clock::now();
                }
            }
        }
        const int ready = ::epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()), m_reporting > 0 ? 0 : 100);
        for (int i = 0; i < ready; ++i) {
            const std::size_t index = events[static_cast<std::size_t>(i)].data.u64;
            if (m_clients[index].state == State::Done || m_clients[index].state == State::Failed)
                continue;
            step(index, events[static_cast<std::size_t>(i)].events);
            // A Bye that waited for the socket is out: the client only waits now.
            Client &client = m_clients[index];
            if (client.state == State::Reporting && client.byeQueued && client.out.empty()) {
                client.state = State::Closing;
                if (--m_reporting == 0)
                    m_lastBye = Clock::now();
            }
        }
    }
}

int Load::run()
{
    m_context = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_min_proto_version(m_context, TLS1_3_VERSION);
    SSL_CTX_set_verify(m_context, SSL_VERIFY_NONE, nullptr);
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);

    const Clock::time_point start = Clock::now();
    loop(&Load::allWelcomed, 120000);
    const Clock::time_point connected = Clock::now();
    const std::size_t atOnce = m_welcomed;

    const Clock::time_point reportStart = Clock::now();
    for (Client &client : m_clients) {
        if (client.state == State::Welcomed) {
            client.state = State::Reporting;
            client.reportsLeft = m_reports;
            ++m_reporting;
        }
    }
    m_lastBye = reportStart;
    loop(&Load::allClosed, 120000);
    const Clock::time_point closed = Clock::now();

    std::printf("connected=%zu connect_ms=%.1f report_ms=%.1f close_ms=%.1f failed=%zu\n", atOnce, msSince(start, connected),
        msSince(reportStart, m_lastBye), msSince(reportStart, closed), m_failed + (m_clients.size() - m_closed - m_failed));
    std::fflush(stdout);
    for (Client &client : m_clients) {
        if (client.ssl)
            SSL_free(client.ssl);
        if (client.fd >= 0)
            ::close(client.fd);
    }
    SSL_CTX_free(m_context);
    ::close(m_epoll);
    return m_failed == 0 && m_closed == m_clients.size() ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: listener_load PORT TOKENS K [IN_FLIGHT]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int reports = std::atoi(argv[3]);
    const int inFlight = argc > 4 ? std::atoi(argv[4]) : 1000;
    if (port < 1 || port > 65535 || reports < 0 || inFlight < 1) {
        std::fprintf(stderr, "listener_load: bad port, report count or in-flight count\n");
        return 2;
    }

    std::vector<Client> clients;
    std::ifstream file;
    const bool fromStdin = std::strcmp(argv[2], "-") == 0;
    if (!fromStdin) {
        file.open(argv[2]);
        if (!file) {
            std::fprintf(stderr, "listener_load: cannot read %s\n", argv[2]);
            return 2;
        }
    }
    std::istream &input = fromStdin ? std::cin : file;
    std::string line;
    while (std::getline(input, line)) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || line.size() > 1024)
            continue;
        Client client;
        client.computer = line.substr(0, tab);
        client.token = line.substr(tab + 1);
        clients.push_back(std::move(client));
    }

    // Every client holds a socket: the default soft limit of 1024 is far too low.
    rlimit limit {};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t needed = clients.size() + 64;
    if (limit.rlim_cur < needed) {
        limit.rlim_cur = needed;
        if (limit.rlim_max < needed)
            limit.rlim_max = needed;
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            std::fprintf(stderr, "listener_load: cannot open %llu files: %s\n", static_cast<unsigned long long>(needed), std::strerror(errno));
            return 1;
        }
    }
    Load load(std::move(clients), port, reports, inFlight);
    return load.run();
}
