#include "app/certificate_maker.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <memory>

#include "common/text.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace {

struct OpenSslFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(BIO* bio) const { BIO_free(bio); }
    void operator()(BIGNUM* number) const { BN_free(number); }
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSslFree>;
using CertificatePtr = std::unique_ptr<X509, OpenSslFree>;

// The earliest queued OpenSSL error, as the server reports its own TLS failures.
std::wstring OpenSslFailure(const wchar_t* step) {
    char text[256] = "";
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    ERR_clear_error();
    return std::wstring(step) + L" failed.\nOpenSSL: " + Utf8ToWide(text);
}

// A random positive 127-bit serial number: two certificates of this name never share one.
bool SetRandomSerial(X509* certificate) {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) return false;
    bytes[0] &= 0x7F;
    std::unique_ptr<BIGNUM, OpenSslFree> number(BN_bin2bn(bytes, sizeof bytes, nullptr));
    return number != nullptr && BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(certificate)) != nullptr;
}

bool AddExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, OpenSslFree> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension != nullptr && X509_add_ext(certificate, extension.get(), -1) == 1;
}

// An end-entity certificate (not a CA, so browsers accept it as a server's own) that
// names itself as issuer and is signed with its own key.
CertificatePtr SelfSignedCertificate(EVP_PKEY* key) {
    CertificatePtr certificate(X509_new());
    if (certificate == nullptr) return nullptr;
    X509* c = certificate.get();
    X509_NAME* name = X509_get_subject_name(c);
    const auto* commonName = reinterpret_cast<const unsigned char*>("localhost");
    const auto* organisation = reinterpret_cast<const unsigned char*>("Pellwick");
    const bool made =
        X509_set_version(c, X509_VERSION_3) == 1 && SetRandomSerial(c) &&
        X509_gmtime_adj(X509_getm_notBefore(c), 0) != nullptr &&
        X509_time_adj_ex(X509_getm_notAfter(c), kCertificateDays, 0, nullptr) != nullptr &&
        X509_set_pubkey(c, key) == 1 &&
        X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, organisation, -1, -1, 0) == 1 &&
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, commonName, -1, -1, 0) == 1 &&
        X509_set_issuer_name(c, name) == 1 &&
        AddExtension(c, NID_basic_constraints, "critical,CA:FALSE") &&
        AddExtension(c, NID_key_usage, "critical,digitalSignature,keyEncipherment") &&
        AddExtension(c, NID_ext_key_usage, "serverAuth") &&
        AddExtension(c, NID_subject_key_identifier, "hash") &&
        AddExtension(c, NID_subject_alt_name, kCertificateAltNames) && X509_sign(c, key, EVP_sha256()) > 0;
    return made ? std::move(certificate) : nullptr;
}

// The PEM text that a write function puts into a memory BIO; "" when it fails.
template <typename Write>
std::string PemText(Write write) {
    std::unique_ptr<BIO, OpenSslFree> bio(BIO_new(BIO_s_mem()));
    if (bio == nullptr || !write(bio.get())) return "";
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::wstring WriteFailure(const std::wstring& path, std::uint32_t error) {
    return L"Could not write " + path + L":\n" + WindowsErrorText(error);
}

// Makes both PEM texts, then writes the key and the certificate; the result's outcome is
// Made or Failed.
void MakeAndWrite(CertificateResult& result) {
    result.outcome = CertificateOutcome::Failed;
    KeyPtr key(EVP_RSA_gen(kCertificateKeyBits));
    if (key == nullptr) {
        result.detail = OpenSslFailure(L"Making the RSA key");
        return;
    }
    CertificatePtr certificate = SelfSignedCertificate(key.get());
    if (certificate == nullptr) {
        result.detail = OpenSslFailure(L"Making the certificate");
        return;
    }
    const std::string keyPem = PemText([&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    });
    const std::string certificatePem =
        PemText([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate.get()) == 1; });
    if (keyPem.empty() || certificatePem.empty()) {
        result.detail = OpenSslFailure(L"Writing PEM");
        return;
    }
    std::uint32_t error = 0;
    if (!platform::WriteNewFile(result.keyPath, keyPem, error)) {
        result.detail = WriteFailure(result.keyPath, error);
        return;
    }
    if (!platform::WriteNewFile(result.certPath, certificatePem, error)) {
        result.detail = WriteFailure(result.certPath, error);
        platform::DeleteFileAt(result.keyPath);
        return;
    }
    result.outcome = CertificateOutcome::Made;
}

}  // namespace

CertificateResult MakeCertificatePair(const std::wstring& folder) {
    CertificateResult result;
    result.certPath = folder + platform::kPathSeparator + kCertificateFileName;
    result.keyPath = folder + platform::kPathSeparator + kKeyFileName;
    const bool hasCertificate = platform::PathExists(result.certPath);
    const bool hasKey = platform::PathExists(result.keyPath);
    if (hasCertificate && hasKey) {
        result.outcome = CertificateOutcome::PairExists;
    } else if (hasCertificate || hasKey) {
        result.outcome = CertificateOutcome::OneFileExists;
    } else {
        MakeAndWrite(result);
    }
    return result;
}

std::wstring CertificateOutcomeText(const CertificateResult& result) {
    const std::wstring files = L"\n\n" + result.certPath + L"\n" + result.keyPath + L"\n\n";
    switch (result.outcome) {
        case CertificateOutcome::Made:
            return L"Made a certificate and its key for this computer:" + files +
                   L"They are valid for localhost, 127.0.0.1 and ::1 for " + std::to_wstring(kCertificateDays) +
                   L" days. Start Pellwick.exe to use them.";
        case CertificateOutcome::PairExists:
            return L"The certificate and its key are already there; nothing was changed:" + files +
                   L"To make new ones, delete both files and run MakeCertificate.exe again.";
        case CertificateOutcome::OneFileExists:
            return L"Only one of the two files is there; nothing was changed:" + files +
                   L"Put the missing one next to it, or delete the one that is there and run "
                   L"MakeCertificate.exe again.";
        case CertificateOutcome::Failed:
            break;
    }
    return L"No certificate was made.\n\n" + result.detail;
}

int CertificateExitCode(CertificateOutcome outcome) {
    switch (outcome) {
        case CertificateOutcome::Made:
            return 0;
        case CertificateOutcome::PairExists:
            return 2;
        case CertificateOutcome::OneFileExists:
            return 3;
        case CertificateOutcome::Failed:
            break;
    }
    return 1;
}
