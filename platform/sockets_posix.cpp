#include "platform/sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/descriptors_posix.h"

namespace platform {

namespace {

int Fd(Socket socket) {
    return static_cast<int>(socket);
}

Socket FromFd(int fd) {
    return fd < 0 ? kInvalidSocket : static_cast<Socket>(fd);
}

sockaddr_in IPv4Address(std::uint32_t hostOrderAddress, std::uint16_t port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    return address;
}

// One place decides what a failed accept() means for the loop that called it.
AcceptFailure ClassifyAcceptError(int error) {
    switch (error) {
        case EINTR:
        case EAGAIN:
        case ECONNABORTED:
        case EPROTO:
        case EPERM:  // refused by a firewall rule after the handshake
            return AcceptFailure::Transient;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            return AcceptFailure::Resources;
        default:  // EBADF, EINVAL (shut down), ENOTSOCK: the listener is gone
            return AcceptFailure::SocketGone;
    }
}

}  // namespace

void StartNetworkForProcess() {
    IgnoreBrokenPipe();
}

bool NetStartup() {
    IgnoreBrokenPipe();
    return true;
}

void NetCleanup() {}

Socket OpenTcpSocket(int& error) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    error = fd < 0 ? errno : 0;
    return FromFd(fd);
}

void SetListenerAddressUse(Socket socket) {
    int on = 1;
    setsockopt(Fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

bool BindAnyIPv4(Socket socket, std::uint16_t port, int& error) {
    sockaddr_in address = IPv4Address(INADDR_ANY, port);
    if (bind(Fd(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return true;
    error = errno;
    return false;
}

bool ListenForConnections(Socket socket, int& error) {
    if (listen(Fd(socket), SOMAXCONN) == 0) return true;
    error = errno;
    return false;
}

SocketHandle AcceptConnection(Socket listener, PeerAddress& peer, AcceptFailure& failure) {
    std::memset(peer.bytes, 0, sizeof peer.bytes);
    socklen_t length = sizeof peer.bytes;
    int fd = accept4(Fd(listener), reinterpret_cast<sockaddr*>(peer.bytes), &length, SOCK_CLOEXEC);
    if (fd < 0) failure = ClassifyAcceptError(errno);
    return SocketHandle(FromFd(fd));
}

void CloseListener(Socket listener) {
    // Closing alone does not wake a thread blocked in accept() on Linux; shutting the
    // socket down does, and makes that accept() fail with EINVAL.
    shutdown(Fd(listener), SHUT_RDWR);
    close(Fd(listener));
}

void CloseSocket(Socket socket) {
    close(Fd(socket));
}

void BreakOffConnection(Socket socket) {
    linger abortive{1, 0};
    setsockopt(Fd(socket), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    shutdown(Fd(socket), SHUT_RDWR);
}

void SetIdleLimit(Socket socket, unsigned milliseconds) {
    timeval limit{};
    limit.tv_sec = milliseconds / 1000;
    limit.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    setsockopt(Fd(socket), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(Fd(socket), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

void SetReceiveLimit(Socket socket, unsigned milliseconds) {
    if (milliseconds == 0) milliseconds = 1;
    timeval limit{};
    limit.tv_sec = milliseconds / 1000;
    limit.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    setsockopt(Fd(socket), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

void EndSending(Socket socket) {
    shutdown(Fd(socket), SHUT_WR);
}

void SetBlocking(Socket socket, bool blocking) {
    int nonBlocking = blocking ? 0 : 1;
    ioctl(Fd(socket), FIONBIO, &nonBlocking);
}

bool WaitUntilReady(Socket socket, bool forSending, unsigned milliseconds) {
    pollfd watched{Fd(socket), static_cast<short>(forSending ? POLLOUT : POLLIN), 0};
    // An interrupted wait counts as ready: the operation that follows finds out.
    return poll(&watched, 1, static_cast<int>(milliseconds)) != 0;
}

std::size_t DiscardReceived(Socket socket, std::size_t limit) {
    char buffer[16384];
    ssize_t got = recv(Fd(socket), buffer, limit < sizeof buffer ? limit : sizeof buffer, 0);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

void SendWithoutDelay(Socket socket) {
    int on = 1;
    setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

std::string PeerAddressNumericText(const PeerAddress& peer) {
    char text[65] = {};
    sa_family_t family;
    std::memcpy(&family, peer.bytes, sizeof family);
    if (family == AF_INET) {
        sockaddr_in address;
        std::memcpy(&address, peer.bytes, sizeof address);
        inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    } else if (family == AF_INET6) {
        sockaddr_in6 address;
        std::memcpy(&address, peer.bytes, sizeof address);
        inet_ntop(AF_INET6, &address.sin6_addr, text, sizeof text);
    }
    return text;
}

bool ProbeLocalPort(std::uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return false;
    timeval limit{0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in address = IPv4Address(INADDR_LOOPBACK, port);
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

}  // namespace platform
