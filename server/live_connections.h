// The connections being served, where a stop can reach their sockets.
#pragma once

#include <mutex>

#include "platform/sockets.h"

class LiveSocket;

// The list of live connections, under a lock of its own. Taken only to add or take off one
// entry and by a stop's walk over all of them, never around anything that waits.
struct LiveConnections {
    std::mutex lock;
    LiveSocket* first = nullptr;
};

// One accepted connection's socket, from the accept to its close, on the list of live
// connections all that time. It comes off the list before its socket is closed, under the
// list's lock, so a stop never reaches a socket number that has been closed and may
// already belong to another connection. Neither copied nor moved: the list points at it.
class LiveSocket {
public:
    LiveSocket(LiveConnections& list, platform::SocketHandle socket);
    ~LiveSocket();
    LiveSocket(const LiveSocket&) = delete;
    LiveSocket& operator=(const LiveSocket&) = delete;

    platform::Socket native() const { return socket_.native(); }

private:
    friend void BreakOffLiveConnections(LiveConnections& list);

    LiveConnections& list_;
    platform::SocketHandle socket_;  // closed after the entry is off the list
    LiveSocket* previous_ = nullptr;
    LiveSocket* next_ = nullptr;
};

// Breaks off every connection on the list (platform::BreakOffConnection): the thread that
// serves it fails its next or current read or write, ends through its own error path and
// closes its own socket. Entries stay on the list until then; breaking one off twice does
// no harm.
void BreakOffLiveConnections(LiveConnections& list);
