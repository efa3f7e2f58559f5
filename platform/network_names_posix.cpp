#include "platform/network_names.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "platform/text.h"

namespace platform {

namespace {

struct InterfacesFree {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};
struct AddressInfoFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

void AddOnce(std::vector<std::wstring>& names, const std::string& name) {
    if (name.empty()) return;
    const std::wstring wide = Utf8ToWideText(name);
    if (std::find(names.begin(), names.end(), wide) == names.end()) names.push_back(wide);
}

}  // namespace

std::vector<std::wstring> ComputerNames() {
    std::vector<std::wstring> names;
    char host[256] = "";
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return names;
    AddOnce(names, host);
    // The canonical name is the fully qualified one where /etc/hosts or DNS gives it.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) == 0) {
        const std::unique_ptr<addrinfo, AddressInfoFree> list(found);
        if (found->ai_canonname != nullptr) AddOnce(names, found->ai_canonname);
    }
    return names;
}

std::vector<NetworkAdapter> NetworkAdapters() {
    std::vector<NetworkAdapter> adapters;
    ifaddrs* first = nullptr;
    if (getifaddrs(&first) != 0) return adapters;
    const std::unique_ptr<ifaddrs, InterfacesFree> list(first);
    // getifaddrs gives one entry per address (and one per link): gathered by name.
    for (const ifaddrs* entry = first; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr) continue;
        const std::wstring name = Utf8ToWideText(entry->ifa_name);
        auto adapter = std::find_if(adapters.begin(), adapters.end(), [&](const auto& a) { return a.name == name; });
        if (adapter == adapters.end()) adapter = adapters.insert(adapters.end(), NetworkAdapter{name, name, AdapterType::Other, false, {}});
        adapter->up = adapter->up || (entry->ifa_flags & IFF_UP) != 0;
        if ((entry->ifa_flags & IFF_LOOPBACK) != 0) {
            adapter->type = AdapterType::Loopback;
        } else if ((entry->ifa_flags & IFF_POINTOPOINT) != 0) {
            adapter->type = AdapterType::Tunnel;
        }
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        const auto* bytes =
            reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr);
        adapter->addresses.push_back({bytes[0], bytes[1], bytes[2], bytes[3]});
    }
    return adapters;
}

}  // namespace platform
