// One accepted connection, from the TLS handshake to the closed socket.
#pragma once

#include <string>

#include <openssl/ssl.h>

#include "platform/sockets.h"

// Serves one request on the connection and closes it. Owns `clientSocket` and closes it
// on every path. With no context, the socket is closed without a response. Each read
// waits at most `idleLimitMs` for the client, and each write for the client to take
// bytes. Order on every path past the request line: response, access line, close.
void HandleConnection(SSL_CTX* sslContext, const std::wstring& webRoot, platform::Socket clientSocket,
                      const platform::PeerAddress& peerAddress, unsigned idleLimitMs);
