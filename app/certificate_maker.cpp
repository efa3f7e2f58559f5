#include "app/certificate_maker.h"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <memory>
#include <set>

#include "common/openssl_error.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/network_names.h"
#include "platform/protected_data.h"

namespace {

struct OpenSslFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(BIO* bio) const { BIO_free(bio); }
    void operator()(BIGNUM* number) const { BN_free(number); }
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
    void operator()(GENERAL_NAMES* names) const { GENERAL_NAMES_free(names); }
    void operator()(NAME_CONSTRAINTS* constraints) const { NAME_CONSTRAINTS_free(constraints); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSslFree>;
using CertificatePtr = std::unique_ptr<X509, OpenSslFree>;
using BioPtr = std::unique_ptr<BIO, OpenSslFree>;

constexpr long kSecondsPerDay = 24L * 60 * 60;

// ---- names and addresses ----

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

// True for a dotted IPv4 address in 10/8, 172.16/12 or 192.168/16.
bool IsPrivateIPv4(const std::string& address) {
    unsigned parts[4] = {};
    int count = 0;
    std::size_t i = 0;
    while (count < 4 && i < address.size()) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (i < address.size() && address[i] >= '0' && address[i] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(address[i++] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255) return false;
        parts[count++] = value;
        if (count < 4 && (i >= address.size() || address[i++] != '.')) return false;
    }
    if (count != 4 || i != address.size()) return false;
    return parts[0] == 10 || (parts[0] == 172 && parts[1] >= 16 && parts[1] <= 31) ||
           (parts[0] == 192 && parts[1] == 168);
}

void AddOnce(std::vector<std::string>& list, const std::string& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

// ---- OpenSSL pieces ----

std::wstring OpenSslFailure(const wchar_t* step) {
    return std::wstring(step) + L" failed.\nOpenSSL: " + TakeOpenSslErrorText();
}

bool SignatureIntegersAreFull(const X509* certificate) {
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, certificate);
    if (signature == nullptr) return false;
    const unsigned char* der = ASN1_STRING_get0_data(signature);
    std::unique_ptr<ECDSA_SIG, decltype(&ECDSA_SIG_free)> parsed(
        d2i_ECDSA_SIG(nullptr, &der, ASN1_STRING_length(signature)), ECDSA_SIG_free);
    const BIGNUM* r = nullptr;
    const BIGNUM* s = nullptr;
    if (parsed != nullptr) ECDSA_SIG_get0(parsed.get(), &r, &s);
    return r != nullptr && s != nullptr && BN_num_bytes(r) == 32 && BN_num_bytes(s) == 32;
}

}  // namespace

bool SignCertificate(X509* certificate, EVP_PKEY* key) {
    // ECDSA picks a new random nonce at each signing, so a short integer is gone at the next
    // try; 64 tries leave a chance of (1/128)^64 that all are short.
    for (int attempt = 0; attempt < 64; ++attempt) {
        if (X509_sign(certificate, key, EVP_sha256()) <= 0) return false;
        if (SignatureIntegersAreFull(certificate)) return true;
    }
    return false;
}

namespace {

// A random positive 127-bit serial number: two certificates never share one.
bool SetRandomSerial(X509* certificate) {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) return false;
    bytes[0] &= 0x7F;
    std::unique_ptr<BIGNUM, OpenSslFree> number(BN_bin2bn(bytes, sizeof bytes, nullptr));
    return number != nullptr && BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(certificate)) != nullptr;
}

bool AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, OpenSslFree> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    return extension != nullptr && X509_add_ext(certificate, extension.get(), -1) == 1;
}

bool AddNameEntry(X509_NAME* name, const char* field, const std::string& value) {
    return X509_NAME_add_entry_by_txt(name, field, MBSTRING_ASC, reinterpret_cast<const unsigned char*>(value.c_str()),
                                      -1, -1, 0) == 1;
}

