// Console: what the console host needs to run until it is asked to stop.
#pragma once

#include <string>

namespace platform {

// Holds back the termination signals (POSIX: SIGINT, SIGTERM and SIGHUP, Windows: Ctrl+C
// and closing the console) so that WaitForTermination can take them. Call before any thread
// starts, so that every thread inherits this.
void PrepareForTermination();

// Blocks until the user or the system asks the process to end.
void WaitForTermination();

// Writes UTF-8 bytes to standard output or standard error, unchanged.
void WriteStdout(const std::string& utf8);
void WriteStderr(const std::string& utf8);

}  // namespace platform
