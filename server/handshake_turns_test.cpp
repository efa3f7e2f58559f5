#include "server/handshake_turns.h"

#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// True once `count` threads are queued for a turn; false only when that never happens.
bool WaitUntilQueued(HandshakeTurns& turns, unsigned count) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (LookAtHandshakeTurns(turns).waiting != count) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(HandshakeTurns, TurnsGoInTheOrderAskedAndAThreadAskingLaterNeverPassesTheQueue) {
    HandshakeTurns turns(1);
    std::mutex orderLock;
    std::vector<std::string> order;
    auto takeAndRecord = [&](const std::string& name) {
        TakeHandshakeTurn(turns);
        {
            std::lock_guard<std::mutex> hold(orderLock);
            order.push_back(name);
        }
        GiveHandshakeTurnBack(turns);
    };
    TakeHandshakeTurn(turns);
    std::thread first(takeAndRecord, "first");
    EXPECT_TRUE(WaitUntilQueued(turns, 1));
    std::thread second(takeAndRecord, "second");
    EXPECT_TRUE(WaitUntilQueued(turns, 2));
    // The turn goes to the first in the queue even though this thread asks again before
    // the first one has woken up: asking later, it comes after the second.
    GiveHandshakeTurnBack(turns);
    takeAndRecord("again");
    first.join();
    second.join();
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "again"}));
    HandshakeTurnsSeen after = LookAtHandshakeTurns(turns);
    EXPECT_EQ(after.held, 0u);
    EXPECT_EQ(after.waiting, 0u);
}

}  // namespace
