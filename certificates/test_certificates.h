// What the certificate tests share: OpenSSL's objects made and read as a test needs them,
// independently of the code under test.
#pragma once

#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "certificates/certificate_maker.h"
#include "certificates/openssl_objects.h"
#include "platform/protected_data.h"
#include "test_support/temp_folder.h"

namespace test_certificates {


constexpr std::time_t kNow = 1'800'000'000;  // 2027-01-15
constexpr std::time_t kDay = 24 * 60 * 60;

inline CertificatePtr ReadCertificate(const std::filesystem::path& file) {
    const std::string pem = ReadFileBytes(file);
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return CertificatePtr(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

// The authority's key as the maker stored it (Windows: encrypted for this account).
inline KeyPtr ReadAuthorityKey(const std::filesystem::path& file) {
    std::string pem;
    std::uint32_t error = 0;
    if (!platform::UnprotectForCurrentUser(ReadFileBytes(file), pem, error)) return nullptr;
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return KeyPtr(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

inline std::string PemOf(X509* certificate) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(bio.get(), certificate);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

inline std::string PemOf(EVP_PKEY* key) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

// A leaf certificate for `altNames` (OpenSSL's "DNS:x,IP:y" form), valid from `notBefore`
// for `days`, signed by `issuerKey` under `issuer`'s name; self-signed when issuer is null.
inline CertificatePtr SignedLeaf(EVP_PKEY* key, const std::string& altNames, X509* issuer, EVP_PKEY* issuerKey,
                          std::time_t notBefore, int days) {
    CertificatePtr leaf(X509_new());
    X509* c = leaf.get();
    X509_set_version(c, X509_VERSION_3);
    ASN1_INTEGER_set(X509_get_serialNumber(c), 7);
    X509_time_adj_ex(X509_getm_notBefore(c), 0, 0, &notBefore);
    X509_time_adj_ex(X509_getm_notAfter(c), days, 0, &notBefore);
    X509_set_pubkey(c, key);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(c), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("leaf"), -1, -1, 0);
    X509_set_issuer_name(c, issuer != nullptr ? X509_get_subject_name(issuer) : X509_get_subject_name(c));
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer != nullptr ? issuer : c, c, nullptr, nullptr, 0);
    for (const auto& [nid, value] : {std::pair{NID_subject_alt_name, altNames.c_str()},
                                     std::pair{NID_ext_key_usage, "serverAuth"}}) {
        std::unique_ptr<X509_EXTENSION, OpenSslFree> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
        X509_add_ext(c, extension.get(), -1);
    }
    X509_sign(c, issuerKey, EVP_sha256());
    return leaf;
}

// Verifies `certificate` with `anchor` as the only trust anchor at `when`, for a host
// name or an IP address, as a browser does; the verifier's error code (X509_V_OK = 0).
inline int VerifyFor(X509* anchor, X509* certificate, const std::string& host, bool isAddress, std::time_t when = kNow) {
    std::unique_ptr<X509_STORE, OpenSslFree> store(X509_STORE_new());
    std::unique_ptr<X509_STORE_CTX, OpenSslFree> context(X509_STORE_CTX_new());
    X509_STORE_add_cert(store.get(), anchor);
    X509_STORE_CTX_init(context.get(), store.get(), certificate, nullptr);
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
    X509_VERIFY_PARAM_set_time(param, when);
    if (isAddress) {
        X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
    }
    X509_verify_cert(context.get());
    return X509_STORE_CTX_get_error(context.get());
}

inline std::set<std::string> AltNames(X509* certificate) {
    std::set<std::string> texts;
    std::unique_ptr<GENERAL_NAMES, OpenSslFree> names(static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr)));
    for (int i = 0; names != nullptr && i < sk_GENERAL_NAME_num(names.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
        const ASN1_STRING* value = name->type == GEN_DNS ? name->d.dNSName : name->d.iPAddress;
        std::string text(name->type == GEN_DNS ? "DNS:" : "IP:");
        for (int b = 0; b < ASN1_STRING_length(value); ++b) {
            const unsigned char byte = ASN1_STRING_get0_data(value)[b];
            text += name->type == GEN_DNS ? std::string(1, static_cast<char>(byte)) : std::to_string(byte) + ".";
        }
        if (name->type != GEN_DNS) text.pop_back();
        texts.insert(text);
    }
    return texts;
}

inline const ComputerNames kComputer = {{"pc-7", "pc-7.corp.example", "pc-7.local"}, {"192.168.1.20", "10.1.2.3"}};

inline CertificateRequest RequestFor(const TempFolder& folder, ComputerNames computer = kComputer, std::time_t now = kNow) {
    CertificateRequest request;
    request.folder = folder.path().wstring();
    request.computer = std::move(computer);
    request.now = now;
    return request;
}

// The four files' contents, to see what a call changed.
struct Files {
    std::string authority, authorityKey, certificate, key;
    explicit Files(const TempFolder& folder)
        : authority(ReadFileBytes(folder.path() / "Pellwick-authority.crt")),
          authorityKey(ReadFileBytes(folder.path() / "Pellwick-authority.key")),
          certificate(ReadFileBytes(folder.path() / "server.crt")),
          key(ReadFileBytes(folder.path() / "server.key")) {}
};

}  // namespace test_certificates
