// The names a server certificate gives this computer: its host names as a certificate may
// hold them, and its private IPv4 addresses.
#pragma once

#include <string>
#include <vector>

#include "platform/network_names.h"

struct ComputerNames {
    std::vector<std::string> dnsNames;   // lower case ASCII: the system's names, then NAME.local
    std::vector<std::string> addresses;  // dotted private IPv4 addresses (10/8, 172.16/12, 192.168/16)
};

// What a server certificate holds of those names, as the addresses for other devices are
// marked by it: `pairNames` the names the pair holds, `namesOutside` the computer's names
// that its authority does not permit, `authorityCanRenew` false when no start renews the
// pair for what it lacks, and `userPair` true when the pair is one the user placed, which
// no start and no new authority touches.
struct CertificateNames {
    std::vector<std::string> pairNames;
    std::vector<std::string> namesOutside;
    bool authorityCanRenew = true;
    bool userPair = false;
};

// The names of `systemNames` that are ASCII host names (lower-cased, each once, without
// "localhost"), then NAME.local for each single-label one; the private addresses of
// `systemAddresses`, dotted, each once. Names with other characters are left out: a
// certificate holds them only as IDNA, which the system's names are not.
ComputerNames CertificateNamesFor(const std::vector<std::wstring>& systemNames,
                                  const std::vector<platform::IPv4Address>& systemAddresses);

// True for an address in 10/8, 172.16/12 or 192.168/16.
bool IsPrivateIPv4(const platform::IPv4Address& address);

// The address as dotted text ("192.168.1.20").
std::string DottedIPv4(const platform::IPv4Address& address);

// The IPv4 addresses of the adapters that are up, in their order.
std::vector<platform::IPv4Address> AddressesOfAdaptersUp(const std::vector<platform::NetworkAdapter>& adapters);

// CertificateNamesFor the system's names and the addresses of its adapters that are up, now.
ComputerNames CurrentComputerNames();
