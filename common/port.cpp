#include "common/port.h"

#include <atomic>

namespace {

std::atomic<std::uint16_t> listeningPort{HTTPS_PORT};

}  // namespace

std::uint16_t ListeningPort() {
    return listeningPort.load();
}

void SetListeningPort(std::uint16_t port) {
    listeningPort.store(port);
}

std::wstring PortText() {
    return std::to_wstring(ListeningPort());
}