// Both certificates' keys are ECDSA P-256: a full handshake costs the server a fraction of
// what an RSA-2048 signature does, and every browser accepts it.
KeyPtr NewKey() {
    // EVP_EC_gen casts its argument's const away, which the strict warnings refuse; the
    // curve's name is passed as the non-const string the key generator's varargs expect.
    char curve[] = "P-256";
    return KeyPtr(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", curve));
}

// The common part of both certificates: version, serial, validity from `notBefore` for
// `seconds` (never past `notAfterLimit` when that is given), subject, public key.
CertificatePtr NewCertificate(EVP_PKEY* key, std::time_t notBefore, long seconds, const std::string& commonName,
                              const ASN1_TIME* notAfterLimit) {
    CertificatePtr certificate(X509_new());
    if (certificate == nullptr) return nullptr;
    X509* c = certificate.get();
    std::time_t start = notBefore;
    X509_NAME* subject = X509_get_subject_name(c);
    bool made = X509_set_version(c, X509_VERSION_3) == 1 && SetRandomSerial(c) &&
                X509_time_adj_ex(X509_getm_notBefore(c), 0, 0, &start) != nullptr &&
                X509_time_adj_ex(X509_getm_notAfter(c), 0, seconds, &start) != nullptr &&
                X509_set_pubkey(c, key) == 1 && AddNameEntry(subject, "O", "Pellwick") &&
                AddNameEntry(subject, "CN", commonName);
    if (made && notAfterLimit != nullptr && ASN1_TIME_compare(X509_get0_notAfter(c), notAfterLimit) > 0) {
        made = X509_set1_notAfter(c, notAfterLimit) == 1;
    }
    return made ? std::move(certificate) : nullptr;
}

// "permitted;DNS:a,permitted;DNS:b,...,permitted;IP:range,..." for the authority.
std::string NameConstraintsValue(const std::vector<std::string>& dnsNames) {
    std::string value = "critical,permitted;DNS:localhost";
    for (const std::string& name : dnsNames) value += ",permitted;DNS:" + name;
    for (const char* range : kPermittedAddressRanges) value += std::string(",permitted;IP:") + range;
    return value;
}

std::string SubjectAltNameValue(const ComputerNames& names) {
    std::string value = "DNS:localhost,IP:127.0.0.1,IP:::1";
    for (const std::string& name : names.dnsNames) value += ",DNS:" + name;
    for (const std::string& address : names.addresses) value += ",IP:" + address;
    return value;
}

// The authority's common name, which only people read. X.509 caps a common name at 64
// characters, and a host name may have 253: a long one is cut short here, since the names
// that count are in the constraints and the server's subjectAltName.
std::string AuthorityCommonName(const ComputerNames& names) {
    constexpr std::size_t kCommonNameLimit = 64;
    const std::string computer = names.dnsNames.empty() ? std::string("this computer") : names.dnsNames.front();
    return ("Pellwick local authority for " + computer).substr(0, kCommonNameLimit);
}

CertificatePtr MakeAuthorityCertificate(EVP_PKEY* key, const ComputerNames& names, std::time_t now) {
    CertificatePtr authority = NewCertificate(key, now - kBackdateSeconds, kAuthorityDays * kSecondsPerDay,
                                              AuthorityCommonName(names), nullptr);
    if (authority == nullptr) return nullptr;
    X509* a = authority.get();
    const bool made = X509_set_issuer_name(a, X509_get_subject_name(a)) == 1 &&
                      AddExtension(a, a, NID_basic_constraints, "critical,CA:TRUE,pathlen:0") &&
                      AddExtension(a, a, NID_key_usage, "critical,keyCertSign,cRLSign") &&
                      AddExtension(a, a, NID_subject_key_identifier, "hash") &&
                      AddExtension(a, a, NID_name_constraints, NameConstraintsValue(names.dnsNames)) &&
                      SignCertificate(a, key);
    return made ? std::move(authority) : nullptr;
}

CertificatePtr MakeServerCertificate(EVP_PKEY* key, X509* authority, EVP_PKEY* authorityKey,
                                     const ComputerNames& names, std::time_t now) {
    CertificatePtr server = NewCertificate(key, now - kBackdateSeconds, kCertificateDays * kSecondsPerDay,
                                           "localhost", X509_get0_notAfter(authority));
    if (server == nullptr) return nullptr;
    X509* s = server.get();
    // An ECDSA key only signs: key encipherment is for RSA key transport.
    const char* usage = "critical,digitalSignature";
    const bool made = X509_set_issuer_name(s, X509_get_subject_name(authority)) == 1 &&
                      AddExtension(s, authority, NID_basic_constraints, "critical,CA:FALSE") &&
                      AddExtension(s, authority, NID_key_usage, usage) &&
                      AddExtension(s, authority, NID_ext_key_usage, "serverAuth") &&
                      AddExtension(s, authority, NID_subject_key_identifier, "hash") &&
                      AddExtension(s, authority, NID_authority_key_identifier, "keyid:always") &&
                      AddExtension(s, authority, NID_subject_alt_name, SubjectAltNameValue(names)) &&
                      SignCertificate(s, authorityKey);
    return made ? std::move(server) : nullptr;
}

template <typename Write>
std::string PemText(Write write) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (bio == nullptr || !write(bio.get())) return "";
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::string KeyPem(EVP_PKEY* key) {
    return PemText([&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    });
}

std::string CertificatePem(X509* certificate) {
    return PemText([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate) == 1; });
}

