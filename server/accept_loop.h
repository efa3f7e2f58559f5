// The accept loop: one thread that accepts connections and gives each a thread of its own.
#pragma once

#include <memory>
#include <string>

#include <openssl/ssl.h>

#include "platform/sockets.h"
#include "server/connection.h"
#include "server/live_connections.h"

struct ServerState;

struct SslContextRelease {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};

// One more reference to a TLS context, taken when it is made and given back when it goes.
class SslContextReference {
public:
    explicit SslContextReference(SSL_CTX* context) : context_(context) {
        if (context_ != nullptr) SSL_CTX_up_ref(context_);
    }
    ~SslContextReference() { SSL_CTX_free(context_); }
    SslContextReference(const SslContextReference&) = delete;
    SslContextReference& operator=(const SslContextReference&) = delete;

    SSL_CTX* get() const { return context_; }

private:
    SSL_CTX* context_;
};

// What the accept loop hands to one connection thread, which owns it from then on.
struct ConnectionJob {
    // Closed when the job goes, after the handler has returned.
    LiveSocket clientSocket;
    platform::PeerAddress peerAddress;
    // The connection's own reference to the context and its own copy of the Web Root, so
    // that a stop or the next start cannot take either from under a running handler.
    SslContextReference sslContext;
    std::wstring webRoot;
    ConnectionLimits limits;
};

// The body of the accept thread: accepts until a stop is requested or the listening
// socket is gone; returns 0.
int AcceptLoop(ServerState& server);

// The body of a connection thread: serves the job's connection, frees the job, returns 0.
int ConnectionThread(ConnectionJob* job);
