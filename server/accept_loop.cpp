#include "server/accept_loop.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <openssl/crypto.h>
#include <thread>
#include <utility>

#include "platform/threads.h"
#include "server/connection.h"
#include "server/server.h"

namespace {

// After running out of descriptors or memory the loop waits this long before it tries
// again, instead of spinning while connections give resources back.
constexpr auto kResourcePause = std::chrono::milliseconds(50);

// The stack of a connection thread, set by the build: the deepest path (a handshake with an
// RSA-2048 signature and a post-quantum key share, a file response, a log line) needs a
// tenth of it. The sanitizer builds put more on each thread's stack (ThreadSanitizer its
// per-thread state) and get more.
constexpr std::size_t kConnectionStackBytes = std::size_t{PELLWICK_CONNECTION_STACK_KIB} * 1024;

// A burst of at least this many connections at once leaves enough free memory in the
// allocator to be worth giving back when its last connection ends. Below it the memory is
// kept for the next connections, which a trim would only make fault in again.
constexpr unsigned kBurstWorthATrim = 64;

// Connections whose thread runs, and the most there were since the last time none ran.
std::atomic<unsigned> runningConnectionThreads{0};
std::atomic<unsigned> burstPeak{0};

void CountConnectionStart() {
    unsigned live = ++runningConnectionThreads;
    unsigned peak = burstPeak.load();
    while (live > peak && !burstPeak.compare_exchange_weak(peak, live)) {
    }
}

// Called when a connection has released all it holds. The last connection of a big burst
// gives the burst's memory back.
void CountConnectionEnd() {
    if (--runningConnectionThreads != 0) return;
    if (burstPeak.exchange(0) >= kBurstWorthATrim) platform::ReleaseFreeMemory();
}

void RunConnectionThread(void* job) {
    ConnectionThread(static_cast<ConnectionJob*>(job));
}

// Starts a detached thread for the connection. When no thread can be had, the connection
// is closed with its job and the loop goes on accepting.
void HandOff(ServerState& server, platform::SocketHandle client, const platform::PeerAddress& peer) {
    auto job = std::unique_ptr<ConnectionJob>(
        new ConnectionJob{LiveSocket(server.liveConnections, std::move(client)), peer,
                          SslContextReference(server.sslContext.get()), server.webRoot, server.limits});
    CountConnectionStart();
    if (platform::StartDetachedThread(RunConnectionThread, job.get(), kConnectionStackBytes)) {
        job.release();
        return;
    }
    CountConnectionEnd();
}

}  // namespace

int AcceptLoop(ServerState& server) {
    platform::PrepareAllocatorForThreads();
    while (!server.stopRequested) {
        platform::PeerAddress peer;
        platform::AcceptFailure failure = platform::AcceptFailure::Transient;
        platform::SocketHandle client = platform::AcceptConnection(server.listenSocket, peer, failure);
        if (client) {
            HandOff(server, std::move(client), peer);
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
    HandleConnection(job->sslContext.get(), job->webRoot, job->clientSocket.native(), job->peerAddress, job->limits);
    delete job;
    // A statically linked OpenSSL on Windows learns of no thread's end: free this
    // thread's error queue and other state now.
    OPENSSL_thread_stop();
    CountConnectionEnd();
    return 0;
}
