#include "ui/firewall_state.h"

#include <algorithm>

#include "common/text.h"

namespace {

using platform::FirewallRule;

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return AsciiLowerCaseText(a) == AsciiLowerCaseText(b);
}

// The number at `text[i]`, or -1; `i` moves past it.
long NumberAt(const std::wstring& text, std::size_t& i) {
    long value = -1;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9' && value < 65536; ++i) {
        value = (value < 0 ? 0 : value * 10) + (text[i] - L'0');
    }
    return value;
}

// "*", or a comma-separated list of ports and ranges ("80,443,8000-8100"). A keyword such
// as "RPC" names no port of ours.
bool PortsHold(const std::wstring& ports, std::uint16_t port) {
    if (ports == L"*") return true;
    std::size_t i = 0;
    while (i < ports.size()) {
        while (i < ports.size() && ports[i] == L' ') ++i;
        const long low = NumberAt(ports, i);
        long high = low;
        if (i < ports.size() && ports[i] == L'-') high = NumberAt(ports, ++i);
        if (low >= 0 && high >= low && port >= low && port <= high) return true;
        while (i < ports.size() && ports[i] != L',') ++i;
        ++i;
    }
    return false;
}

bool Applies(const FirewallRule& rule, std::uint32_t profile, const std::wstring& exePath, std::uint16_t port) {
    return rule.enabled && rule.inbound && (rule.profiles & profile) != 0 &&
           (rule.application.empty() || SamePath(rule.application, exePath)) &&
           (rule.protocol == 6 || rule.protocol == 256) && PortsHold(rule.localPorts, port);
}

FirewallVerdict ProfileVerdict(const platform::FirewallPolicy& policy, std::uint32_t profile,
                               const std::wstring& exePath, std::uint16_t port) {
    if ((policy.enabledProfiles & profile) == 0) return FirewallVerdict::Off;
    bool allowed = false;
    for (const FirewallRule& rule : policy.rules) {
        if (!Applies(rule, profile, exePath, port)) continue;
        if (!rule.allow) return FirewallVerdict::BlockedByRule;
        allowed = true;
    }
    if (allowed) return FirewallVerdict::Allowed;
    if (profile == platform::kFirewallPublic) return FirewallVerdict::BlockedPublic;
    return profile == platform::kFirewallDomain ? FirewallVerdict::BlockedDomain : FirewallVerdict::BlockedPrivate;
}

}  // namespace

FirewallVerdict JudgeFirewall(const platform::FirewallPolicy& policy, const std::wstring& exePath,
                              std::uint16_t port) {
    if (!policy.readable) return FirewallVerdict::Unreadable;
    // Several networks can be current at once: the worst of them is what a phone may meet.
    // Without any, Windows treats the computer as on a Public network.
    const std::uint32_t current = policy.currentProfiles != 0 ? policy.currentProfiles : platform::kFirewallPublic;
    FirewallVerdict worst = FirewallVerdict::Off;
    for (std::uint32_t profile : {platform::kFirewallDomain, platform::kFirewallPrivate, platform::kFirewallPublic}) {
        if ((current & profile) != 0) worst = std::max(worst, ProfileVerdict(policy, profile, exePath, port));
    }
    return worst;
}

std::wstring FirewallLine(FirewallVerdict verdict) {
    switch (verdict) {
        case FirewallVerdict::Allowed:
            return L"Windows Firewall lets Pellwick in on this network.";
        case FirewallVerdict::Off:
            return L"Windows Firewall is off for this network: nothing blocks Pellwick.";
        case FirewallVerdict::BlockedByRule:
            return L"Windows Firewall blocks Pellwick: a rule blocks it on this network.";
        case FirewallVerdict::BlockedPublic:
            return L"Windows Firewall blocks Pellwick because this network is Public.";
        case FirewallVerdict::BlockedDomain:
            return L"Windows Firewall blocks Pellwick because this network is a Domain network.";
        case FirewallVerdict::BlockedPrivate:
            return L"Windows Firewall blocks Pellwick on this network: no rule lets it in.";
        case FirewallVerdict::Unreadable:
            break;
    }
    return L"Windows Firewall: its settings could not be read.";
}
