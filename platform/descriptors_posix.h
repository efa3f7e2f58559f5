// POSIX only: what more than one of the platform's POSIX files needs of a descriptor.
#pragma once

#include <string_view>

namespace platform {

// Writes all bytes to the descriptor, going on after a signal cut a write short. False
// when a write failed before everything was written.
bool WriteAllBytes(int fd, std::string_view bytes);

// A peer or a reader that goes away while the process writes to it must cost that one
// write, not the process: SIGPIPE is ignored from then on.
void IgnoreBrokenPipe();

}  // namespace platform
