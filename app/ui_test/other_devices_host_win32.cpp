// The window for other devices as the scenario tests see it: the real window, given a fixed
// list of adapters instead of the machine's (Wine shows the Linux host's interfaces), and a
// pair made next to this program for all of them but one, whose address is therefore
// listed without a code. With /noadapters the list is empty, as on a computer without any.
// The programs the window would start are written, one command line a line, to
// started.txt beside it instead.
#include <windows.h>

#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "certificates/certificate_maker.h"
#include "common/port.h"
#include "common/text.h"
#include "platform/folders.h"
#include "ui/other_devices_win32.h"

namespace {

using platform::AdapterType;

const std::vector<platform::NetworkAdapter> kAdapters = {
    {L"vEthernet (WSL)", L"Hyper-V Virtual Ethernet Adapter", AdapterType::Ethernet, true, {{172, 20, 16, 1}}},
    {L"Wi-Fi", L"Intel(R) Wi-Fi 6 AX201 160MHz", AdapterType::Wireless, true, {{192, 168, 1, 20}}},
    {L"Ethernet 2", L"Realtek USB GbE Family Controller", AdapterType::Ethernet, false, {{10, 9, 9, 9}}},
    {L"Loopback Pseudo-Interface 1", L"Software Loopback Interface 1", AdapterType::Loopback, true, {{127, 0, 0, 1}}},
    {L"Ethernet", L"Realtek PCIe GbE Family Controller", AdapterType::Ethernet, true, {{10, 0, 0, 7}}},
};

// The adapter the pair is not made for: its address waits for the next server start.
constexpr std::size_t kAdapterLeftOut = 4;

std::wstring folder;

void RecordStart(const std::wstring& commandLine) {
    std::ofstream((folder + L"\\started.txt").c_str(), std::ios::app | std::ios::binary)
        << WideToUtf8(commandLine) << "\n";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
    folder = platform::ExecutableFolder();
    const bool noAdapters = std::wstring(arguments) == L"/noadapters";
    const std::vector<platform::NetworkAdapter> adapters =
        noAdapters ? std::vector<platform::NetworkAdapter>{} : kAdapters;
    std::vector<platform::NetworkAdapter> madeFor = adapters;
    if (!noAdapters) madeFor.erase(madeFor.begin() + static_cast<std::ptrdiff_t>(kAdapterLeftOut));
    CertificateRequest request;
    request.folder = folder;
    request.computer = CertificateNamesFor(platform::ComputerNames(), AddressesOfAdaptersUp(madeFor));
    request.now = std::time(nullptr);
    if (CheckCertificates(request).outcome != CertificateOutcome::Made) return 2;
    SetProgramStarterForTests(RecordStart);
    return RunOtherDevicesWindow(instance, {folder, adapters, HTTPS_PORT});
}
