#include "platform/threads.h"

#include <malloc.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

namespace platform {

namespace {

struct ThreadStart {
    ThreadBody body;
    void* argument;
};

void* RunThread(void* raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.body(start.argument);
    return nullptr;
}

// The attributes of one thread start, released in one place.
struct ThreadAttributes {
    pthread_attr_t attributes;
    bool made = pthread_attr_init(&attributes) == 0;
    ~ThreadAttributes() {
        if (made) pthread_attr_destroy(&attributes);
    }
};

}  // namespace

bool StartDetachedThread(ThreadBody body, void* argument, std::size_t stackBytes) {
    ThreadAttributes holder;
    if (!holder.made) return false;
    // glibc keeps the stacks of ended threads for the next ones only up to about 40 MiB in
    // all: with the default 8 MiB stack a few dozen live connections already make every
    // new thread map, fault in and unmap a stack of its own.
    long minimum = PTHREAD_STACK_MIN;
    if (minimum > 0 && stackBytes < static_cast<std::size_t>(minimum)) {
        stackBytes = static_cast<std::size_t>(minimum);
    }
    if (pthread_attr_setstacksize(&holder.attributes, stackBytes) != 0) return false;
    if (pthread_attr_setdetachstate(&holder.attributes, PTHREAD_CREATE_DETACHED) != 0) return false;
    auto* start = new ThreadStart{body, argument};
    pthread_t thread;
    if (pthread_create(&thread, &holder.attributes, RunThread, start) != 0) {
        delete start;
        return false;
    }
    return true;
}

void WaitWhileEqual(std::atomic<unsigned>& word, unsigned value) {
    word.wait(value);
}

void WakeOneWaiter(std::atomic<unsigned>& word) {
    word.notify_one();
}

unsigned UsableProcessorCount() {
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0) {
        return static_cast<unsigned>(CPU_COUNT(&allowed));
    }
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1;
}

void PrepareAllocatorForThreads() {
    // A thread's last frees are small blocks; glibc parks those in its "fast" lists
    // without merging them, and only a large free that merges with the top of a thread's
    // arena returns the arena's empty top to the system, which malloc_trim() never does
    // for these arenas. Without the fast lists every free merges at once, and an arena
    // that a burst of threads has emptied shrinks.
    mallopt(M_MXFAST, 0);
}

void ReleaseFreeMemory() {
    // glibc gives back only the top of each arena by itself; freed pages between live
    // blocks stay resident until a trim.
    malloc_trim(0);
}

}  // namespace platform
