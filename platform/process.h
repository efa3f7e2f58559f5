// The process: the limit of open descriptors, and its end while other threads still run.
#pragma once

#include <cstdint>

namespace platform {

// Raises the soft limit of open descriptors to the hard limit (POSIX), as servers do:
// each connection holds a descriptor, and the usual soft limit of 1024 lets a crowd of
// idle connections lock every other client out. False, with the limit that stays and the
// system's error code, only when the raise was refused; true otherwise (always on
// Windows, which has no such limit).
bool RaiseDescriptorLimit(std::uint64_t& keptLimit, std::uint32_t& error);

// Ends the process at once with the exit code, from any thread: no destructor of a
// process-wide record, no exit handler and no library's clean-up runs, and every other
// thread stops wherever it is (Windows: TerminateProcess of the process itself; POSIX:
// _exit). Whatever those threads hold is left as it is; the caller makes sure that is
// harmless. Open files are closed by the system.
[[noreturn]] void EndProcessNow(int exitCode);

}  // namespace platform
