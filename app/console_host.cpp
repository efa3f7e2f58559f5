#include "app/console_host.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

#include "app/start_check.h"
#include "common/folders.h"
#include "common/port.h"
#include "common/text.h"
#include "platform/console.h"
#include "platform/network_names.h"
#include "platform/sockets.h"
#include "server/server.h"
#include "ui/other_devices.h"
#include "ui/terminal_qr.h"

namespace {

// A port of the environment, or 0 when the value is not a whole number from 1 to 65535.
unsigned PortFromEnvironment() {
    const char* value = std::getenv("PELLWICK_PORT");
    if (value == nullptr) return 0;
    std::string_view text(value);
    unsigned port = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) return 0;
    return port;
}

void PrintErrorBox(platform::WindowHandle, const std::wstring& text, const std::wstring& caption) {
    platform::WriteStderr(WideToUtf8(caption) + "\n" + WideToUtf8(text) + "\n");
}

std::string ServingReport() {
    // A URL leaves out HTTPS's own port, whatever port this build listens on.
    constexpr int kHttpsSchemePort = 443;
    std::string url = "https://localhost/";
    if (ListeningPort() != kHttpsSchemePort) url = "https://localhost:" + std::to_string(ListeningPort()) + "/";
    return "Web Root:    " + WideToUtf8(serverState.webRoot) + "\n" +
           "Certificate: " + WideToUtf8(serverState.certPath) + "\n" +
           "Key:         " + WideToUtf8(serverState.keyPath) + "\n" +
           "Log file:    " + WideToUtf8(GetLogFilePath()) + "\n" +
           "Serving " + url + "\n";
}

// The addresses another device can open, as the adapters and the certificate in the
// program's folder are now, with the QR codes of those the certificate holds.
std::string OtherDevicesText() {
    const std::vector<platform::NetworkAdapter> adapters = platform::NetworkAdapters();
    return OtherDevicesReport(CurrentAddressesForOtherDevices(GetExeFolder(), adapters, ListeningPort()),
                              AnyNetworkAdapterUp(adapters));
}

}  // namespace

int RunConsoleHost() {
    if (unsigned port = PortFromEnvironment()) SetListeningPort(static_cast<std::uint16_t>(port));
    // Before any thread exists, so that only the waiting main thread takes the signals.
    platform::PrepareForTermination();
    platform::StartNetworkForProcess();
    SetErrorBoxFunction(PrintErrorBox);
    CheckCertificatesBeforeStart(GetExeFolder(), nullptr, {PrintErrorBox});
    if (!StartServer(nullptr)) return 1;
    platform::WriteStdout(ServingReport() + "\n" + OtherDevicesText());
    platform::WaitForTermination();
    StopServer();
    return 0;
}
