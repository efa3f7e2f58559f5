#include "platform/console.h"

#include <csignal>
#include <pthread.h>
#include <unistd.h>

#include "platform/descriptors_posix.h"

namespace platform {

namespace {

sigset_t TerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    // A closed terminal ends the host as a kill does, with its last line written.
    sigaddset(&signals, SIGHUP);
    return signals;
}

}  // namespace

void PrepareForTermination() {
    IgnoreBrokenPipe();
    sigset_t signals = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForTermination() {
    sigset_t signals = TerminationSignals();
    int received = 0;
    while (sigwait(&signals, &received) != 0) {
    }
}

void WriteStdout(const std::string& utf8) {
    WriteAllBytes(STDOUT_FILENO, utf8);
}

void WriteStderr(const std::string& utf8) {
    WriteAllBytes(STDERR_FILENO, utf8);
}

}  // namespace platform