CertificatePtr CertificateFromPem(const std::string& pem) {
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return CertificatePtr(bio == nullptr ? nullptr : PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

KeyPtr KeyFromPem(const std::string& pem) {
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return KeyPtr(bio == nullptr ? nullptr : PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

// ---- files ----

// The whole file; false when it is missing, cannot be read, or is a folder, a FIFO or a
// device (whose reads could wait for ever).
bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    const platform::FileHandle file = platform::OpenFileForReading(path);
    std::uint64_t size = 0;
    if (!file || !platform::IsDiskFile(file) || !platform::FileSize(file, size) || size > (1u << 20)) return false;
    bytes.assign(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    return platform::ReadFileRange(file, 0, bytes.data(), bytes.size(), got) && got == bytes.size();
}

struct PendingFile {
    std::wstring path;
    std::string bytes;
};

// Writes every file under its name + ".new", then renames each into place, so a failure
// in writing changes none of the files. False, with `detail`, on the first failure.
bool CommitFiles(const std::vector<PendingFile>& files, std::wstring& detail) {
    std::vector<std::wstring> written;
    std::uint32_t error = 0;
    for (const PendingFile& file : files) {
        const std::wstring temporary = file.path + L".new";
        platform::DeleteFileAt(temporary);  // left by a run that was cut short
        if (!platform::WriteNewFile(temporary, file.bytes, error)) {
            detail = L"Could not write " + temporary + L":\n" + WindowsErrorText(error);
            for (const std::wstring& path : written) platform::DeleteFileAt(path);
            return false;
        }
        written.push_back(temporary);
    }
    for (const PendingFile& file : files) {
        if (!platform::RenameOver(file.path + L".new", file.path, error)) {
            detail = L"Could not replace " + file.path + L":\n" + WindowsErrorText(error);
            for (const std::wstring& path : written) platform::DeleteFileAt(path);
            return false;
        }
    }
    return true;
}

std::wstring InFolder(const std::wstring& folder, const wchar_t* name) {
    return folder + platform::kPathSeparator + name;
}

// ---- the authority in the folder ----

struct Authority {
    CertificatePtr certificate;  // null when Pellwick-authority.crt is missing or no certificate
    KeyPtr key;                  // null when the key cannot be used; `keyProblem` says why
    std::wstring keyProblem;
};

Authority LoadAuthority(const std::wstring& folder) {
    Authority authority;
    std::string pem;
    if (ReadWholeFile(InFolder(folder, kAuthorityCertificateFileName), pem)) {
        authority.certificate = CertificateFromPem(pem);
    }
    const std::wstring keyPath = InFolder(folder, kAuthorityKeyFileName);
    std::string stored;
    std::string keyText;
    std::uint32_t error = 0;
    if (authority.certificate == nullptr) {
        authority.keyProblem = L"The authority's certificate " + InFolder(folder, kAuthorityCertificateFileName) +
                               L" is missing or damaged.";
    } else if (!ReadWholeFile(keyPath, stored)) {
        authority.keyProblem = L"The authority's key " + keyPath + L" is missing or cannot be read.";
    } else if (!platform::UnprotectForCurrentUser(stored, keyText, error)) {
        authority.keyProblem = L"The authority's key " + keyPath +
                               L" cannot be opened by this account on this computer:\n" + WindowsErrorText(error);
    } else if ((authority.key = KeyFromPem(keyText)) == nullptr ||
               X509_check_private_key(authority.certificate.get(), authority.key.get()) != 1) {
        authority.key.reset();
        authority.keyProblem = L"The authority's key " + keyPath + L" does not belong to its certificate.";
    }
    ERR_clear_error();
    return authority;
}

// True when the certificate chains to the authority alone, at any time (an expired pair
// of ours is still ours), and the key is its own.
bool IsOurs(X509* authority, X509* certificate, EVP_PKEY* key) {
    std::unique_ptr<X509_STORE, OpenSslFree> store(X509_STORE_new());
    std::unique_ptr<X509_STORE_CTX, OpenSslFree> context(X509_STORE_CTX_new());
    if (store == nullptr || context == nullptr || X509_STORE_add_cert(store.get(), authority) != 1 ||
        X509_STORE_CTX_init(context.get(), store.get(), certificate, nullptr) != 1) {
        return false;
    }
    X509_STORE_CTX_set_flags(context.get(), X509_V_FLAG_NO_CHECK_TIME);
    const bool ours = X509_verify_cert(context.get()) == 1 && X509_check_private_key(certificate, key) == 1;
    ERR_clear_error();
    return ours;
}

// True when the certificate's notAfter lies before now + `days`.
bool ExpiresWithin(X509* certificate, std::time_t now, int days) {
    std::time_t limit = now + static_cast<std::time_t>(days) * kSecondsPerDay;
    return X509_cmp_time(X509_get0_notAfter(certificate), &limit) < 0;
}

// The subjectAltName entries: DNS names as they are, IP addresses as dotted (or IPv6) text.
std::set<std::string> AltNames(X509* certificate) {
    std::set<std::string> texts;
    std::unique_ptr<GENERAL_NAMES, OpenSslFree> names(
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr)));
    for (int i = 0; names != nullptr && i < sk_GENERAL_NAME_num(names.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
        if (name->type == GEN_DNS) {
            const ASN1_IA5STRING* dns = name->d.dNSName;
            texts.insert(std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                                     static_cast<std::size_t>(ASN1_STRING_length(dns))));
        } else if (name->type == GEN_IPADD && ASN1_STRING_length(name->d.iPAddress) == 4) {
            // Only IPv4 addresses are compared with the computer's; IPv6 ones are fixed (::1).
            const unsigned char* bytes = ASN1_STRING_get0_data(name->d.iPAddress);
            texts.insert(std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) +
                         "." + std::to_string(bytes[3]));
        }
    }
    return texts;
}

// True when the authority's name constraints permit the DNS name.
bool AuthorityPermits(X509* authority, const std::string& dnsName) {
    std::unique_ptr<NAME_CONSTRAINTS, OpenSslFree> constraints(
        static_cast<NAME_CONSTRAINTS*>(X509_get_ext_d2i(authority, NID_name_constraints, nullptr, nullptr)));
    CertificatePtr probe(X509_new());
    if (constraints == nullptr || probe == nullptr ||
        !AddExtension(probe.get(), nullptr, NID_subject_alt_name, "DNS:" + dnsName)) {
        ERR_clear_error();
        return false;
    }
    // The check reads the names that OpenSSL caches from the extensions; this fills the cache.
    X509_get_extension_flags(probe.get());
    const bool permitted = NAME_CONSTRAINTS_check(probe.get(), constraints.get()) == X509_V_OK;
    ERR_clear_error();
    return permitted;
}

// The computer's names split into those the authority permits and those it does not.
ComputerNames PermittedNames(X509* authority, const ComputerNames& computer, std::vector<std::string>& outside) {
    ComputerNames permitted;
    permitted.addresses = computer.addresses;  // every private address lies in the permitted ranges
    for (const std::string& name : computer.dnsNames) {
        (AuthorityPermits(authority, name) ? permitted.dnsNames : outside).push_back(name);
    }
    return permitted;
}

bool LacksAny(X509* certificate, const ComputerNames& names) {
    const std::set<std::string> held = AltNames(certificate);
    for (const auto* list : {&names.dnsNames, &names.addresses}) {
        for (const std::string& name : *list) {
            if (held.count(name) == 0) return true;
        }
    }
    return false;
}

// ---- making ----

// Makes a server pair signed by the authority and adds its two files to `files`.
bool MakeServerFiles(const CertificateResult& result, X509* authority, EVP_PKEY* authorityKey,
                     const ComputerNames& names, std::time_t now, std::vector<PendingFile>& files,
                     std::wstring& detail) {
    KeyPtr key = NewKey();
    if (key == nullptr) {
        detail = OpenSslFailure(L"Making the server's key");
        return false;
    }
    CertificatePtr certificate = MakeServerCertificate(key.get(), authority, authorityKey, names, now);
    if (certificate == nullptr) {
        detail = OpenSslFailure(L"Making the server certificate");
        return false;
    }
    const std::string keyPem = KeyPem(key.get());
    const std::string certificatePem = CertificatePem(certificate.get());
    if (keyPem.empty() || certificatePem.empty()) {
        detail = OpenSslFailure(L"Writing PEM");
        return false;
    }
    // The key first: a server that starts in between loads the old certificate with the
    // new key and says that they do not match, rather than serving a stale pair.
    files.push_back({result.keyPath, keyPem});
    files.push_back({result.certPath, certificatePem});
    return true;
}

// Makes a new authority for the computer's names, adds its two files to `files` and
// leaves it in `authority`.
bool MakeAuthorityFiles(const CertificateRequest& request, Authority& authority, std::vector<PendingFile>& files,
                        std::wstring& detail) {
    KeyPtr key = NewKey();
    if (key == nullptr) {
        detail = OpenSslFailure(L"Making the authority's key");
        return false;
    }
    CertificatePtr certificate = MakeAuthorityCertificate(key.get(), request.computer, request.now);
    if (certificate == nullptr) {
        detail = OpenSslFailure(L"Making the authority");
        return false;
    }
    const std::string keyPem = KeyPem(key.get());
    const std::string certificatePem = CertificatePem(certificate.get());
    std::string stored;
    std::uint32_t error = 0;
    if (keyPem.empty() || certificatePem.empty()) {
        detail = OpenSslFailure(L"Writing PEM");
        return false;
    }
    if (!platform::ProtectForCurrentUser(keyPem, stored, error)) {
        detail = L"Could not encrypt the authority's key for this account:\n" + WindowsErrorText(error);
        return false;
    }
    files.push_back({InFolder(request.folder, kAuthorityKeyFileName), stored});
    files.push_back({InFolder(request.folder, kAuthorityCertificateFileName), certificatePem});
    authority.certificate = std::move(certificate);
    authority.key = std::move(key);
    authority.keyProblem.clear();
    return true;
}

bool Thumbprint(X509* certificate, std::array<unsigned char, 20>& thumbprint) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (X509_digest(certificate, EVP_sha1(), digest, &size) != 1 || size != thumbprint.size()) return false;
    std::copy(digest, digest + thumbprint.size(), thumbprint.begin());
    return true;
}

