#include "server/accept_loop.h"

#include <chrono>
#include <openssl/crypto.h>
#include <system_error>
#include <thread>

#include "server/connection.h"
#include "server/server.h"

namespace {

// After running out of descriptors or memory the loop waits this long before it tries
// again, instead of spinning while connections give resources back.
constexpr auto kResourcePause = std::chrono::milliseconds(50);

// Starts a detached thread for the connection. When no thread can be had, the connection
// is closed and the loop goes on accepting.
void HandOff(ServerState& server, platform::Socket client, const platform::PeerAddress& peer) {
    SSL_CTX_up_ref(server.sslContext.get());
    auto job = std::unique_ptr<ConnectionJob>(new ConnectionJob{
        server, client, peer, std::unique_ptr<SSL_CTX, SslContextRelease>(server.sslContext.get()), server.webRoot,
        server.limits});
    try {
        std::thread(ConnectionThread, job.get()).detach();
        job.release();
    } catch (const std::system_error&) {
        platform::CloseSocket(client);
    }
}

}  // namespace

int AcceptLoop(ServerState& server) {
    while (!server.stopRequested) {
        platform::PeerAddress peer;
        platform::AcceptFailure failure = platform::AcceptFailure::Transient;
        platform::Socket client = platform::AcceptConnection(server.listenSocket, peer, failure);
        if (client != platform::kInvalidSocket) {
            HandOff(server, client, peer);
            continue;
        }
        // A client that gave up before accept() or a short lack of resources must not
        // leave a server that runs but never answers again.
        if (server.stopRequested || failure == platform::AcceptFailure::SocketGone) break;
        if (failure == platform::AcceptFailure::Resources) std::this_thread::sleep_for(kResourcePause);
    }
    return 0;
}

int ConnectionThread(ConnectionJob* job) {
    HandleConnection(job->sslContext.get(), job->webRoot, job->clientSocket, job->peerAddress, job->limits);
    delete job;
    // A statically linked OpenSSL on Windows learns of no thread's end: free this
    // thread's error queue and other state now.
    OPENSSL_thread_stop();
    return 0;
}
