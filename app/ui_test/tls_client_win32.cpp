#include "app/ui_test/tls_client_win32.h"

#include <ws2tcpip.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <memory>

namespace uitest {

namespace {

// A reply that has not come within this time will not come.
constexpr DWORD kReplyLimitMs = 15000;

// Winsock stays started for the life of the test program.
void EnsureWinsock() {
    static const bool started = [] {
        WSADATA data = {};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

struct SocketCloser {
    void operator()(SOCKET* socket) const {
        if (*socket != INVALID_SOCKET) closesocket(*socket);
        delete socket;
    }
};
using SocketHolder = std::unique_ptr<SOCKET, SocketCloser>;

struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

SocketHolder Connect(std::uint16_t port) {
    EnsureWinsock();
    SocketHolder holder(new SOCKET(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
    if (*holder == INVALID_SOCKET) return holder;
    DWORD limit = kReplyLimitMs;
    setsockopt(*holder, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
    setsockopt(*holder, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
    sockaddr_in address = LoopbackAddress(port);
    if (connect(*holder, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        closesocket(*holder);
        *holder = INVALID_SOCKET;
    }
    return holder;
}

SSL_CTX* ClientContext() {
    static SSL_CTX* context = [] {
        SSL_CTX* made = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_verify(made, SSL_VERIFY_NONE, nullptr);
        return made;
    }();
    return context;
}

}  // namespace

std::string TlsExchange(std::uint16_t port, const std::string& request) {
    SocketHolder socket = Connect(port);
    if (*socket == INVALID_SOCKET) return "";
    std::unique_ptr<SSL, SslFree> ssl(SSL_new(ClientContext()));
    // OpenSSL keeps Windows sockets in an int; their values fit.
    SSL_set_fd(ssl.get(), static_cast<int>(*socket));
    std::string reply;
    if (SSL_connect(ssl.get()) == 1 &&
        SSL_write(ssl.get(), request.data(), static_cast<int>(request.size())) == static_cast<int>(request.size())) {
        char buffer[16384];
        for (int got; (got = SSL_read(ssl.get(), buffer, sizeof buffer)) > 0;) {
            reply.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ERR_clear_error();
    return reply;
}

bool PortAccepts(std::uint16_t port) {
    return *Connect(port) != INVALID_SOCKET;
}

PortBlocker::PortBlocker(std::uint16_t port) {
    EnsureWinsock();
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) return;
    BOOL on = TRUE;
    setsockopt(socket_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    listening_ = bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                 listen(socket_, SOMAXCONN) == 0;
}

PortBlocker::~PortBlocker() {
    Release();
}

void PortBlocker::Release() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    socket_ = INVALID_SOCKET;
    listening_ = false;
}

}  // namespace uitest
