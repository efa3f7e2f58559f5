#include "platform/sockets.h"

#include <atomic>
#include <cstring>
#include <optional>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace platform {

namespace {

// One WSAStartup balanced by one WSACleanup, for a call that needs Winsock on its own.
class WinsockSession {
public:
    WinsockSession() {
        WSADATA data = {};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (started_) WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool started() const { return started_; }

private:
    bool started_;
};

// Set once the process's own start (StartNetworkForProcess) has succeeded; it never ends.
std::atomic<bool> processHoldsNetwork{false};

sockaddr_in IPv4Address(std::uint16_t port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    return address;
}

// The one place that decides what a failed accept() means for the loop that called it.
// The loop looks at its stop flag before the failure, so a listener closed on purpose
// ends it whatever code came back. Windows reports that close as WSAEINTR, Wine as
// WSA_OPERATION_ABORTED. A code not listed is retried after the loop's pause: calling it
// Transient could spin forever on a lasting fault, calling it SocketGone would leave a
// server that runs but never answers after a passing one.
AcceptFailure ClassifyAcceptError(int error) {
    switch (error) {
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAEWOULDBLOCK:
            return AcceptFailure::Transient;
        case WSAENOTSOCK:
        case WSAEINVAL:  // not listening
        case WSAEINTR:
        case WSA_OPERATION_ABORTED:
        case WSANOTINITIALISED:
        case WSAEBADF:
            return AcceptFailure::SocketGone;
        case WSAEMFILE:
        case WSAENOBUFS:
        case WSA_NOT_ENOUGH_MEMORY:
        default:
            return AcceptFailure::Resources;
    }
}

}  // namespace

void StartNetworkForProcess() {
    // Never balanced: this start lasts until the process ends.
    static const bool started = [] {
        WSADATA data = {};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    processHoldsNetwork = started;
}

bool NetStartup() {
    WSADATA data = {};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void NetCleanup() {
    WSACleanup();
}

Socket OpenTcpSocket(int& error) {
    const SOCKET opened = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    error = opened == INVALID_SOCKET ? WSAGetLastError() : 0;
    return opened;
}

void SetListenerAddressUse(Socket socket) {
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
}

bool BindAnyIPv4(Socket socket, std::uint16_t port, int& error) {
    sockaddr_in address = IPv4Address(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    error = WSAGetLastError();
    return false;
}

bool ListenForConnections(Socket socket, int& error) {
    if (listen(socket, SOMAXCONN) == 0) return true;
    error = WSAGetLastError();
    return false;
}

SocketHandle AcceptConnection(Socket listener, PeerAddress& peer, AcceptFailure& failure) {
    std::memset(peer.bytes, 0, sizeof peer.bytes);
    int length = sizeof peer.bytes;
    const SOCKET accepted = accept(listener, reinterpret_cast<sockaddr*>(peer.bytes), &length);
    if (accepted == INVALID_SOCKET) failure = ClassifyAcceptError(WSAGetLastError());
    return SocketHandle(accepted);
}

void CloseListener(Socket listener) {
    // Unlike Linux, closing is enough to end an accept() blocked on it in another thread.
    closesocket(listener);
}

void CloseSocket(Socket socket) {
    closesocket(socket);
}

void BreakOffConnection(Socket socket) {
    const LINGER abortive = {1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
    shutdown(socket, SD_BOTH);
}

void SetIdleLimit(Socket socket, unsigned milliseconds) {
    const DWORD limit = milliseconds;
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
}

void SetReceiveLimit(Socket socket, unsigned milliseconds) {
    const DWORD limit = milliseconds == 0 ? 1 : milliseconds;
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
}

void EndSending(Socket socket) {
    shutdown(socket, SD_SEND);
}

void SetBlocking(Socket socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    // The header defines FIONBIO as an unsigned constant for a signed parameter.
    ioctlsocket(socket, static_cast<long>(FIONBIO), &nonBlocking);
}

bool WaitUntilReady(Socket socket, bool forSending, unsigned milliseconds) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket, &ready);
    timeval limit{static_cast<long>(milliseconds / 1000), static_cast<long>((milliseconds % 1000) * 1000)};
    return select(0, forSending ? nullptr : &ready, forSending ? &ready : nullptr, nullptr, &limit) != 0;
}

std::size_t DiscardReceived(Socket socket, std::size_t limit) {
    char buffer[16384];
    int got = recv(socket, buffer, static_cast<int>(limit < sizeof buffer ? limit : sizeof buffer), 0);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

void SendWithoutDelay(Socket socket) {
    const BOOL on = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

std::string PeerAddressNumericText(const PeerAddress& peer) {
    char text[65] = {};
    ADDRESS_FAMILY family;
    std::memcpy(&family, peer.bytes, sizeof family);
    if (family == AF_INET) {
        sockaddr_in address;
        std::memcpy(&address, peer.bytes, sizeof address);
        if (inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) return "";
    } else if (family == AF_INET6) {
        sockaddr_in6 address;
        std::memcpy(&address, peer.bytes, sizeof address);
        if (inet_ntop(AF_INET6, &address.sin6_addr, text, sizeof text) == nullptr) return "";
    }
    return text;
}

// Needs Winsock of its own only where the process holds none (a test program, say), so that
// the status panel's tick does not start and end the library every 800 ms. True when
// the connect to 127.0.0.1:port completes within 200 ms; a refused, failed or slower one
// gives false after at most those 200 ms.
bool ProbeLocalPort(std::uint16_t port) {
    std::optional<WinsockSession> session;
    if (!processHoldsNetwork && !session.emplace().started()) return false;
    const SocketHandle probe(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!probe) return false;
    sockaddr_in address = IPv4Address(port);
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    SetIdleLimit(probe.native(), 200);
    // A blocking connect ignores those limits, and Windows retries a refused connect for
    // about two seconds: the status panel would freeze the window on every tick. The
    // connect runs without blocking and is given the same 200 ms.
    u_long nonBlocking = 1;
    // FIONBIO is an unsigned constant whose top bit is set; ioctlsocket takes it as a long.
    ioctlsocket(probe.native(), static_cast<long>(FIONBIO), &nonBlocking);
    if (connect(probe.native(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(probe.native(), &writable);
    fd_set failed = writable;
    timeval limit{0, 200000};
    if (select(0, nullptr, &writable, &failed, &limit) <= 0 || FD_ISSET(probe.native(), &failed)) return false;
    int error = 0;
    int length = sizeof error;
    getsockopt(probe.native(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
    return error == 0;
}

}  // namespace platform
