// The flood benchmark, run by bench/flood.sh against a running console host: opens many
// silent connections, and prints the host's threads and resident memory before, during and
// after them, and how long a normal request takes meanwhile. It prints figures and fails
// only when the host stops answering.
//
//   flood_bench <port> <host pid> <connections>...
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "server/e2e/tls_client.h"

namespace {

struct HostFigures {
    long threads = 0;
    long residentKiB = 0;
};

HostFigures ReadHost(int pid) {
    HostFigures figures;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "Threads:" && status >> value) figures.threads = value;
        if (key == "VmRSS:" && status >> value) figures.residentKiB = value;
    }
    return figures;
}

// Milliseconds of one whole request for the small file, or -1 when it got no 200.
double TimedRequest(int port) {
    auto start = std::chrono::steady_clock::now();
    std::string reply = TlsExchange(port, "GET /index.html HTTP/1.1\r\nHost: localhost\r\n\r\n");
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return reply.rfind("HTTP/1.1 200 ", 0) == 0 ? took.count() : -1;
}

// The median and the slowest of five requests; -1 when one failed.
std::pair<double, double> RequestTimes(int port) {
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        double took = TimedRequest(port);
        if (took < 0) return {-1, -1};
        times.push_back(took);
    }
    std::sort(times.begin(), times.end());
    return {times[2], times.back()};
}

// Polls the host until its thread count is at most `threads` and its resident memory has
// stopped changing, or the time is up.
HostFigures WaitUntilSettled(int pid, long threads) {
    HostFigures last = ReadHost(pid);
    for (int wait = 0; wait < 300; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        HostFigures now = ReadHost(pid);
        if (now.threads <= threads && now.residentKiB == last.residentKiB) return now;
        last = now;
    }
    return last;
}

double MiB(long kib) {
    return static_cast<double>(kib) / 1024.0;
}

void PrintRow(const char* what, const HostFigures& host, std::pair<double, double> request) {
    std::printf("| %-30s | %7ld | %12.1f | %10.2f | %12.2f |\n", what, host.threads, MiB(host.residentKiB),
                request.first, request.second);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: flood_bench <port> <host pid> <connections>...\n");
        return 2;
    }
    int port = std::stoi(argv[1]);
    int pid = std::stoi(argv[2]);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    std::printf("Descriptor limit of this client: %llu\n\n", static_cast<unsigned long long>(limit.rlim_cur));
    std::printf("| %-30s | Threads | Resident MiB | Request ms | Slowest ms   |\n", "Host");
    std::printf("|%s|---------|--------------|------------|--------------|\n", std::string(32, '-').c_str());

    HostFigures before = WaitUntilSettled(pid, ReadHost(pid).threads);
    PrintRow("before", before, RequestTimes(port));
    for (int arg = 3; arg < argc; ++arg) {
        int count = std::stoi(argv[arg]);
        std::vector<int> silent;
        for (int i = 0; i < count; ++i) {
            int fd = ConnectSilently(port);
            if (fd < 0) break;
            silent.push_back(fd);
        }
        // Every accepted connection has its thread once the count stops growing.
        HostFigures during = ReadHost(pid);
        for (int wait = 0; wait < 300 && during.threads < before.threads + static_cast<long>(silent.size()); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            during = ReadHost(pid);
        }
        std::string label = std::to_string(silent.size()) + " of " + std::to_string(count) + " idle open";
        PrintRow(label.c_str(), during, RequestTimes(port));
        for (int fd : silent) close(fd);
        HostFigures after = WaitUntilSettled(pid, before.threads);
        label = "after those " + std::to_string(silent.size()) + " closed";
        PrintRow(label.c_str(), after, RequestTimes(port));
    }
    return 0;
}
