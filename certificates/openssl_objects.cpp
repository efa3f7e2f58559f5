#include "certificates/openssl_objects.h"

#include <openssl/crypto.h>
#include <openssl/pem.h>

#include "common/openssl_error.h"

SecretBytes::~SecretBytes() {
    if (!bytes_.empty()) OPENSSL_cleanse(bytes_.data(), bytes_.size());
}

std::string CertificatePem(X509* certificate) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    char* data = nullptr;
    if (bio == nullptr || PEM_write_bio_X509(bio.get(), certificate) != 1) return "";
    const long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

bool KeyPem(EVP_PKEY* key, SecretBytes& pem) {
    BioPtr bio(BIO_new(BIO_s_secmem()));
    char* data = nullptr;
    if (bio == nullptr || PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        return false;
    }
    const long size = BIO_get_mem_data(bio.get(), &data);
    if (size <= 0) return false;
    // Sized once, so that the string never moves its bytes and leaves a copy behind.
    pem.bytes().assign(data, static_cast<std::size_t>(size));
    return true;
}

CertificatePtr CertificateFromPem(const std::string& pem) {
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return CertificatePtr(bio == nullptr ? nullptr : PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

KeyPtr KeyFromPem(const std::string& pem) {
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return KeyPtr(bio == nullptr ? nullptr : PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

std::wstring OpenSslFailure(const wchar_t* step) {
    return std::wstring(step) + L" failed.\nOpenSSL: " + TakeOpenSslErrorText();
}

std::time_t CertificateTime(const ASN1_TIME* time) {
    std::unique_ptr<ASN1_TIME, OpenSslFree> epoch(ASN1_TIME_set(nullptr, 0));
    int days = 0;
    int seconds = 0;
    if (epoch == nullptr || ASN1_TIME_diff(&days, &seconds, epoch.get(), time) != 1) return 0;
    return static_cast<std::time_t>(days) * 24 * 60 * 60 + seconds;
}
