// The accept loop: one thread that accepts connections and gives each a thread of its own.
#pragma once

#include <memory>
#include <string>

#include <openssl/ssl.h>

#include "platform/sockets.h"
#include "server/connection.h"

struct ServerState;

struct SslContextRelease {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};

// What the accept loop hands to one connection thread, which owns it from then on.
struct ConnectionJob {
    ServerState& server;
    platform::Socket clientSocket;
    platform::PeerAddress peerAddress;
    // The connection's own reference to the context and its own copy of the Web Root, so
    // that a stop or the next start cannot take either from under a running handler.
    std::unique_ptr<SSL_CTX, SslContextRelease> sslContext;
    std::wstring webRoot;
    ConnectionLimits limits;
};

// The body of the accept thread: accepts until a stop is requested or the listening
// socket is gone; returns 0.
int AcceptLoop(ServerState& server);

// The body of a connection thread: serves the job's connection, frees the job, returns 0.
int ConnectionThread(ConnectionJob* job);
