#include "certificates/names.h"

#include <algorithm>

#include "common/text.h"

namespace {

// A host name of ASCII letters, digits and hyphens in dot-separated labels of 1 to 63
// characters; the only kind a certificate may hold without IDNA.
bool IsAsciiHostName(const std::wstring& name) {
    if (name.empty() || name.size() > 253) return false;
    std::size_t label = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = name[i];
        if (c == L'.') {
            if (label == 0 || name[i - 1] == L'-') return false;
            label = 0;
            continue;
        }
        const bool letterOrDigit = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
        if (!letterOrDigit && (c != L'-' || label == 0)) return false;
        if (++label > 63) return false;
    }
    return label > 0 && name.back() != L'-';
}

// The name is an ASCII host name (IsAsciiHostName), so each character fits one byte.
std::string LowerAscii(const std::wstring& name) {
    std::string lower;
    for (wchar_t c : name) lower += static_cast<char>(AsciiLowerCase(c));
    return lower;
}

void AddOnce(std::vector<std::string>& list, const std::string& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

}  // namespace

bool IsPrivateIPv4(const platform::IPv4Address& a) {
    return a[0] == 10 || (a[0] == 172 && a[1] >= 16 && a[1] <= 31) || (a[0] == 192 && a[1] == 168);
}

std::string DottedIPv4(const platform::IPv4Address& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." + std::to_string(a[3]);
}

ComputerNames CertificateNamesFor(const std::vector<std::wstring>& systemNames,
                                  const std::vector<platform::IPv4Address>& systemAddresses) {
    ComputerNames names;
    std::vector<std::string> local;
    for (const std::wstring& name : systemNames) {
        if (!IsAsciiHostName(name)) continue;
        const std::string lower = LowerAscii(name);
        if (lower == "localhost") continue;
        AddOnce(names.dnsNames, lower);
        if (lower.find('.') == std::string::npos) AddOnce(local, lower + ".local");
    }
    for (const std::string& name : local) AddOnce(names.dnsNames, name);
    for (const platform::IPv4Address& address : systemAddresses) {
        if (IsPrivateIPv4(address)) AddOnce(names.addresses, DottedIPv4(address));
    }
    return names;
}

std::vector<platform::IPv4Address> AddressesOfAdaptersUp(const std::vector<platform::NetworkAdapter>& adapters) {
    std::vector<platform::IPv4Address> addresses;
    for (const platform::NetworkAdapter& adapter : adapters) {
        if (adapter.up) addresses.insert(addresses.end(), adapter.addresses.begin(), adapter.addresses.end());
    }
    return addresses;
}

ComputerNames CurrentComputerNames() {
    return CertificateNamesFor(platform::ComputerNames(), AddressesOfAdaptersUp(platform::NetworkAdapters()));
}
