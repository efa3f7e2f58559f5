// Turns to compute a handshake. A handshake's signature and key exchange cost far more CPU
// than anything else a connection does; when every connection thread computes at once,
// the system shares the processors among all of them, and a connection that arrives
// behind 60 others waits for all 60 to finish, while one that arrives a moment later may
// pass them. With turns, at most two handshakes per processor compute at once and the
// others queue in the order they asked, so every connection waits about as long as the
// others. Two rather than one: measured, one turn per processor made each handshake wait
// for its turn more often and cost more context switches, and two kept the spread of
// waiting times as narrow.
//
// A thread never holds a turn while it waits on its socket: it gives the turn back before
// the wait and queues again after it while costly work is left, so a client that stays
// silent or stops reading never holds one.
#pragma once

#include <mutex>

struct TurnWaiter;

// A set of turns and the threads queued for one.
struct HandshakeTurns {
    explicit HandshakeTurns(unsigned turns) : count(turns), free(turns) {}

    const unsigned count;
    std::mutex lock;             // guards the fields below
    unsigned free;               // turns no thread holds
    unsigned waiting = 0;        // threads in the queue
    TurnWaiter* first = nullptr;  // the queue, longest-waiting first
    TurnWaiter* last = nullptr;
};

// The process's turns, two per processor it may run on; every connection uses them.
extern HandshakeTurns handshakeTurns;

// Waits for a turn, in the order the threads asked: a turn that is given back while
// threads wait goes to the longest-waiting one, never to a thread that asks later.
void TakeHandshakeTurn(HandshakeTurns& turns);

// Gives a turn back; the longest-waiting thread gets it.
void GiveHandshakeTurnBack(HandshakeTurns& turns);

// One thread's hold on a turn, taken and given back as its handshake goes, and given back
// at the latest when the holder ends.
class HandshakeTurn {
public:
    explicit HandshakeTurn(HandshakeTurns& turns) : turns_(turns) {}
    HandshakeTurn(const HandshakeTurn&) = delete;
    HandshakeTurn& operator=(const HandshakeTurn&) = delete;
    ~HandshakeTurn() { GiveBack(); }

    // Both do nothing when the turn is already held, or not held.
    void Take();
    void GiveBack();

private:
    HandshakeTurns& turns_;
    bool held_ = false;
};

// For tests: how many turns threads hold, and how many threads wait for one, at one moment.
struct HandshakeTurnsSeen {
    unsigned held;
    unsigned waiting;
};
HandshakeTurnsSeen LookAtHandshakeTurns(HandshakeTurns& turns);
