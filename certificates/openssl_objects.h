// OpenSSL's objects as the certificate code holds them: owners that free them, PEM in and
// out, and OpenSSL's reason for a failed step.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <memory>
#include <string>

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
    void operator()(ASN1_TIME* time) const { ASN1_TIME_free(time); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSslFree>;
using CertificatePtr = std::unique_ptr<X509, OpenSslFree>;
using BioPtr = std::unique_ptr<BIO, OpenSslFree>;

// Bytes that hold a private key: wiped (OPENSSL_cleanse) when they go. Never copied, so
// that no second copy is left unwiped.
class SecretBytes {
public:
    SecretBytes() = default;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    ~SecretBytes();
    std::string& bytes() { return bytes_; }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// The certificate's PEM text; "" on a failure.
std::string CertificatePem(X509* certificate);

// The private key's unencrypted PKCS#8 PEM into `pem`; false on a failure. OpenSSL makes
// the text in a secure-memory buffer, which it wipes when it frees it.
bool KeyPem(EVP_PKEY* key, SecretBytes& pem);

// The first certificate or private key in the PEM text; null when there is none.
CertificatePtr CertificateFromPem(const std::string& pem);
KeyPtr KeyFromPem(const std::string& pem);

// "<step> failed.\nOpenSSL: <reason>", taking OpenSSL's queued errors.
std::wstring OpenSslFailure(const wchar_t* step);

// The certificate's notBefore or notAfter as seconds since 1970 (UTC).
std::time_t CertificateTime(const ASN1_TIME* time);
