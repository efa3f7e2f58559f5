#include "platform/threads.h"

#include <malloc.h>
#include <process.h>
#include <windows.h>

namespace platform {

namespace {

struct ThreadStart {
    ThreadBody body;
    void* argument;
};

unsigned __stdcall RunThread(void* raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.body(start.argument);
    return 0;
}

}  // namespace

bool StartDetachedThread(ThreadBody body, void* argument, std::size_t stackBytes) {
    auto* start = new ThreadStart{body, argument};
    // Without STACK_SIZE_PARAM_IS_A_RESERVATION the size would be committed at once.
    uintptr_t thread = _beginthreadex(nullptr, static_cast<unsigned>(stackBytes), RunThread, start,
                                      STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == 0) {
        delete start;
        return false;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

void WaitWhileEqual(std::atomic<unsigned>& word, unsigned value) {
    static_assert(sizeof(std::atomic<unsigned>) == sizeof(unsigned) && std::atomic<unsigned>::is_always_lock_free);
    WaitOnAddress(&word, &value, sizeof value, INFINITE);
}

void WakeOneWaiter(std::atomic<unsigned>& word) {
    WakeByAddressSingle(&word);
}

unsigned UsableProcessorCount() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
    unsigned count = 0;
    for (; process != 0; process &= process - 1) ++count;
    return count;
}

void PrepareAllocatorForThreads() {
    // The Windows heap needs no preparation: ReleaseFreeMemory does all.
}

void ReleaseFreeMemory() {
    // An ended thread's stack is released by the system; what a flood leaves is free
    // blocks in the runtime's heap, which a compaction decommits.
    HeapCompact(reinterpret_cast<HANDLE>(_get_heap_handle()), 0);
}

}  // namespace platform
