// What the "Other devices" window says, without the window: the addresses another device
// can open, whether the server certificate holds each, and what Windows Firewall does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "certificates/names.h"
#include "platform/network_names.h"

// "https://HOST/", with ":PORT" only when the port is not 443.
std::wstring DeviceUrl(const std::string& host, std::uint16_t port);

// Whether the server certificate can be checked for the address.
enum class CertificateCover {
    Holds,              // the pair holds it: a QR code is drawn
    AfterNextStart,     // the authority permits it: the next start renews the pair for it
    NeedsNewAuthority,  // outside the authority: only /newauthority and a new trust step help
    NotInUsersPair,     // the pair is the user's own: only another pair of theirs can hold it
};

struct DeviceAddress {
    std::wstring url;
    std::string host;          // the name or dotted address in the URL
    std::wstring adapter;      // the adapter's name; empty for the computer's names
    bool virtualAdapter = false;  // a VPN's, a tunnel's or a virtual machine's
    CertificateCover cover = CertificateCover::Holds;
};

// True for an adapter that a phone on the same network usually cannot reach: a VPN, a
// tunnel, or a virtual machine's or container's switch, by its type or its description.
bool IsVirtualAdapter(const platform::NetworkAdapter& adapter);

// True when an adapter other than loopback is up.
bool AnyNetworkAdapterUp(const std::vector<platform::NetworkAdapter>& adapters);

// The addresses to show, in this order: NAME.local and the computer's fully qualified DNS
// name (`computer.dnsNames`, as the certificate names them), then https://A.B.C.D/ for each
// private IPv4 address of an adapter that is up, the virtual adapters' last; loopback,
// link-local and public addresses are left out. Each is marked by what the server
// certificate holds (`certificate`, see CertificateNames).
std::vector<DeviceAddress> AddressesForOtherDevices(const ComputerNames& computer,
                                                    const std::vector<platform::NetworkAdapter>& adapters,
                                                    std::uint16_t port, const CertificateNames& certificate);

// AddressesForOtherDevices for these adapters as things are now: the computer's names as the
// system gives them, with its addresses from the same adapters, and what the server
// certificate in `folder` holds (CertificateNamesForDevices).
std::vector<DeviceAddress> CurrentAddressesForOtherDevices(const std::wstring& folder,
                                                           const std::vector<platform::NetworkAdapter>& adapters,
                                                           std::uint16_t port);

// The marks of an address, each a phrase, in this order: that its adapter is virtual, and
// what the certificate lacks of it; none for a name of the computer the pair holds.
std::vector<std::wstring> AddressMarks(const DeviceAddress& address);

// What the window's line says after the URL: the adapter, then the marks.
std::wstring AddressNote(const DeviceAddress& address);

// The short steps to trust Pellwick's authority on another device, as the README gives them.
extern const wchar_t kTrustStepsText[];

// What opens Windows' own page for letting a program through the firewall: Control Panel's
// "Allow an app through Windows Firewall", which needs no administrator rights to look at.
inline constexpr wchar_t kFirewallSettingsCommand[] =
    L"control.exe /name Microsoft.WindowsFirewall /page pageConfigureApps";
