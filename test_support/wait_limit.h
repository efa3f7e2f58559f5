// The ceiling of every wait in the tests for something that should happen: so long that
// only a hang reaches it, on a machine crowded far beyond its processors. A passing test
// never waits that long. A wait that proves something does not happen keeps its own, short,
// length instead.
#pragma once

#include <chrono>

inline constexpr std::chrono::milliseconds kHangLimit{120000};
inline constexpr int kHangLimitMs = static_cast<int>(kHangLimit.count());
