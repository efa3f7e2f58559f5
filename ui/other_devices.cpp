#include "ui/other_devices.h"

#include <algorithm>
#include <ctime>

#include "certificates/certificate_maker.h"
#include "common/text.h"

namespace {

bool Holds(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// NAME.local first, then the fully qualified name: a single-label name needs a DNS suffix
// or mDNS to be found from another device.
std::vector<std::string> HostNamesToShow(const ComputerNames& computer) {
    std::vector<std::string> shown;
    for (const std::string& name : computer.dnsNames) {
        if (EndsWith(name, ".local")) shown.push_back(name);
    }
    for (const std::string& name : computer.dnsNames) {
        if (name.find('.') != std::string::npos && !EndsWith(name, ".local")) shown.push_back(name);
    }
    return shown;
}

}  // namespace

std::wstring DeviceUrl(const std::string& host, std::uint16_t port) {
    return L"https://" + Utf8ToWide(host) + (port == 443 ? L"" : L":" + std::to_wstring(port)) + L"/";
}

bool IsVirtualAdapter(const platform::NetworkAdapter& adapter) {
    if (adapter.type == platform::AdapterType::Tunnel || adapter.type == platform::AdapterType::Virtual) return true;
    const std::wstring text = AsciiLowerCaseText(adapter.name + L" " + adapter.description);
    for (const wchar_t* word : {L"hyper-v", L"vethernet", L"wsl", L"virtualbox", L"vboxnet", L"vmware", L"vmnet",
                                L"virtual", L"vpn", L"tap-windows", L"wireguard", L"tailscale", L"zerotier",
                                L"docker", L"virbr", L"veth"}) {
        if (text.find(word) != std::wstring::npos) return true;
    }
    return false;
}

bool AnyNetworkAdapterUp(const std::vector<platform::NetworkAdapter>& adapters) {
    return std::any_of(adapters.begin(), adapters.end(), [](const platform::NetworkAdapter& adapter) {
        return adapter.up && adapter.type != platform::AdapterType::Loopback;
    });
}

std::vector<DeviceAddress> AddressesForOtherDevices(const ComputerNames& computer,
                                                    const std::vector<platform::NetworkAdapter>& adapters,
                                                    std::uint16_t port, const CertificateNames& certificate) {
    const auto cover = [&](const std::string& host) {
        if (Holds(certificate.pairNames, host)) return CertificateCover::Holds;
        if (certificate.userPair) return CertificateCover::NotInUsersPair;
        const bool renewable = certificate.authorityCanRenew && !Holds(certificate.namesOutside, host);
        return renewable ? CertificateCover::AfterNextStart : CertificateCover::NeedsNewAuthority;
    };
    std::vector<DeviceAddress> shown;
    for (const std::string& name : HostNamesToShow(computer)) {
        shown.push_back({DeviceUrl(name, port), name, L"", false, cover(name)});
    }
    std::vector<DeviceAddress> virtualOnes;
    for (const platform::NetworkAdapter& adapter : adapters) {
        if (!adapter.up || adapter.type == platform::AdapterType::Loopback) continue;
        const bool isVirtual = IsVirtualAdapter(adapter);
        for (const platform::IPv4Address& address : adapter.addresses) {
            // Loopback and link-local (169.254/16) are never private, so they go here too.
            if (!IsPrivateIPv4(address)) continue;
            const std::string host = DottedIPv4(address);
            DeviceAddress line{DeviceUrl(host, port), host, adapter.name, isVirtual, cover(host)};
            (isVirtual ? virtualOnes : shown).push_back(std::move(line));
        }
    }
    shown.insert(shown.end(), virtualOnes.begin(), virtualOnes.end());
    return shown;
}

std::vector<DeviceAddress> CurrentAddressesForOtherDevices(const std::wstring& folder,
                                                           const std::vector<platform::NetworkAdapter>& adapters,
                                                           std::uint16_t port) {
    // The adapters are listed once by the caller, so that the computer's addresses and the
    // lines shown agree.
    const ComputerNames computer = CertificateNamesFor(platform::ComputerNames(), AddressesOfAdaptersUp(adapters));
    const CertificateNames certificate = CertificateNamesForDevices(folder, computer, std::time(nullptr));
    return AddressesForOtherDevices(computer, adapters, port, certificate);
}

std::vector<std::wstring> AddressMarks(const DeviceAddress& address) {
    std::vector<std::wstring> marks;
    if (address.virtualAdapter) marks.emplace_back(L"virtual adapter, usually not reachable from a phone");
    switch (address.cover) {
        case CertificateCover::Holds:
            break;
        case CertificateCover::AfterNextStart:
            marks.emplace_back(L"not in the certificate yet: after the next server start");
            break;
        case CertificateCover::NeedsNewAuthority:
            marks.emplace_back(L"not in the certificate, and its authority cannot add it: needs a new authority "
                               L"(MakeCertificate /newauthority; make-certificate --new-authority on Linux) and a "
                               L"new trust step on every device");
            break;
        case CertificateCover::NotInUsersPair:
            marks.emplace_back(L"not in the certificate placed here (server.crt): a phone would warn of another name");
            break;
    }
    return marks;
}

std::wstring AddressNote(const DeviceAddress& address) {
    std::wstring note = address.adapter;
    for (const std::wstring& mark : AddressMarks(address)) note += (note.empty() ? L"" : L"; ") + mark;
    return note;
}

const wchar_t kTrustStepsText[] =
    L"Android: Settings, Security (or Security & privacy), Encryption & credentials, Install a certificate, CA "
    L"certificate, then pick the file. Browsers honour an authority the user installed; most other apps do not.\r\n"
    L"\r\n"
    L"iPhone and iPad: open the file (from Mail or Files) and install the profile in Settings, Profile Downloaded, "
    L"Install. Then switch on full trust for it in Settings, General, About, Certificate Trust Settings; without "
    L"that switch Safari still refuses it.\r\n"
    L"\r\n"
    L"Another Windows PC: double-click the file, Install Certificate, Current User, Place all certificates in the "
    L"following store, Trusted Root Certification Authorities. Chrome, Edge and Firefox (120 or later) use that "
    L"store.";
