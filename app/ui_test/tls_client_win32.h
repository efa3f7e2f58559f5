// The other side of the scenarios' sockets: a raw TLS client that fetches from the local
// port, a plain connect check, and a listener that holds the port as another program would.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string>

namespace uitest {

// Connects to 127.0.0.1:port, completes a TLS handshake (no certificate check), sends the
// request and reads until the server closes. "" when no connection or no handshake was had.
std::string TlsExchange(std::uint16_t port, const std::string& request);

// True when a plain TCP connect to 127.0.0.1:port is accepted.
bool PortAccepts(std::uint16_t port);

// A listener on 0.0.0.0:port, opened with SO_EXCLUSIVEADDRUSE: no other socket may bind
// the port while it lives, whatever options that socket sets.
class PortBlocker {
public:
    explicit PortBlocker(std::uint16_t port);
    ~PortBlocker();
    PortBlocker(const PortBlocker&) = delete;
    PortBlocker& operator=(const PortBlocker&) = delete;

    bool listening() const { return listening_; }
    void Release();

private:
    SOCKET socket_ = INVALID_SOCKET;
    bool listening_ = false;
};

}  // namespace uitest
