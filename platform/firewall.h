// Windows Firewall's policy as INetFwPolicy2 reports it, read only: Pellwick changes
// nothing in it and needs no administrator rights to read it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The profile bits (NET_FW_PROFILE2_DOMAIN, _PRIVATE, _PUBLIC).
inline constexpr std::uint32_t kFirewallDomain = 1;
inline constexpr std::uint32_t kFirewallPrivate = 2;
inline constexpr std::uint32_t kFirewallPublic = 4;

struct FirewallRule {
    bool enabled = false;
    bool inbound = false;
    bool allow = false;              // false: a block rule
    std::uint32_t profiles = 0;      // the profile bits it applies to
    std::wstring application;        // the program's path; empty: any program
    int protocol = 256;              // 6 TCP, 17 UDP, 256 any
    std::wstring localPorts = L"*";  // "*", "443", "80,443", "8000-8100"
};

struct FirewallPolicy {
    bool readable = false;               // false: nothing below is known
    std::uint32_t currentProfiles = 0;   // the profiles of the networks the computer is on
    std::uint32_t enabledProfiles = 0;   // the profiles for which the firewall is on
    std::vector<FirewallRule> rules;
};

// The policy now. Windows: INetFwPolicy2 (readable is false when it cannot be created or
// answers with an error, as Wine's does). POSIX: not readable.
FirewallPolicy ReadFirewallPolicy();

}  // namespace platform