// Makes the server pair (and a new authority when `newAuthority` or there is none) and
// commits the files; the outcome is `success` or Failed.
void MakeAndCommit(const CertificateRequest& request, Authority& authority, bool newAuthority,
                   const ComputerNames& names, CertificateOutcome success, CertificateResult& result) {
    std::vector<PendingFile> files;
    result.outcome = CertificateOutcome::Failed;
    if (newAuthority) {
        result.replacedAuthority =
            authority.certificate != nullptr && Thumbprint(authority.certificate.get(), result.replacedThumbprint);
        if (!MakeAuthorityFiles(request, authority, files, result.detail)) return;
    }
    if (!MakeServerFiles(result, authority.certificate.get(), authority.key.get(), names, request.now, files,
                         result.detail) ||
        !CommitFiles(files, result.detail)) {
        result.replacedAuthority = false;
        return;
    }
    result.madeAuthority = newAuthority;
    result.pairExpired = false;
    result.outcome = success;
}

std::wstring JoinedNames(const std::vector<std::string>& names) {
    std::wstring text;
    for (const std::string& name : names) text += (text.empty() ? L"" : L", ") + Utf8ToWide(name);
    return text;
}


// A pair of ours: renewed when due, unless the authority cannot sign for the computer's
// names (then NewAuthority, or with `newAuthority` a new authority and pair).
void CheckOurPair(const CertificateRequest& request, Authority& authority, X509* certificate,
                  CertificateResult& result) {
    const ComputerNames permitted = PermittedNames(authority.certificate.get(), request.computer, result.namesOutside);
    const bool due = request.renew || ExpiresWithin(certificate, request.now, kRenewalDays) ||
                     LacksAny(certificate, permitted);
    if (request.atStart) {
        // A start renews what it can and leaves the rest to MakeCertificate: names outside
        // the authority are left out, and an authority that cannot sign is news only once
        // the pair is due.
        if (!due) {
            result.outcome = CertificateOutcome::Sound;
        } else if (authority.key == nullptr) {
            result.outcome = CertificateOutcome::NewAuthority;
            result.detail = authority.keyProblem;
        } else {
            MakeAndCommit(request, authority, false, permitted, CertificateOutcome::Renewed, result);
        }
    } else if (authority.key == nullptr || !result.namesOutside.empty()) {
        if (request.newAuthority) {
            MakeAndCommit(request, authority, true, request.computer, CertificateOutcome::Renewed, result);
            result.namesOutside.clear();
        } else {
            result.outcome = CertificateOutcome::NewAuthority;
            result.detail = authority.keyProblem;
        }
    } else if (due) {
        MakeAndCommit(request, authority, false, permitted, CertificateOutcome::Renewed, result);
    } else {
        result.outcome = CertificateOutcome::Sound;
    }
}

