#include "certificates/folder_facts.h"

#include <openssl/err.h>

#include <algorithm>

#include "certificates/builder.h"
#include "certificates/certificate_files.h"
#include "common/text.h"
#include "platform/folders.h"
#include "platform/protected_data.h"

namespace {

// True when the certificate chains to the authority alone, at any time: an expired pair of
// ours is still ours.
bool VerifiesAgainst(X509* authority, X509* certificate) {
    std::unique_ptr<X509_STORE, OpenSslFree> store(X509_STORE_new());
    std::unique_ptr<X509_STORE_CTX, OpenSslFree> context(X509_STORE_CTX_new());
    if (store == nullptr || context == nullptr || X509_STORE_add_cert(store.get(), authority) != 1 ||
        X509_STORE_CTX_init(context.get(), store.get(), certificate, nullptr) != 1) {
        return false;
    }
    X509_STORE_CTX_set_flags(context.get(), X509_V_FLAG_NO_CHECK_TIME);
    return X509_verify_cert(context.get()) == 1;
}

// The subjectAltName entries: DNS names as they are, IPv4 addresses dotted. IPv6 ones are
// left out: the only one the pair holds is the fixed ::1.
std::vector<std::string> AltNames(X509* certificate) {
    std::vector<std::string> texts;
    std::unique_ptr<GENERAL_NAMES, OpenSslFree> names(
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr)));
    for (int i = 0; names != nullptr && i < sk_GENERAL_NAME_num(names.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
        if (name->type == GEN_DNS) {
            const ASN1_IA5STRING* dns = name->d.dNSName;
            texts.emplace_back(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                               static_cast<std::size_t>(ASN1_STRING_length(dns)));
        } else if (name->type == GEN_IPADD && ASN1_STRING_length(name->d.iPAddress) == 4) {
            const unsigned char* b = ASN1_STRING_get0_data(name->d.iPAddress);
            texts.push_back(DottedIPv4({b[0], b[1], b[2], b[3]}));
        }
    }
    return texts;
}

// True when the authority's name constraints permit the DNS name, as OpenSSL's verifier
// would judge a certificate that holds it.
bool AuthorityPermits(X509* authority, const std::string& dnsName) {
    std::unique_ptr<NAME_CONSTRAINTS, OpenSslFree> constraints(
        static_cast<NAME_CONSTRAINTS*>(X509_get_ext_d2i(authority, NID_name_constraints, nullptr, nullptr)));
    CertificatePtr probe(X509_new());
    if (constraints == nullptr || probe == nullptr ||
        !AddExtension(probe.get(), nullptr, NID_subject_alt_name, "DNS:" + dnsName)) {
        return false;
    }
    // The check reads the names that OpenSSL caches from the extensions; this fills the cache.
    X509_get_extension_flags(probe.get());
    return NAME_CONSTRAINTS_check(probe.get(), constraints.get()) == X509_V_OK;
}

void ReadPairFacts(const std::wstring& folder, X509* authority, FolderFacts& facts) {
    std::string certificatePem;
    SecretBytes keyPem;
    const CertificatePtr certificate = ReadWholeFile(InFolder(folder, kCertificateFileName), certificatePem)
                                           ? CertificateFromPem(certificatePem)
                                           : nullptr;
    const KeyPtr key = ReadWholeFile(InFolder(folder, kKeyFileName), keyPem.bytes()) ? KeyFromPem(keyPem.bytes())
                                                                                    : nullptr;
    if (certificate == nullptr) return;
    facts.pairEnd = CertificateTime(X509_get0_notAfter(certificate.get()));
    facts.pairNames = AltNames(certificate.get());
    facts.keyMatches = key != nullptr && X509_check_private_key(certificate.get(), key.get()) == 1;
    facts.pairVerifies = authority != nullptr && VerifiesAgainst(authority, certificate.get());
}

}  // namespace

bool TakeAuthority(CertificatePtr certificate, AuthorityFile& authority) {
    authority = AuthorityFile{};
    unsigned char* der = nullptr;
    const int size = certificate == nullptr ? -1 : i2d_X509(certificate.get(), &der);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestSize = 0;
    const bool hashed = size > 0 &&
                        EVP_Digest(der, static_cast<std::size_t>(size), digest, &digestSize, EVP_sha1(), nullptr) == 1 &&
                        digestSize == authority.thumbprint.size();
    if (hashed) {
        authority.der.assign(reinterpret_cast<const char*>(der), static_cast<std::size_t>(size));
        std::copy(digest, digest + authority.thumbprint.size(), authority.thumbprint.begin());
        authority.certificate = std::move(certificate);
    }
    OPENSSL_free(der);
    ERR_clear_error();
    return hashed;
}

bool ReadAuthorityFile(const std::wstring& folder, AuthorityFile& authority, std::wstring& detail) {
    const std::wstring path = InFolder(folder, kAuthorityCertificateFileName);
    std::string pem;
    if (!TakeAuthority(ReadWholeFile(path, pem) ? CertificateFromPem(pem) : nullptr, authority)) {
        detail = L"There is no certificate authority in " + path + L".";
        return false;
    }
    return true;
}

std::string ThumbprintText(const std::array<unsigned char, 20>& thumbprint) {
    std::string text;
    for (unsigned char byte : thumbprint) {
        text += "0123456789ABCDEF"[byte >> 4];
        text += "0123456789ABCDEF"[byte & 15];
    }
    return text;
}

FolderFacts ReadFolderFacts(const std::wstring& folder, const AuthorityFile& authority, const ComputerNames& computer) {
    FolderFacts facts;
    facts.hasCertificate = platform::PathExists(InFolder(folder, kCertificateFileName));
    facts.hasKey = platform::PathExists(InFolder(folder, kKeyFileName));
    facts.hasAuthorityFiles = platform::PathExists(InFolder(folder, kAuthorityCertificateFileName)) ||
                              platform::PathExists(InFolder(folder, kAuthorityKeyFileName));
    X509* certificate = authority.certificate.get();
    facts.hasAuthority = certificate != nullptr;
    if (certificate != nullptr) {
        facts.authorityEnd = CertificateTime(X509_get0_notAfter(certificate));
        for (const std::string& name : computer.dnsNames) {
            if (!AuthorityPermits(certificate, name)) facts.namesOutside.push_back(name);
        }
    }
    if (facts.hasCertificate && facts.hasKey) ReadPairFacts(folder, certificate, facts);
    ERR_clear_error();
    return facts;
}

KeyPtr OpenAuthorityKey(const std::wstring& folder, X509* authority, std::wstring& problem) {
    const std::wstring path = InFolder(folder, kAuthorityKeyFileName);
    SecretBytes stored;  // plain PEM on POSIX, where the file's mode guards it
    SecretBytes pem;
    std::uint32_t error = 0;
    KeyPtr key;
    if (authority == nullptr) {
        problem = L"The authority's certificate " + InFolder(folder, kAuthorityCertificateFileName) +
                  L" is missing or damaged.";
    } else if (!ReadWholeFile(path, stored.bytes())) {
        problem = L"The authority's key " + path + L" is missing or cannot be read.";
    } else if (!platform::UnprotectForCurrentUser(stored.bytes(), pem.bytes(), error)) {
        problem = L"The authority's key " + path + L" cannot be opened by this account on this computer:\n" +
                  WindowsErrorText(error);
    } else if ((key = KeyFromPem(pem.bytes())) == nullptr || X509_check_private_key(authority, key.get()) != 1) {
        key.reset();
        problem = L"The authority's key " + path + L" does not belong to its certificate.";
    }
    ERR_clear_error();
    return key;
}
