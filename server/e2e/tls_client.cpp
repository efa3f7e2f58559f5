#include "server/e2e/tls_client.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "test_support/wait_limit.h"

namespace {

constexpr int kReplyWaitSeconds = kHangLimitMs / 1000;

// receiveBuffer: the socket's receive buffer in bytes, set before the connect so that the
// window the client announces follows it; 0 for the system's.
int Connect(int port, int receiveBuffer = 0) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    timeval limit{kReplyWaitSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

SSL_CTX* ClientContext() {
    static SSL_CTX* context = [] {
        // A server that goes away while the client writes must fail the write, not end the
        // test program.
        signal(SIGPIPE, SIG_IGN);
        SSL_CTX* made = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_verify(made, SSL_VERIFY_NONE, nullptr);
        return made;
    }();
    return context;
}

struct Session {
    int fd = -1;
    SSL* ssl = nullptr;
    ~Session() {
        if (ssl != nullptr) SSL_free(ssl);
        if (fd >= 0) close(fd);
        ERR_clear_error();
    }
};

bool OpenSession(Session& session, int port, const ClientOffer& offer = {}) {
    session.fd = Connect(port);
    if (session.fd < 0) return false;
    session.ssl = SSL_new(ClientContext());
    if (offer.maxVersion != 0 && SSL_set_max_proto_version(session.ssl, offer.maxVersion) != 1) return false;
    if (!offer.ciphers.empty() && SSL_set_cipher_list(session.ssl, offer.ciphers.c_str()) != 1) return false;
    if (!offer.groups.empty() && SSL_set1_groups_list(session.ssl, offer.groups.c_str()) != 1) return false;
    SSL_set_fd(session.ssl, session.fd);
    return SSL_connect(session.ssl) == 1;
}

// Sends the request and reads the reply until the server closes. When the request could
// not be sent whole, the reply is read all the same, or "" is returned when
// `wholeRequestOnly`.
std::string Exchange(int port, const std::string& request, const std::function<void()>& pause,
                     bool wholeRequestOnly) {
    Session session;
    if (!OpenSession(session, port)) return "";
    size_t sent = 0;
    while (sent < request.size()) {
        int put = SSL_write(session.ssl, request.data() + sent, static_cast<int>(request.size() - sent));
        if (put <= 0) break;
        sent += static_cast<size_t>(put);
    }
    if (wholeRequestOnly && sent < request.size()) return "";
    std::string reply;
    char buffer[65536];
    bool paused = false;
    for (;;) {
        int got = SSL_read(session.ssl, buffer, sizeof buffer);
        if (got <= 0) break;
        reply.append(buffer, static_cast<size_t>(got));
        if (!paused) pause();
        paused = true;
    }
    return reply;
}

}  // namespace

std::string TlsExchange(int port, const std::string& request) {
    return Exchange(port, request, [] {}, false);
}

std::string TlsExchangeWithPause(int port, const std::string& request, const std::function<void()>& pause) {
    return Exchange(port, request, pause, false);
}

std::string TlsExchangeWholeRequest(int port, const std::string& request) {
    return Exchange(port, request, [] {}, true);
}

bool TlsRequestThenReset(int port, const std::string& request) {
    Session session;
    if (!OpenSession(session, port)) return false;
    SSL_write(session.ssl, request.data(), static_cast<int>(request.size()));
    char buffer[4096];
    bool replied = SSL_read(session.ssl, buffer, sizeof buffer) > 0;
    // No lingering: the close sends a reset, as a client that crashes or gives up does.
    linger abort{1, 0};
    setsockopt(session.fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    return replied;
}

bool TlsSendThenReset(int port, const std::string& bytes) {
    Session session;
    if (!OpenSession(session, port)) return false;
    SSL_write(session.ssl, bytes.data(), static_cast<int>(bytes.size()));
    linger abort{1, 0};
    setsockopt(session.fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    return true;
}

std::string TlsSendThenEnd(int port, const std::string& bytes) {
    Session session;
    if (!OpenSession(session, port)) return "";
    SSL_write(session.ssl, bytes.data(), static_cast<int>(bytes.size()));
    SSL_shutdown(session.ssl);
    shutdown(session.fd, SHUT_WR);
    std::string reply;
    char buffer[4096];
    for (int got; (got = SSL_read(session.ssl, buffer, sizeof buffer)) > 0;) reply.append(buffer, static_cast<size_t>(got));
    return reply;
}

bool TlsTrickle(int port, const std::string& start, char trickle, int everyMs, std::string& reply) {
    reply.clear();
    Session session;
    if (!OpenSession(session, port)) return false;
    SSL_write(session.ssl, start.data(), static_cast<int>(start.size()));
    // Without blocking while trickling: the server's session tickets make the socket
    // readable without any reply behind them.
    int flags = fcntl(session.fd, F_GETFL);
    fcntl(session.fd, F_SETFL, flags | O_NONBLOCK);
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(kReplyWaitSeconds);
    char buffer[4096];
    pollfd waiting{session.fd, POLLIN, 0};
    while (reply.empty()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        if (poll(&waiting, 1, everyMs) > 0) {
            int got = SSL_read(session.ssl, buffer, sizeof buffer);
            if (got > 0) reply.append(buffer, static_cast<size_t>(got));
            else if (SSL_get_error(session.ssl, got) != SSL_ERROR_WANT_READ) return true;
            continue;
        }
        SSL_write(session.ssl, &trickle, 1);
    }
    fcntl(session.fd, F_SETFL, flags);
    for (int got; (got = SSL_read(session.ssl, buffer, sizeof buffer)) > 0;) {
        reply.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

void PlainSendThenReset(int port, const std::string& bytes) {
    int fd = Connect(port);
    if (fd < 0) return;
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    linger abort{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close(fd);
}

bool TlsHandshakeThenClose(int port, const ClientOffer& offer) {
    Session session;
    if (!OpenSession(session, port, offer)) return false;
    shutdown(session.fd, SHUT_WR);
    return WaitForPeerClose(session.fd, kReplyWaitSeconds * 1000);
}

bool TlsClientCanOffer(const std::string& groups) {
    Session session;
    session.ssl = SSL_new(ClientContext());
    return SSL_set1_groups_list(session.ssl, groups.c_str()) == 1;
}

std::string TlsNegotiatedGroup(int port, const std::string& groups) {
    Session session;
    ClientOffer offer;
    offer.groups = groups;
    if (!OpenSession(session, port, offer)) return "";
    // The group's name, not its NID: the hybrid groups have none.
    const char* name = SSL_group_to_name(session.ssl, static_cast<int>(SSL_get_negotiated_group(session.ssl)));
    std::string chosen = name != nullptr ? name : "(unnamed)";
    shutdown(session.fd, SHUT_WR);
    WaitForPeerClose(session.fd, kReplyWaitSeconds * 1000);
    return chosen;
}

std::string PlainExchange(int port, const std::string& request) {
    int fd = Connect(port);
    if (fd < 0) return "";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply;
    char buffer[4096];
    for (;;) {
        ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        reply.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return reply;
}

int ConnectSilently(int port, const std::string& firstBytes) {
    int fd = Connect(port);
    if (fd >= 0 && !firstBytes.empty() && send(fd, firstBytes.data(), firstBytes.size(), MSG_NOSIGNAL) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int SendHelloThenStopReading(int port) {
    // One byte asked for: the system gives its smallest receive buffer.
    int fd = Connect(port, 1);
    if (fd < 0) return -1;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    // The hello goes out, then the handshake stops where it would read the answer. Freeing
    // the session leaves the descriptor open and sends nothing.
    SSL* ssl = SSL_new(ClientContext());
    SSL_set_fd(ssl, fd);
    bool helloSent = SSL_connect(ssl) < 0 && SSL_get_error(ssl, -1) == SSL_ERROR_WANT_READ;
    SSL_free(ssl);
    ERR_clear_error();
    if (!helloSent) {
        close(fd);
        return -1;
    }
    return fd;
}

bool WaitForPeerClose(int fd, int milliseconds) {
    pollfd waiting{fd, POLLIN, 0};
    char buffer[4096];
    for (;;) {
        if (poll(&waiting, 1, milliseconds) <= 0) return false;
        if (recv(fd, buffer, sizeof buffer, 0) <= 0) return true;
    }
}

bool PortAnswers(int port) {
    int fd = Connect(port);
    if (fd < 0) return false;
    close(fd);
    return true;
}

int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}
