#include "platform/process.h"

#include <windows.h>

namespace platform {

bool RaiseDescriptorLimit(std::uint64_t&, std::uint32_t&) {
    return true;
}

void EndProcessNow(int exitCode) {
    // Not ExitProcess: it would first stop the other threads and then still call every
    // DLL's detach and the C runtime's exit callbacks, while a stopped thread may hold
    // their locks (the heap's, the runtime's, OpenSSL's), so the exit could hang or crash.
    if (!TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode))) ExitProcess(static_cast<UINT>(exitCode));
    // The termination may still be under way when the call returns: this thread waits for it.
    for (;;) Sleep(INFINITE);
}

}  // namespace platform
