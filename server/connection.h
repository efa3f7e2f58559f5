// One accepted connection, from the TLS handshake to the closed socket.
#pragma once

#include <cstddef>
#include <string>

#include <openssl/ssl.h>

#include "platform/sockets.h"

// How long one read may wait for the client, and one write for the client to take bytes.
inline constexpr unsigned CONNECTION_IDLE_LIMIT_MS = 60000;

// From the accept to the end of the head, handshake included: the idle limit is per read,
// so without it a client that sends a byte now and then would keep its thread for ever.
inline constexpr unsigned HEAD_DEADLINE_MS = 60000;

// The bytes of all head lines together, line ends included: each costs a one-byte read,
// so header lines without end would otherwise cost CPU without end.
inline constexpr std::size_t HEAD_SIZE_CAP = 1048576;

// After an answer, what the client still sends is read and thrown away for at most this
// long and this much before the socket is closed.
inline constexpr unsigned LINGER_LIMIT_MS = 2000;
inline constexpr std::size_t LINGER_BYTES_CAP = 4194304;

// The limits a connection is served under; tests shorten them.
struct ConnectionLimits {
    unsigned idleLimitMs = CONNECTION_IDLE_LIMIT_MS;
    unsigned headDeadlineMs = HEAD_DEADLINE_MS;
    std::size_t headSizeCap = HEAD_SIZE_CAP;
};

// Serves one request on the connection and ends it; the caller owns `clientSocket` and
// closes it after the return, on every path. With no context nothing is sent. Each read
// waits at most the idle limit for the client, and each write for the client to take
// bytes. When the head's deadline or size cap is reached inside the request line, the
// connection is closed without a response; inside the header lines, the head ends there.
// Order on every path past the request line: response, access line, end of the session.
void HandleConnection(SSL_CTX* sslContext, const std::wstring& webRoot, platform::Socket clientSocket,
                      const platform::PeerAddress& peerAddress, const ConnectionLimits& limits);
