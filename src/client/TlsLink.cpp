#include "client/TlsLink.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int msLeft(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

std::string certificateFingerprint(SSL *ssl)
{
    X509 *certificate = SSL_get1_peer_certificate(ssl);
    if (!certificate)
        return {};
    unsigned char *der = nullptr;
    const int length = i2d_X509(certificate, &der);
    X509_free(certificate);
    if (length <= 0)
        return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    const int ok = EVP_Digest(der, static_cast<std::size_t>(length), digest, &digestLength, EVP_sha256(), nullptr);
    OPENSSL_free(der);
    if (ok != 1)
        return {};
    return modProtocol::ToHex(std::string_view(reinterpret_cast<const char *>(digest), digestLength));
}

} // namespace

TlsLink::~TlsLink()
{
    close();
}

void TlsLink::close()
{
    if (m_ssl) {
        SSL_shutdown(m_ssl);
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    if (m_context) {
        SSL_CTX_free(m_context);
        m_context = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool TlsLink::open(const std::string &address, int port, const std::string &fingerprint, int timeoutMs, std::string &problem)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    sockaddr_in peer {};
    peer.sin_family = AF_INET;
    if (port < 1 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) {
        problem = "The console address " + address + ":" + std::to_string(port) + " is not an IPv4 address and port.";
        return false;
    }
    peer.sin_port = htons(static_cast<std::uint16_t>(port));
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) {
        problem = std::string("Cannot make a socket: ") + std::strerror(errno);
        return false;
    }
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) != 0 && errno != EINPROGRESS) {
        problem = "Cannot connect to the console at " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    pollfd wait {m_fd, POLLOUT, 0};
    int error = 0;
    socklen_t errorLength = sizeof error;
    if (::poll(&wait, 1, msLeft(deadline)) != 1 || ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &errorLength) != 0 || error != 0) {
        problem = "Cannot connect to the console at " + address + ":" + std::to_string(port) + ": "
            + (error ? std::strerror(error) : "no answer in time");
        return false;
    }

    m_context = SSL_CTX_new(TLS_client_method());
    if (!m_context || SSL_CTX_set_min_proto_version(m_context, TLS1_3_VERSION) != 1) {
        problem = "Cannot set up TLS 1.3.";
        return false;
    }
    SSL_CTX_set_verify(m_context, SSL_VERIFY_NONE, nullptr);
    m_ssl = SSL_new(m_context);
    if (!m_ssl || SSL_set_fd(m_ssl, m_fd) != 1) {
        problem = "Cannot set up TLS 1.3.";
        return false;
    }
    // Session tickets arrive after the handshake; without this a read that
    // meets only a ticket would block instead of saying "nothing yet".
    SSL_clear_mode(m_ssl, SSL_MODE_AUTO_RETRY);
    for (;;) {
        const int result = SSL_connect(m_ssl);
        if (result == 1)
            break;
        const int reasonCode = SSL_get_error(m_ssl, result);
        pollfd handshake {m_fd, static_cast<short>(reasonCode == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN), 0};
        if ((reasonCode != SSL_ERROR_WANT_READ && reasonCode != SSL_ERROR_WANT_WRITE) || ::poll(&handshake, 1, msLeft(deadline)) != 1) {
            char text[256] = "no answer in time";
            if (const unsigned long code = ERR_get_error())
                ERR_error_string_n(code, text, sizeof text);
            problem = std::string("The TLS handshake with the console failed: ") + text;
            return false;
        }
    }
    const std::string shown = certificateFingerprint(m_ssl);
    if (shown.empty() || !modProtocol::SameBytes(shown, fingerprint)) {
        problem = "The console's certificate (SHA-256 " + (shown.empty() ? std::string("none") : shown) + ") is not the one of this run ("
            + fingerprint + "); the connection is refused.";
        return false;
    }
    return true;
}

bool TlsLink::send(const modProtocol::Frame &frame)
{
    if (!m_ssl)
        return false;
    const std::string bytes = modProtocol::Encode(frame);
    std::size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (done < bytes.size()) {
        std::size_t written = 0;
        const int result = SSL_write_ex(m_ssl, bytes.data() + done, bytes.size() - done, &written);
        if (result == 1) {
            done += written;
            continue;
        }
        const int reasonCode = SSL_get_error(m_ssl, result);
        pollfd wait {m_fd, static_cast<short>(reasonCode == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
        if ((reasonCode != SSL_ERROR_WANT_READ && reasonCode != SSL_ERROR_WANT_WRITE) || ::poll(&wait, 1, msLeft(deadline)) != 1)
            return false;
    }
    return true;
}

TlsLink::Read TlsLink::receive(modProtocol::Frame &frame, int timeoutMs)
{
    if (!m_ssl)
        return Read::Closed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        switch (m_reader.next(frame)) {
        case modProtocol::FrameReader::Result::Ready:
            return Read::Frame;
        case modProtocol::FrameReader::Result::TooLarge:
        case modProtocol::FrameReader::Result::Malformed:
            return Read::Bad;
        case modProtocol::FrameReader::Result::NeedMore:
            break;
        }
        if (SSL_pending(m_ssl) == 0) {
            pollfd wait {m_fd, POLLIN, 0};
            const int ready = ::poll(&wait, 1, msLeft(deadline));
            if (ready == 0)
                return Read::Timeout;
            if (ready < 0 && errno != EINTR)
                return Read::Closed;
        }
        char buffer[16 * 1024];
        std::size_t got = 0;
        const int result = SSL_read_ex(m_ssl, buffer, sizeof buffer, &got);
        if (result == 1) {
            m_reader.append(buffer, got);
            continue;
        }
        const int reasonCode = SSL_get_error(m_ssl, result);
        if (reasonCode != SSL_ERROR_WANT_READ && reasonCode != SSL_ERROR_WANT_WRITE)
            return Read::Closed;
        if (msLeft(deadline) == 0)
            return Read::Timeout;
    }
}