// No pair: made by the authority there, or with a new authority when there is none.
void MakeMissingPair(const CertificateRequest& request, Authority& authority, CertificateResult& result) {
    const bool hasAuthorityFiles = platform::PathExists(result.authorityPath) ||
                                   platform::PathExists(InFolder(request.folder, kAuthorityKeyFileName));
    if (!hasAuthorityFiles || request.newAuthority) {
        MakeAndCommit(request, authority, true, request.computer, CertificateOutcome::Made, result);
        return;
    }
    if (authority.key == nullptr) {
        result.outcome = CertificateOutcome::NewAuthority;
        result.detail = authority.keyProblem;
        return;
    }
    const ComputerNames permitted = PermittedNames(authority.certificate.get(), request.computer, result.namesOutside);
    if (!result.namesOutside.empty()) {
        result.outcome = CertificateOutcome::NewAuthority;
        return;
    }
    MakeAndCommit(request, authority, false, permitted, CertificateOutcome::Made, result);
}

}  // namespace

ComputerNames CertificateNamesFor(const std::vector<std::wstring>& systemNames,
                                  const std::vector<std::string>& systemAddresses) {
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
    for (const std::string& address : systemAddresses) {
        if (IsPrivateIPv4(address)) AddOnce(names.addresses, address);
    }
    return names;
}

