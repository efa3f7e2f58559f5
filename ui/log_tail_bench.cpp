// How long the log viewer's tail takes on a large log, against reading the whole file.
// Usage: log_tail_bench [size in MiB, default 1024]. Prints figures; a slow machine only
// shows larger ones. Exits 1 only when the two readings disagree.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "test_support/temp_folder.h"
#include "ui/log_tail.h"
#include "ui/log_tail_reference.h"

namespace {

namespace fs = std::filesystem;

// Access lines as the server writes them, about 60 bytes each, with varied clients,
// targets and statuses.
void WriteLog(const fs::path& file, std::uint64_t bytes) {
    static const char* const clients[] = {"127.0.0.1", "192.168.1.20", "::1", "10.0.0.7"};
    static const char* const requests[] = {"GET /", "GET /index.html", "HEAD /a.txt", "GET /img/logo.png"};
    static const int statuses[] = {200, 200, 404, 405};
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::string chunk;
    std::uint64_t written = 0;
    char line[128];
    for (unsigned n = 0; written < bytes; ++n) {
        int length = std::snprintf(line, sizeof line, "2026-01-16 %02u:%02u:%02u.%03u [ACCESS] %s \"%s\" %d\r\n",
                                   n / 3600000 % 24, n / 60000 % 60, n / 1000 % 60, n % 1000, clients[n % 4],
                                   requests[n / 4 % 4], statuses[n / 16 % 4]);
        chunk.append(line, static_cast<std::size_t>(length));
        written += static_cast<std::uint64_t>(length);
        if (chunk.size() >= (4u << 20) || written >= bytes) {
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            chunk.clear();
        }
    }
}

// The median of `runs` timings of `read`, in milliseconds; its last result in `lines`.
template <typename Read>
double MedianMs(int runs, Read read, std::vector<std::string>& lines) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        lines = read();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    if (mib == 0) mib = 1024;
    TempFolder temp;
    const fs::path file = temp.path() / "Pellwick.log";
    std::printf("writing a log of %llu MiB ...\n", static_cast<unsigned long long>(mib));
    WriteLog(file, mib << 20);

    std::vector<std::string> tail, whole;
    double tailMs = MedianMs(10, [&] { return ReadLogTail(file.wstring()); }, tail);
    double wholeMs = MedianMs(3, [&] { return ReadLogTailFrontToBack(file); }, whole);

    std::printf("%-32s %6s %12s\n", "reading", "runs", "median ms");
    std::printf("%-32s %6d %12.3f\n", "ReadLogTail (from the end)", 10, tailMs);
    std::printf("%-32s %6d %12.1f\n", "whole file, front to back", 3, wholeMs);
    std::printf("file %llu bytes, %zu lines shown, results %s\n",
                static_cast<unsigned long long>(fs::file_size(file)), tail.size(),
                tail == whole ? "equal" : "DIFFERENT");
    return tail == whole ? 0 : 1;
}
