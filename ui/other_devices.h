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
// link-local and public addresses are left out. What the certificate holds of each comes
// from `certificate` (CertificateNamesForDevices of certificates/certificate_maker.h).
std::vector<DeviceAddress> AddressesForOtherDevices(const ComputerNames& computer,
                                                    const std::vector<platform::NetworkAdapter>& adapters,
                                                    std::uint16_t port, const CertificateNames& certificate);
