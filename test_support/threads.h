// What a test can learn from the system about one of its threads.
#pragma once

// The calling thread's number as the system gives it (Linux: its task id).
long CurrentSystemThreadId();

// True where the system tells a test that one of its threads sleeps (Linux: /proc); false
// where it does not (Windows, where no call gives a thread's state so simply).
bool SystemTellsWhenThreadsSleep();

// True once the system reports the thread as asleep (blocked on a lock, for one); false
// when it does not before kHangLimit, or when this platform does not tell.
bool WaitUntilThreadSleeps(long systemThreadId);
