#include "server/handshake_turns.h"

#include <atomic>

#include "platform/threads.h"

// A thread waiting for its turn; it lives on that thread's stack.
struct TurnWaiter {
    std::atomic<unsigned> hasTurn{0};
    TurnWaiter* next = nullptr;
};

HandshakeTurns handshakeTurns{2 * platform::UsableProcessorCount()};

void TakeHandshakeTurn(HandshakeTurns& turns) {
    std::unique_lock<std::mutex> hold(turns.lock);
    if (turns.free > 0 && turns.first == nullptr) {
        --turns.free;
        return;
    }
    TurnWaiter waiter;
    (turns.last == nullptr ? turns.first : turns.last->next) = &waiter;
    turns.last = &waiter;
    ++turns.waiting;
    hold.unlock();
    while (waiter.hasTurn.load(std::memory_order_acquire) == 0) platform::WaitWhileEqual(waiter.hasTurn, 0);
}

void GiveHandshakeTurnBack(HandshakeTurns& turns) {
    std::unique_lock<std::mutex> hold(turns.lock);
    TurnWaiter* next = turns.first;
    if (next == nullptr) {
        ++turns.free;
        return;
    }
    turns.first = next->next;
    if (turns.first == nullptr) turns.last = nullptr;
    --turns.waiting;
    // The turn passes straight to the waiter, so that no thread arriving now can take it
    // first. Once the waiter sees its turn it may return and its frame end: the wake that
    // follows uses only the word's address.
    next->hasTurn.store(1, std::memory_order_release);
    hold.unlock();
    platform::WakeOneWaiter(next->hasTurn);
}

void HandshakeTurn::Take() {
    if (held_) return;
    TakeHandshakeTurn(turns_);
    held_ = true;
}

void HandshakeTurn::GiveBack() {
    if (!held_) return;
    GiveHandshakeTurnBack(turns_);
    held_ = false;
}

HandshakeTurnsSeen LookAtHandshakeTurns(HandshakeTurns& turns) {
    std::lock_guard<std::mutex> hold(turns.lock);
    return {turns.count - turns.free, turns.waiting};
}
