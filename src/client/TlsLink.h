#pragma once

#include "protocol/modProtocol.h"

#include <string>

using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;

// The client's TLS 1.3 connection to the console's listener. The console's
// certificate is self-made, so no CA vouches for it: the link trusts exactly
// the certificate whose SHA-256 the run file names and sends nothing to any other.
class TlsLink
{
public:
    enum class Read { Frame, Timeout, Closed, Bad };

    TlsLink() = default;
    ~TlsLink();
    TlsLink(const TlsLink &) = delete;
    TlsLink &operator=(const TlsLink &) = delete;

    // `fingerprint`: lower-case hex. False, with the reason, when the
    // connection fails or the console shows another certificate.
    bool open(const std::string &address, int port, const std::string &fingerprint, int timeoutMs, std::string &problem);
    bool send(const modProtocol::Frame &frame);
    Read receive(modProtocol::Frame &frame, int timeoutMs);
    void close();

private:
    int m_fd = -1;
    SSL_CTX *m_context = nullptr;
    SSL *m_ssl = nullptr;
    modProtocol::FrameReader m_reader;
};
