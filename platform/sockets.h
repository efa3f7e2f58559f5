// Sockets: the listening and accepted TCP sockets of the server, and the local port probe.
// Every failing call hands back the error code read right after it, so the portable code
// never looks at errno or WSAGetLastError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace platform {

// A socket as the system numbers it (Windows SOCKET, POSIX descriptor).
using Socket = std::uintptr_t;
inline constexpr Socket kInvalidSocket = ~Socket(0);

// The peer address exactly as accept() filled it: a sockaddr_storage of 128 bytes, zero
// where accept() did not write.
struct PeerAddress {
    alignas(8) unsigned char bytes[128];
};

// Closes a socket; only SocketHandle calls it.
void CloseSocket(Socket socket);

// The one owner of a socket: it closes the socket when it goes, and moves but
// never copies. Empty (false) when no socket was had.
class SocketHandle {
public:
    SocketHandle() = default;
    explicit SocketHandle(Socket socket) : socket_(socket) {}
    SocketHandle(SocketHandle&& other) noexcept : socket_(std::exchange(other.socket_, kInvalidSocket)) {}
    SocketHandle& operator=(SocketHandle&& other) noexcept {
        if (this != &other) {
            Close();
            socket_ = std::exchange(other.socket_, kInvalidSocket);
        }
        return *this;
    }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    ~SocketHandle() { Close(); }

    explicit operator bool() const { return socket_ != kInvalidSocket; }
    Socket native() const { return socket_; }

private:
    void Close() {
        if (socket_ != kInvalidSocket) CloseSocket(std::exchange(socket_, kInvalidSocket));
    }
    Socket socket_ = kInvalidSocket;
};

// Starts the socket library once for the whole process and never ends that start
// (Windows: one WSAStartup that no WSACleanup balances). When the cleanup of a stop ended
// the process's last start, Windows would reset every socket still open and could hand
// their numbers to new sockets, while the threads of broken-off connections still hold
// those numbers and close them. Call it at the process's entry; on POSIX it only sees
// that a peer's reset cannot kill the process (SIGPIPE is ignored).
void StartNetworkForProcess();

// Starts the socket library once more (Windows: WSAStartup 2.2); NetCleanup balances one
// successful start. On POSIX it only sees that a peer's reset cannot kill the process
// (SIGPIPE is ignored).
bool NetStartup();
void NetCleanup();

// socket(AF_INET, SOCK_STREAM, IPPROTO_TCP).
Socket OpenTcpSocket(int& error);

// How a listener holds its port, set before bind; the result is of no interest to the
// caller. Windows: SO_EXCLUSIVEADDRUSE, so that no other socket, whatever options it
// sets, can bind the port while the listener lives (with SO_REUSEADDR any program could
// bind it beside us and be handed our connections). POSIX: SO_REUSEADDR, so that the
// TIME_WAIT of earlier connections does not refuse a new start; Linux never lets two
// listeners share a port without SO_REUSEPORT.
void SetListenerAddressUse(Socket socket);

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

// Waits for the next connection. Empty with `failure` set when none was had.
SocketHandle AcceptConnection(Socket listener, PeerAddress& peer, AcceptFailure& failure);

// Ends a listening socket so that a thread blocked in accept() on it returns at once.
void CloseListener(Socket listener);

// Breaks a connection off from another thread than the one that serves it: shuts the
// socket down both ways, so that the serving thread's blocked read or write fails and it
// ends through its own error path, and makes its later close abortive (SO_LINGER on with
// a time of 0: the close resets the connection and drops what is still unsent).
//
// Why abortive: Windows refuses a new exclusive bind of the port while a connection that
// the earlier listener accepted is still active, also after that listener is closed. A
// connection answered in the ordinary way is not: the server ends its side and reads
// until the client's end, the graceful close that Microsoft gives as the way to keep the
// port reusable. A connection a stop breaks off is different: its client may have stopped
// reading (a paused download), and a graceful close would keep it active while the system
// tries to deliver the buffered bytes and the end of the stream, possibly for ever, so the
// next start could not bind. A reset connection leaves nothing behind, not even TIME_WAIT.
// The socket stays open and its number valid: only its owner closes it.
void BreakOffConnection(Socket socket);

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