ComputerNames CurrentComputerNames() {
    return CertificateNamesFor(platform::ComputerNames(), platform::InterfaceIPv4Addresses());
}

CertificateResult CheckCertificates(const CertificateRequest& request) {
    CertificateResult result;
    result.certPath = InFolder(request.folder, kCertificateFileName);
    result.keyPath = InFolder(request.folder, kKeyFileName);
    result.authorityPath = InFolder(request.folder, kAuthorityCertificateFileName);
    const bool hasCertificate = platform::PathExists(result.certPath);
    const bool hasKey = platform::PathExists(result.keyPath);
    if (hasCertificate != hasKey || (!hasCertificate && request.atStart)) {
        // At start, neither file is for the start to report, as it always has.
        result.outcome = CertificateOutcome::HalfPair;
        return result;
    }
    Authority authority = LoadAuthority(request.folder);
    if (!hasCertificate) {
        MakeMissingPair(request, authority, result);
        return result;
    }
    std::string certificatePem;
    std::string keyPem;
    CertificatePtr certificate =
        ReadWholeFile(result.certPath, certificatePem) ? CertificateFromPem(certificatePem) : nullptr;
    KeyPtr key = ReadWholeFile(result.keyPath, keyPem) ? KeyFromPem(keyPem) : nullptr;
    ERR_clear_error();
    result.pairExpired = certificate != nullptr && ExpiresWithin(certificate.get(), request.now, 0);
    if (authority.certificate == nullptr || certificate == nullptr || key == nullptr ||
        !IsOurs(authority.certificate.get(), certificate.get(), key.get())) {
        result.outcome = CertificateOutcome::UserPair;
        return result;
    }
    CheckOurPair(request, authority, certificate.get(), result);
    return result;
}

