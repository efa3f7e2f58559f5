#include <chrono>
#include <string>
#include <thread>
#include <unistd.h>

#include "test_support/temp_folder.h"
#include "test_support/threads.h"
#include "test_support/wait_limit.h"

long CurrentSystemThreadId() {
    return static_cast<long>(gettid());
}

bool SystemTellsWhenThreadsSleep() {
    return true;
}

// The third field of /proc/self/task/<id>/stat is the task's state: "S" while it sleeps
// in the kernel, as a thread that waits for a futex does.
bool WaitUntilThreadSleeps(long systemThreadId) {
    const std::string stat = "/proc/self/task/" + std::to_string(systemThreadId) + "/stat";
    const auto giveUp = std::chrono::steady_clock::now() + kHangLimit;
    while (std::chrono::steady_clock::now() < giveUp) {
        const std::string content = ReadFileBytes(stat);
        const std::size_t name = content.rfind(')');
        if (name != std::string::npos && content.compare(name, 4, ") S ") == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}
