#include <cerrno>
#include <string>
#include <sys/resource.h>

#include "app/console_host.h"
#include "common/text.h"
#include "platform/console.h"
#include "platform/error_text.h"

namespace {

// Each connection holds a descriptor, and the usual soft limit of 1024 lets a crowd of
// idle connections lock every other client out: the soft limit goes up to the hard limit,
// as servers do. Only a failure is worth a word in the startup output.
void RaiseDescriptorLimit() {
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    if (limit.rlim_cur == limit.rlim_max) return;
    const rlim_t before = limit.rlim_cur;
    limit.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &limit) == 0) return;
    const int error = errno;
    platform::WriteStderr("The limit of open files stays at " + std::to_string(before) + ": setrlimit() failed: " +
                          WideToUtf8(platform::SystemErrorText(static_cast<std::uint32_t>(error))) + "\n");
}

}  // namespace

int main() {
    RaiseDescriptorLimit();
    return RunConsoleHost();
}