std::wstring CertificateOutcomeText(const CertificateResult& result) {
    const std::wstring files = L"\n\n" + result.certPath + L"\n" + result.keyPath + L"\n\n";
    const std::wstring validity = L"The certificate is valid for " + std::to_wstring(kCertificateDays) +
                                  L" days and is made again before it expires.";
    switch (result.outcome) {
        case CertificateOutcome::Made:
            return (result.madeAuthority ? L"Made Pellwick's certificate authority for this computer, " +
                                               result.authorityPath + L", and with it a certificate for this "
                                               L"computer and its key:"
                                         : L"Made a certificate for this computer and its key:") +
                   files + validity;
        case CertificateOutcome::Renewed:
            return std::wstring(result.madeAuthority ? L"Made a new certificate authority, " + result.authorityPath +
                                                           L", and with it a new certificate:"
                                                     : L"Made the certificate again with the same authority:") +
                   files + validity;
        case CertificateOutcome::Sound:
            return L"The certificate and its key are in order; nothing was changed:" + files;
        case CertificateOutcome::UserPair:
            return L"The certificate and its key were not made by Pellwick; nothing was changed:" + files +
                   (result.pairExpired ? L"The certificate has expired: every browser will refuse it. " : L"") +
                   L"To let Pellwick make them, delete both files and run MakeCertificate again.";
        case CertificateOutcome::HalfPair:
            return L"Only one of the two files is there; nothing was changed:" + files +
                   L"Put the missing one next to it, or delete the one that is there and run "
                   L"MakeCertificate again.";
        case CertificateOutcome::NewAuthority:
            return L"Pellwick's certificate authority " + result.authorityPath + L" cannot serve this computer " +
                   (result.namesOutside.empty() ? L"any longer.\n\n" + result.detail
                                                : L"under its present names: " + JoinedNames(result.namesOutside) +
                                                      L".") +
                   L"\n\nA new authority is needed, and every device that trusts the old one must be given the "
                   L"new one. Nothing was changed.";
        case CertificateOutcome::Failed:
            break;
    }
    return L"No certificate was made.\n\n" + result.detail;
}

int CertificateExitCode(CertificateOutcome outcome) {
    switch (outcome) {
        case CertificateOutcome::Made:
        case CertificateOutcome::Renewed:
        case CertificateOutcome::Sound:
            return kExitDone;
        case CertificateOutcome::UserPair:
            return kExitUserPair;
        case CertificateOutcome::HalfPair:
            return kExitHalfPair;
        case CertificateOutcome::NewAuthority:
            return kExitNewAuthority;
        case CertificateOutcome::Failed:
            break;
    }
    return kExitFailed;
}

bool ReadAuthorityForStore(const std::wstring& folder, AuthorityForStore& authority, std::wstring& detail) {
    const std::wstring path = InFolder(folder, kAuthorityCertificateFileName);
    std::string pem;
    CertificatePtr certificate = ReadWholeFile(path, pem) ? CertificateFromPem(pem) : nullptr;
    ERR_clear_error();
    unsigned char* der = nullptr;
    const int size = certificate == nullptr ? -1 : i2d_X509(certificate.get(), &der);
    if (size <= 0) {
        detail = L"There is no certificate authority in " + path + L".";
        return false;
    }
    authority.der.assign(reinterpret_cast<const char*>(der), static_cast<std::size_t>(size));
    OPENSSL_free(der);
    if (!Thumbprint(certificate.get(), authority.thumbprint)) {
        detail = OpenSslFailure(L"The authority's thumbprint");
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
