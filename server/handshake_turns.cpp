#include "server/handshake_turns.h"

#include <atomic>
#include <mutex>

#include "platform/threads.h"

namespace {

// A thread waiting for its turn; it lives on that thread's stack.
struct TurnWaiter {
    std::atomic<unsigned> hasTurn{0};
    TurnWaiter* next = nullptr;
};

struct HandshakeTurns {
    std::mutex lock;
    bool counted = false;
    unsigned free = 0;
    TurnWaiter* first = nullptr;  // the queue, longest-waiting first
    TurnWaiter* last = nullptr;
};

HandshakeTurns turns;

}  // namespace

void TakeHandshakeTurn() {
    std::unique_lock<std::mutex> hold(turns.lock);
    if (!turns.counted) {
        turns.free = 2 * platform::UsableProcessorCount();
        turns.counted = true;
    }
    if (turns.free > 0 && turns.first == nullptr) {
        --turns.free;
        return;
    }
    TurnWaiter waiter;
    (turns.last == nullptr ? turns.first : turns.last->next) = &waiter;
    turns.last = &waiter;
    hold.unlock();
    while (waiter.hasTurn.load(std::memory_order_acquire) == 0) platform::WaitWhileEqual(waiter.hasTurn, 0);
}

void GiveHandshakeTurnBack() {
    std::unique_lock<std::mutex> hold(turns.lock);
    TurnWaiter* next = turns.first;
    if (next == nullptr) {
        ++turns.free;
        return;
    }
    turns.first = next->next;
    if (turns.first == nullptr) turns.last = nullptr;
    // The turn passes straight to the waiter, so that no thread arriving now can take it
    // first. Once the waiter sees its turn it may return and its frame end: the wake that
    // follows uses only the word's address.
    next->hasTurn.store(1, std::memory_order_release);
    hold.unlock();
    platform::WakeOneWaiter(next->hasTurn);
}
