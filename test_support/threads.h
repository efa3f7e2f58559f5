// What a test can learn from the system about one of its threads.
#pragma once

// The calling thread's number as the system gives it (Linux: its task id).
long CurrentSystemThreadId();

// True once the system reports the thread as asleep (blocked on a lock, for one); false
// when it does not before kHangLimit, or when this platform does not tell (Windows).
bool WaitUntilThreadSleeps(long systemThreadId);
