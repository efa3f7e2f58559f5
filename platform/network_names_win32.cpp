#include "platform/network_names.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <algorithm>

namespace platform {

namespace {

std::wstring ComputerNameOf(COMPUTER_NAME_FORMAT format) {
    DWORD size = 0;
    GetComputerNameExW(format, nullptr, &size);  // asks for the size, with the null
    if (size == 0) return L"";
    std::wstring name(size, L'\0');
    if (!GetComputerNameExW(format, name.data(), &size)) return L"";
    name.resize(size);
    return name;
}

}  // namespace

std::vector<std::wstring> ComputerNames() {
    std::vector<std::wstring> names;
    for (COMPUTER_NAME_FORMAT format : {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
        std::wstring name = ComputerNameOf(format);
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

std::vector<IPv4Address> InterfaceIPv4Addresses() {
    std::vector<IPv4Address> addresses;
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG status = ERROR_BUFFER_OVERFLOW;
    // The list can grow between the calls; a few tries are enough.
    for (int attempt = 0; attempt < 4 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        status = GetAdaptersAddresses(AF_INET, flags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (status != NO_ERROR) return addresses;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp) continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) continue;
            const auto* bytes = reinterpret_cast<const unsigned char*>(
                &reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
            addresses.push_back({bytes[0], bytes[1], bytes[2], bytes[3]});
        }
    }
    return addresses;
}

}  // namespace platform
