// What the "Other devices" window says, as tables: the addresses it lists and their order
// and marks, the URL for each port, and Windows Firewall's verdict from a policy.
#include "ui/other_devices.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "ui/firewall_state.h"

namespace {

using platform::AdapterType;
using platform::NetworkAdapter;

const ComputerNames kComputer = {{"pc-7", "pc-7.corp.example", "pc-7.local"}, {}};

TEST(OtherDevices, UrlsCarryThePortOnlyWhenItIsNot443) {
    EXPECT_EQ(DeviceUrl("pc-7.local", 443), L"https://pc-7.local/");
    EXPECT_EQ(DeviceUrl("192.168.1.20", 8443), L"https://192.168.1.20:8443/");
    EXPECT_EQ(DeviceUrl("10.0.0.1", 1), L"https://10.0.0.1:1/");
}

TEST(OtherDevices, AddressesShownInOrderWithTheirMarks) {
    const std::vector<NetworkAdapter> adapters = {
        {L"vEthernet (WSL)", L"Hyper-V Virtual Ethernet Adapter", AdapterType::Ethernet, true, {{172, 20, 16, 1}}},
        {L"Wi-Fi", L"Intel(R) Wi-Fi 6 AX201 160MHz", AdapterType::Wireless, true,
         {{192, 168, 1, 20}, {169, 254, 3, 4}, {8, 8, 4, 4}}},
        {L"Loopback", L"Software Loopback Interface 1", AdapterType::Loopback, true, {{127, 0, 0, 1}}},
        {L"Ethernet", L"Realtek PCIe GbE Family Controller", AdapterType::Ethernet, false, {{10, 0, 0, 5}}},
        {L"tun0", L"tun0", AdapterType::Tunnel, true, {{10, 8, 0, 2}}},
        {L"Ethernet 2", L"Realtek USB GbE Family Controller", AdapterType::Ethernet, true, {{10, 1, 2, 3}}},
    };
    CertificateNames certificate{{"localhost", "pc-7.local", "192.168.1.20", "172.20.16.1"}, {"pc-7.corp.example"}};
    struct Line {
        const wchar_t* url;
        const wchar_t* adapter;
        bool virtualAdapter;
        CertificateCover cover;
    };
    const Line expected[] = {
        {L"https://pc-7.local:8443/", L"", false, CertificateCover::Holds},
        {L"https://pc-7.corp.example:8443/", L"", false, CertificateCover::NeedsNewAuthority},
        {L"https://192.168.1.20:8443/", L"Wi-Fi", false, CertificateCover::Holds},
        {L"https://10.1.2.3:8443/", L"Ethernet 2", false, CertificateCover::AfterNextStart},
        {L"https://172.20.16.1:8443/", L"vEthernet (WSL)", true, CertificateCover::Holds},
        {L"https://10.8.0.2:8443/", L"tun0", true, CertificateCover::AfterNextStart},
    };
    std::vector<DeviceAddress> shown = AddressesForOtherDevices(kComputer, adapters, 8443, certificate);
    ASSERT_EQ(shown.size(), std::size(expected));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].url, expected[i].url) << i;
        EXPECT_EQ(shown[i].adapter, expected[i].adapter) << i;
        EXPECT_EQ(shown[i].virtualAdapter, expected[i].virtualAdapter) << i;
        EXPECT_EQ(shown[i].cover, expected[i].cover) << i;
    }
    EXPECT_TRUE(AnyNetworkAdapterUp(adapters));

    // An authority that only a new one can replace renews nothing: what the pair lacks needs it.
    certificate.authorityCanRenew = false;
    shown = AddressesForOtherDevices(kComputer, adapters, 443, certificate);
    EXPECT_EQ(shown[3].url, L"https://10.1.2.3/");
    EXPECT_EQ(shown[3].cover, CertificateCover::NeedsNewAuthority);

    // A pair the user placed: nothing Pellwick does adds what it lacks.
    certificate.userPair = true;
    shown = AddressesForOtherDevices(kComputer, adapters, 443, certificate);
    EXPECT_EQ(shown[2].cover, CertificateCover::Holds);
    EXPECT_EQ(shown[3].cover, CertificateCover::NotInUsersPair);
    EXPECT_EQ(shown[1].cover, CertificateCover::NotInUsersPair);

    // No adapter up (or none at all): the computer's names stay, no address is offered.
    const std::vector<NetworkAdapter> downOnly = {adapters[2], adapters[3]};
    for (const auto& list : {downOnly, std::vector<NetworkAdapter>{}}) {
        EXPECT_FALSE(AnyNetworkAdapterUp(list));
        shown = AddressesForOtherDevices(kComputer, list, 443, certificate);
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[0].url, L"https://pc-7.local/");
    }
}

