#include "certificates/builder.h"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/rand.h>

namespace {

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

// A random positive 127-bit serial number: two certificates never share one.
bool SetRandomSerial(X509* certificate) {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) return false;
    bytes[0] &= 0x7F;
    std::unique_ptr<BIGNUM, OpenSslFree> number(BN_bin2bn(bytes, sizeof bytes, nullptr));
    return number != nullptr && BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(certificate)) != nullptr;
}

bool AddNameEntry(X509_NAME* name, const char* field, const std::string& value) {
    return X509_NAME_add_entry_by_txt(name, field, MBSTRING_ASC, reinterpret_cast<const unsigned char*>(value.c_str()),
                                      -1, -1, 0) == 1;
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

}  // namespace

bool AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, OpenSslFree> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    return extension != nullptr && X509_add_ext(certificate, extension.get(), -1) == 1;
}

// P-256: a full handshake costs the server a fraction of what an RSA-2048 signature does,
// and every browser accepts it.
KeyPtr NewKey() {
    // EVP_EC_gen casts its argument's const away, which the strict warnings refuse; the
    // curve's name is passed as the non-const string the key generator's varargs expect.
    char curve[] = "P-256";
    return KeyPtr(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", curve));
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

bool SignCertificate(X509* certificate, EVP_PKEY* key) {
    // ECDSA picks a new random nonce at each signing, so a short integer is gone at the next
    // try; 64 tries leave a chance of (1/128)^64 that all are short.
    for (int attempt = 0; attempt < 64; ++attempt) {
        if (X509_sign(certificate, key, EVP_sha256()) <= 0) return false;
        if (SignatureIntegersAreFull(certificate)) return true;
    }
    return false;
}
