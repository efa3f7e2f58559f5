// A test tool run under Wine by the release test: asks Windows' own verifier, with the
// current user's stores, whether it accepts a server certificate. One check per process,
// so that nothing one check caches can decide the next.
//
//   chain-check.exe chain <server.crt> <authority.crt>
//       CertGetCertificateChain builds a chain that ends at the authority, with no error bits
//   chain-check.exe ssl <server.crt> <authority.crt> <host name>
//       CertVerifyCertificateChainPolicy with CERT_CHAIN_POLICY_SSL passes for the name
//
// The authority is handed to the chain engine as a certificate it may use, as a server that
// sends its whole chain would: so the chain always reaches it, and only the current user's
// Root store decides whether it is trusted (without the entry: CERT_TRUST_IS_UNTRUSTED_ROOT).
//
// Exits 0 when the check passes, 1 when it fails (the reason on standard error), 2 on a
// usage error or a file that cannot be read.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct CertificateCloser {
    void operator()(const CERT_CONTEXT* certificate) const { CertFreeCertificateContext(certificate); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateCloser>;

struct StoreCloser {
    void operator()(void* store) const { CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
using Store = std::unique_ptr<void, StoreCloser>;

struct ChainCloser {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainCloser>;

// The certificate in a PEM (or DER) file, or null with the reason on standard error.
Certificate ReadCertificate(const wchar_t* path) {
    std::ifstream file(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file || text.empty()) {
        fwprintf(stderr, L"chain-check: cannot read %ls\n", path);
        return nullptr;
    }
    DWORD size = 0;
    const auto length = static_cast<DWORD>(text.size());
    std::vector<BYTE> der;
    if (CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64_ANY, nullptr, &size, nullptr, nullptr)) {
        der.resize(size);
        CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64_ANY, der.data(), &size, nullptr, nullptr);
    } else {
        for (const char byte : text) der.push_back(static_cast<BYTE>(byte));  // not base64: taken as DER
    }
    Certificate certificate(
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
    if (!certificate) fwprintf(stderr, L"chain-check: %ls holds no certificate (0x%08lx)\n", path, GetLastError());
    return certificate;
}

// The chain the current user's engine builds for the certificate, with the authority at
// hand, or null.
Chain BuildChain(const CERT_CONTEXT* certificate, const CERT_CONTEXT* authority) {
    const Store offered(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    if (!offered || !CertAddCertificateContextToStore(offered.get(), authority, CERT_STORE_ADD_ALWAYS, nullptr)) {
        fwprintf(stderr, L"chain-check: cannot make a store for the authority (0x%08lx)\n", GetLastError());
        return nullptr;
    }
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof(parameters);
    const CERT_CHAIN_CONTEXT* chain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, offered.get(), &parameters, 0, nullptr, &chain)) {
        fwprintf(stderr, L"chain-check: CertGetCertificateChain failed (0x%08lx)\n", GetLastError());
        return nullptr;
    }
    return Chain(chain);
}

int CheckChainEndsAtAuthority(const CERT_CONTEXT* server, const CERT_CONTEXT* authority) {
    const Chain chain = BuildChain(server, authority);
    if (!chain) return 1;
    const DWORD errors = chain->TrustStatus.dwErrorStatus;
    if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) {
        fwprintf(stderr, L"chain-check: an empty chain (error bits 0x%08lx)\n", errors);
        return 1;
    }
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    const CERT_CONTEXT* top = simple->rgpElement[simple->cElement - 1]->pCertContext;
    const bool endsAtAuthority = CertCompareCertificate(X509_ASN_ENCODING, top->pCertInfo, authority->pCertInfo);
    wprintf(L"chain: %lu certificates, error bits 0x%08lx, ends at the authority: %ls\n", simple->cElement, errors,
            endsAtAuthority ? L"yes" : L"no");
    return errors == CERT_TRUST_NO_ERROR && endsAtAuthority && simple->cElement == 2 ? 0 : 1;
}

int CheckSslPolicy(const CERT_CONTEXT* server, const CERT_CONTEXT* authority, const wchar_t* hostName) {
    const Chain chain = BuildChain(server, authority);
    if (!chain) return 1;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = const_cast<wchar_t*>(hostName);
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status)) {
        fwprintf(stderr, L"chain-check: CertVerifyCertificateChainPolicy failed (0x%08lx)\n", GetLastError());
        return 1;
    }
    wprintf(L"ssl policy for %ls: 0x%08lx\n", hostName, status.dwError);
    return status.dwError == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool ssl = argc == 5 && lstrcmpW(argv[1], L"ssl") == 0;
    if (!ssl && !(argc == 4 && lstrcmpW(argv[1], L"chain") == 0)) {
        fwprintf(stderr, L"usage: chain-check.exe chain <server.crt> <authority.crt>\n"
                         L"       chain-check.exe ssl <server.crt> <authority.crt> <host name>\n");
        return 2;
    }
    const Certificate server = ReadCertificate(argv[2]);
    const Certificate authority = ReadCertificate(argv[3]);
    if (!server || !authority) return 2;
    if (ssl) return CheckSslPolicy(server.get(), authority.get(), argv[4]);
    return CheckChainEndsAtAuthority(server.get(), authority.get());
}