TEST(OtherDevices, VirtualAdaptersAreToldByTypeOrDescription) {
    struct Case {
        NetworkAdapter adapter;
        bool isVirtual;
    };
    for (const Case& c : {
             Case{{L"Wi-Fi", L"Intel(R) Wi-Fi 6 AX201", AdapterType::Wireless, true, {}}, false},
             Case{{L"Ethernet", L"Realtek PCIe GbE Family Controller", AdapterType::Ethernet, true, {}}, false},
             Case{{L"eth0", L"eth0", AdapterType::Ethernet, true, {}}, false},
             Case{{L"VirtualBox Host-Only Network", L"VirtualBox Host-Only Ethernet Adapter", AdapterType::Ethernet,
                   true, {}},
                  true},
             Case{{L"VMware Network Adapter VMnet8", L"VMware Virtual Ethernet Adapter for VMnet8",
                   AdapterType::Ethernet, true, {}},
                  true},
             Case{{L"Local Area Connection", L"TAP-Windows Adapter V9", AdapterType::Ethernet, true, {}}, true},
             Case{{L"wg0", L"WireGuard Tunnel", AdapterType::Other, true, {}}, true},
             Case{{L"docker0", L"docker0", AdapterType::Ethernet, true, {}}, true},
             Case{{L"Teredo", L"Teredo Tunneling Pseudo-Interface", AdapterType::Tunnel, true, {}}, true},
             Case{{L"x", L"x", AdapterType::Virtual, true, {}}, true},
         }) {
        EXPECT_EQ(IsVirtualAdapter(c.adapter), c.isVirtual) << WideToUtf8(c.adapter.description);
    }
}

TEST(OtherDevices, FirewallVerdictFromProfilesAndRules) {
    using platform::FirewallPolicy;
    using platform::FirewallRule;
    const std::wstring exe = L"C:\\Users\\Ann\\AppData\\Local\\Programs\\Pellwick\\Pellwick.exe";
    constexpr std::uint32_t kPrivate = platform::kFirewallPrivate;
    constexpr std::uint32_t kPublic = platform::kFirewallPublic;
    constexpr std::uint32_t kAll = 7;
    const FirewallRule allowThis{true, true, true, kAll, L"c:\\users\\ann\\appdata\\local\\programs\\pellwick\\PELLWICK.EXE"};
    const FirewallRule allowOther{true, true, true, kAll, L"C:\\Other\\Other.exe"};
    const FirewallRule allowDisabled{false, true, true, kAll, exe};
    const FirewallRule allowPrivateOnly{true, true, true, kPrivate, exe};
    const FirewallRule blockThis{true, true, false, kPublic, exe};  // what the first-start prompt writes
    const FirewallRule allowPort{true, true, true, kAll, L"", 6, L"80,8000-8500"};
    const FirewallRule allowOtherPort{true, true, true, kAll, L"", 6, L"80,9000-9100"};
    const FirewallRule allowUdp{true, true, true, kAll, L"", 17, L"*"};
    const FirewallRule outbound{true, false, true, kAll, exe};
    struct Case {
        const char* what;
        FirewallPolicy policy;
        FirewallVerdict verdict;
    };
    for (const Case& c : {
             Case{"not readable (Wine)", {}, FirewallVerdict::Unreadable},
             Case{"off", {true, kPublic, 0, {}}, FirewallVerdict::Off},
             Case{"off for Private, on a Private network", {true, kPrivate, kPublic, {}}, FirewallVerdict::Off},
             Case{"allowed", {true, kPublic, kAll, {allowThis}}, FirewallVerdict::Allowed},
             Case{"a rule for another program", {true, kPublic, kAll, {allowOther}}, FirewallVerdict::BlockedPublic},
             Case{"a disabled rule", {true, kPrivate, kAll, {allowDisabled}}, FirewallVerdict::BlockedPrivate},
             Case{"a rule for another profile", {true, kPublic, kAll, {allowPrivateOnly}},
                  FirewallVerdict::BlockedPublic},
             Case{"the same rule on a Private network", {true, kPrivate, kAll, {allowPrivateOnly}},
                  FirewallVerdict::Allowed},
             Case{"block wins over allow", {true, kPublic, kAll, {allowThis, blockThis}},
                  FirewallVerdict::BlockedByRule},
             Case{"on, no rule, Private", {true, kPrivate, kAll, {}}, FirewallVerdict::BlockedPrivate},
             Case{"on, no rule, Domain", {true, platform::kFirewallDomain, kAll, {}}, FirewallVerdict::BlockedDomain},
             Case{"no current network counts as Public", {true, 0, kAll, {}}, FirewallVerdict::BlockedPublic},
             Case{"two networks: the worse counts", {true, kPrivate | kPublic, kAll, {allowPrivateOnly}},
                  FirewallVerdict::BlockedPublic},
             Case{"a TCP port rule for any program", {true, kPublic, kAll, {allowPort}}, FirewallVerdict::Allowed},
             Case{"a port rule for other ports", {true, kPublic, kAll, {allowOtherPort}},
                  FirewallVerdict::BlockedPublic},
             Case{"a UDP rule", {true, kPublic, kAll, {allowUdp}}, FirewallVerdict::BlockedPublic},
             Case{"an outbound rule", {true, kPublic, kAll, {outbound}}, FirewallVerdict::BlockedPublic},
         }) {
        EXPECT_EQ(JudgeFirewall(c.policy, exe, 8443), c.verdict) << c.what;
    }
    EXPECT_EQ(FirewallLine(FirewallVerdict::BlockedPublic),
              L"Windows Firewall blocks Pellwick because this network is Public.");
    EXPECT_EQ(FirewallLine(FirewallVerdict::Unreadable), L"Windows Firewall: its settings could not be read.");
}

}  // namespace
