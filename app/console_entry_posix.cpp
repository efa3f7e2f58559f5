#include <string>

#include "app/console_host.h"
#include "common/event_log.h"
#include "common/text.h"
#include "platform/console.h"
#include "platform/error_text.h"
#include "platform/process.h"

namespace {

// Only a failure is worth a word in the startup output.
void RaiseDescriptorLimit() {
    std::uint64_t kept = 0;
    std::uint32_t error = 0;
    if (platform::RaiseDescriptorLimit(kept, error)) return;
    platform::WriteStderr("The limit of open files stays at " + std::to_string(kept) + ": setrlimit() failed: " +
                          WideToUtf8(platform::SystemErrorText(error)) + "\n");
}

}  // namespace

int main() {
    RaiseDescriptorLimit();
    // Not a return: connection threads broken off by the stop may still be running.
    EndProcessWithTheLogWhole(RunConsoleHost());
}
