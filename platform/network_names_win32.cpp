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

namespace {

AdapterType TypeOf(IFTYPE type) {
    switch (type) {
        case IF_TYPE_ETHERNET_CSMACD:
            return AdapterType::Ethernet;
        case IF_TYPE_IEEE80211:
            return AdapterType::Wireless;
        case IF_TYPE_SOFTWARE_LOOPBACK:
            return AdapterType::Loopback;
        case IF_TYPE_TUNNEL:
        case IF_TYPE_PPP:
            return AdapterType::Tunnel;
        case IF_TYPE_PROP_VIRTUAL:
            return AdapterType::Virtual;
        default:
            return AdapterType::Other;
    }
}

}  // namespace

std::vector<NetworkAdapter> NetworkAdapters() {
    std::vector<NetworkAdapter> adapters;
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
    if (status != NO_ERROR) return adapters;
    for (auto* entry = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); entry != nullptr;
         entry = entry->Next) {
        NetworkAdapter adapter;
        adapter.name = entry->FriendlyName != nullptr ? entry->FriendlyName : L"";
        adapter.description = entry->Description != nullptr ? entry->Description : L"";
        adapter.type = TypeOf(entry->IfType);
        adapter.up = entry->OperStatus == IfOperStatusUp;
        for (auto* unicast = entry->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) continue;
            const auto* bytes = reinterpret_cast<const unsigned char*>(
                &reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
            adapter.addresses.push_back({bytes[0], bytes[1], bytes[2], bytes[3]});
        }
        adapters.push_back(std::move(adapter));
    }
    return adapters;
}

}  // namespace platform
