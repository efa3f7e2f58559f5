// Network names: what this computer is called, and the addresses it has, on the networks
// it is on, as the system reports them now (nothing is cached: both change).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The computer's names, unfiltered and in this order, each once and none empty. Windows:
// the NetBIOS name, the DNS host name and the fully qualified DNS name
// (GetComputerNameExW). POSIX: the host name (gethostname) and its canonical name
// (getaddrinfo with AI_CANONNAME), when that differs. Empty when the system has none.
std::vector<std::wstring> ComputerNames();

// An IPv4 address as its four bytes, in network order (the first is the 10 of 10.1.2.3).
using IPv4Address = std::array<std::uint8_t, 4>;

// What kind of link an adapter is, as the system tells it (Windows: IfType; POSIX: the
// interface's flags).
enum class AdapterType { Ethernet, Wireless, Loopback, Tunnel, Virtual, Other };

struct NetworkAdapter {
    std::wstring name;         // Windows: the friendly name ("Wi-Fi"); POSIX: the interface's ("wlan0")
    std::wstring description;  // Windows: the driver's description; POSIX: the interface's name
    AdapterType type = AdapterType::Other;
    bool up = false;
    std::vector<IPv4Address> addresses;
};

// The network adapters with their IPv4 addresses, loopback included, in the system's order
// (Windows: GetAdaptersAddresses; POSIX: getifaddrs). Empty when they cannot be listed.
std::vector<NetworkAdapter> NetworkAdapters();

}  // namespace platform
