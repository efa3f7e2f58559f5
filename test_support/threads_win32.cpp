#include <windows.h>

#include "test_support/threads.h"

long CurrentSystemThreadId() {
    return static_cast<long>(GetCurrentThreadId());
}

bool SystemTellsWhenThreadsSleep() {
    return false;
}

bool WaitUntilThreadSleeps(long) {
    return false;
}
