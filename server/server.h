// The HTTPS server: the one process-wide server record and its start and stop.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <openssl/ssl.h>

#include "platform/message_box.h"
#include "platform/sockets.h"
#include "server/accept_loop.h"
#include "server/connection.h"
#include "server/live_connections.h"

struct ServerState {
    // Written by StartServer/StopServer on the main thread; read without a lock anywhere.
    std::atomic<bool> running{false};        // true from a successful start to the end of a stop
    std::atomic<bool> stopRequested{false};  // set by a stop before it closes the listener

    // Main thread only: started by a start, joined by the stop.
    std::thread acceptThread;

    // Written by the main thread at start and stop, read by the accept thread before each
    // accept(); kInvalidSocket whenever the server does not run.
    std::atomic<platform::Socket> listenSocket{platform::kInvalidSocket};

    // One reference owned from a successful start to the stop; null whenever the server
    // does not run. Each connection takes a reference of its own when it is accepted.
    std::unique_ptr<SSL_CTX, SslContextRelease> sslContext;

    // Recomputed by each start that gets that far; kept after a stop. The main thread
    // reads them for the status panel; each connection takes its own copy of webRoot.
    std::wstring exeFolder;
    std::wstring certPath;
    std::wstring keyPath;
    std::wstring webRoot;

    // The limits handed to each connection; tests shorten them before a start.
    ConnectionLimits limits;

    // The connections being served, added by the accept thread and taken off by each
    // connection's thread before it closes its socket; a stop breaks off all of them.
    // Lives with the record: connections may outlive a stop and overlap the next start.
    LiveConnections liveConnections;
};

// The one server record of the process.
extern ServerState serverState;

// Starts the server. True when it runs afterwards (also when it already ran). False when
// a step failed: the user was shown why in a box owned by `owner`, and everything the
// start had taken is released again. Main thread only.
bool StartServer(platform::WindowHandle owner);

// Stops a running server: closes the listener, waits for the accept thread, breaks off the
// connections being served, releases the context and writes " [INFO] Server stopped".
// Broken-off connections are not waited for: their threads end on their own. Does
// nothing when the server does not run. Main thread only.
void StopServer();

// Shows a failed OpenSSL call: the text, "\nOpenSSL: " and the earliest queued error.
void ShowTlsError(platform::WindowHandle owner, const std::wstring& text);

// How the start's boxes reach the user: platform::ShowErrorBox unless replaced (the
// console host writes them to standard error).
using ErrorBoxFunction = void (*)(platform::WindowHandle owner, const std::wstring& text,
                                  const std::wstring& caption);
void SetErrorBoxFunction(ErrorBoxFunction show);
