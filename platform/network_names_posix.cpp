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

std::vector<IPv4Address> InterfaceIPv4Addresses() {
    std::vector<IPv4Address> addresses;
    ifaddrs* first = nullptr;
    if (getifaddrs(&first) != 0) return addresses;
    const std::unique_ptr<ifaddrs, InterfacesFree> list(first);
    for (const ifaddrs* entry = first; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        if ((entry->ifa_flags & IFF_UP) == 0) continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&address->sin_addr);
        addresses.push_back({bytes[0], bytes[1], bytes[2], bytes[3]});
    }
    return addresses;
}

}  // namespace platform
