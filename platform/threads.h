// Threads: the connection threads' start with a stack of a chosen size, and giving the
// memory that many ended threads leave behind back to the system.
#pragma once

#include <atomic>
#include <cstddef>

namespace platform {

using ThreadBody = void (*)(void* argument);

// Starts a detached thread that runs body(argument) and then ends; nobody waits for it.
// Its stack holds stackBytes (raised to the system's minimum); on Windows that much
// address space is reserved and pages are committed only as the stack grows. False when
// no thread could be started: body never runs and the caller still owns argument.
bool StartDetachedThread(ThreadBody body, void* argument, std::size_t stackBytes);

// Blocks while `word` holds `value`; it may also return without a change, so callers look
// again. The word is woken through its address alone (a futex, WaitOnAddress): nothing is
// set up or torn down per wait, and on Windows none of the C++ runtime's POSIX thread
// emulation is used, which threads started by _beginthreadex must not call into (its
// condition variables record such a thread as one of its own).
void WaitWhileEqual(std::atomic<unsigned>& word, unsigned value);

// Wakes one thread that waits on the word; none waiting costs nothing. The word need not
// be alive any more: only its address is used.
void WakeOneWaiter(std::atomic<unsigned>& word);

// How many processors this process may run on (its affinity), at least 1.
unsigned UsableProcessorCount();

// Sets the allocator up for many short-lived threads, so that what they free can go back
// to the system. Called before the first connection thread starts; calling it again does
// no harm.
void PrepareAllocatorForThreads();

// Hands the allocator's free pages back to the system, so that the memory of a flood of
// connections does not stay with the process once they are gone. Costs a walk of the
// allocator's free lists: call it when a burst is over, not per request.
void ReleaseFreeMemory();

}  // namespace platform
