#include "platform/process.h"

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace platform {

bool RaiseDescriptorLimit(std::uint64_t& keptLimit, std::uint32_t& error) {
    rlimit limit;
    // A limit that cannot even be read is left as it is, without a word.
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return true;
    keptLimit = limit.rlim_cur;
    limit.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &limit) == 0) return true;
    error = static_cast<std::uint32_t>(errno);
    return false;
}

void EndProcessNow(int exitCode) {
    // Nothing of ours is buffered in the C library: standard output, standard error and
    // the log are written with write() directly.
    _exit(exitCode);
}

}  // namespace platform
