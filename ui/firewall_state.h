// What Windows Firewall does with Pellwick on the current network, judged from what the
// firewall's policy reports: the current profiles, whether the firewall is on for each,
// and the inbound rules. Pure: the reading is in platform/firewall.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/firewall.h"

// From the best to the worst: of several current networks, the worst one counts.
enum class FirewallVerdict {
    Off,             // the firewall is off for the current network
    Allowed,         // an enabled inbound allow rule lets Pellwick in on every current profile
    BlockedPrivate,  // no rule lets it in on this Private network
    BlockedDomain,   // no rule lets it in, and the network is a Domain one
    BlockedPublic,   // no rule lets it in, and the network is Public
    BlockedByRule,   // an enabled inbound block rule for Pellwick (block wins over allow)
    Unreadable,      // the policy could not be read
};

// The verdict for the program at `exePath` listening on TCP `port`.
FirewallVerdict JudgeFirewall(const platform::FirewallPolicy& policy, const std::wstring& exePath,
                              std::uint16_t port);

// The one line the window shows for the verdict.
std::wstring FirewallLine(FirewallVerdict verdict);
