#include "app/test_host/parking_host.h"

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>
#include <thread>

#include "app/console_host.h"
#include "common/event_log.h"
#include "common/folders.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace {

std::atomic<bool> stopLogged{false};
std::atomic<bool> parked{false};
std::atomic<bool> exitBegun{false};

void Nap() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Called with the log's lock held. The parked line waits for the stop's own line outside
// the lock (the stop needs it), then writes its first half and keeps the lock until the
// process has begun to end.
bool ParkingWriter(const std::wstring& path, std::string_view bytes) {
    if (bytes.find("\"GET /park.bin\"") == std::string_view::npos) {
        bool written = platform::AppendToFile(path, bytes);
        if (bytes.find(" [INFO] Server stopped") != std::string_view::npos) stopLogged = true;
        return written;
    }
    while (!stopLogged) {
        logMutex.unlock();
        Nap();
        logMutex.lock();
    }
    const std::size_t half = bytes.size() / 2;
    platform::AppendToFile(path, bytes.substr(0, half));
    parked = true;
    while (!exitBegun) Nap();
    return platform::AppendToFile(path, bytes.substr(half));
}

}  // namespace

void RunParkingHost() {
    SetLogWriter(ParkingWriter);
    const int code = RunConsoleHost();
    if (platform::PathExists(GetWebRootFolder() + L"park.bin")) {
        while (!parked) Nap();
    }
    exitBegun = true;
    EndProcessWithTheLogWhole(code);
}
