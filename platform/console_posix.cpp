#include "platform/console.h"

#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <unistd.h>

namespace platform {

namespace {

sigset_t TerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

void WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        done += static_cast<size_t>(put);
    }
}

}  // namespace

void PrepareForTermination() {
    std::signal(SIGPIPE, SIG_IGN);
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
    WriteAll(STDOUT_FILENO, utf8);
}

void WriteStderr(const std::string& utf8) {
    WriteAll(STDERR_FILENO, utf8);
}

}  // namespace platform
