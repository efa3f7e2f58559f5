// Sockets: the listening and accepted TCP sockets of the server, and the local port probe.
// Every failing call hands back the error code read right after it, so the portable code
// never looks at errno or WSAGetLastError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A socket as the system numbers it (Windows SOCKET, POSIX descriptor).
using Socket = std::uintptr_t;
inline constexpr Socket kInvalidSocket = ~Socket(0);

// The peer address exactly as accept() filled it: a sockaddr_storage of 128 bytes, zero
// where accept() did not write.
struct PeerAddress {
    alignas(8) unsigned char bytes[128];
};

// Starts the socket library once more (Windows: WSAStartup 2.2); NetCleanup balances one
// successful start. On POSIX it only sees that a peer's reset cannot kill the process
// (SIGPIPE is ignored).
bool NetStartup();
void NetCleanup();

// socket(AF_INET, SOCK_STREAM, IPPROTO_TCP).
Socket OpenTcpSocket(int& error);

// setsockopt(SOL_SOCKET, SO_REUSEADDR, 1); the result is of no interest to the caller.
void SetReuseAddress(Socket socket);

// bind to INADDR_ANY:port. False with the error code on failure.
bool BindAnyIPv4(Socket socket, std::uint16_t port, int& error);

// listen with the largest backlog the system allows (SOMAXCONN).
bool ListenForConnections(Socket socket, int& error);

// Why accept() gave no connection.
enum class AcceptFailure {
    Transient,  // the peer went away before accept, or a signal: try again at once
    Resources,  // out of descriptors, buffers or memory: try again after a pause
    SocketGone  // the listening socket was shut down or closed: stop accepting
};

// Waits for the next connection. kInvalidSocket with `failure` set when none was had.
Socket AcceptConnection(Socket listener, PeerAddress& peer, AcceptFailure& failure);

// Ends a listening socket so that a thread blocked in accept() on it returns at once.
void CloseListener(Socket listener);

void CloseSocket(Socket socket);

// Limits how long one receive or one send may wait for the peer.
void SetIdleLimit(Socket socket, unsigned milliseconds);

// Limits how long one receive may wait for the peer; the send limit stays. Zero is taken
// as one millisecond, since to the system zero means no limit at all.
void SetReceiveLimit(Socket socket, unsigned milliseconds);

// Switches the socket between sends and receives that wait for the peer (the default) and
// ones that fail at once with "would block" instead.
void SetBlocking(Socket socket, bool blocking);

// Waits until a receive (with `forSending`, a send) would not wait: bytes or room are
// there, or the peer's end or an error. False when the time ran out first.
bool WaitUntilReady(Socket socket, bool forSending, unsigned milliseconds);

// Ends the sending side (a TCP half-close): the peer reads the end of the stream once
// everything sent before it has arrived. Receiving goes on.
void EndSending(Socket socket);

// Receives up to `limit` bytes into a buffer of its own and throws them away, waiting no
// longer than the receive limit. The count thrown away; 0 when the peer has ended its
// sending side, the connection failed or nothing came in time.
std::size_t DiscardReceived(Socket socket, std::size_t limit);

// Sends each write at once (TCP_NODELAY): TLS writes small records back to back (session
// tickets, then the response), and waiting for the peer's delayed acknowledgement of the
// first would stall the next.
void SendWithoutDelay(Socket socket);

// The numeric text of the peer's IPv4 or IPv6 address (inet_ntop), without port; "" for
// any other family or when it cannot be rendered.
std::string PeerAddressNumericText(const PeerAddress& peer);

// True when a TCP connect to 127.0.0.1:port was accepted within 200 ms.
bool ProbeLocalPort(std::uint16_t port);

}  // namespace platform
