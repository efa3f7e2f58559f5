#include "app/certificate_maker.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <memory>
#include <set>

#include "common/text.h"
#include "test_support/temp_folder.h"

namespace {

struct OpenSslFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
    void operator()(GENERAL_NAMES* names) const { GENERAL_NAMES_free(names); }
};

std::unique_ptr<X509, OpenSslFree> ReadCertificate(const std::filesystem::path& file) {
    const std::string pem = ReadFileBytes(file);
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    std::unique_ptr<X509, OpenSslFree> certificate(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr));
    BIO_free(bio);
    return certificate;
}

// The subjectAltName entries as "DNS:name" and "IP:" with the address bytes in hex.
std::set<std::string> AltNames(X509* certificate) {
    std::set<std::string> texts;
    std::unique_ptr<GENERAL_NAMES, OpenSslFree> names(static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr)));
    for (int i = 0; names != nullptr && i < sk_GENERAL_NAME_num(names.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
        if (name->type == GEN_DNS) {
            texts.insert("DNS:" + std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(name->d.dNSName)),
                                              static_cast<std::size_t>(ASN1_STRING_length(name->d.dNSName))));
        } else if (name->type == GEN_IPADD) {
            std::string hex = "IP:";
            const unsigned char* bytes = ASN1_STRING_get0_data(name->d.iPAddress);
            for (int b = 0; b < ASN1_STRING_length(name->d.iPAddress); ++b) {
                hex += "0123456789abcdef"[bytes[b] >> 4];
                hex += "0123456789abcdef"[bytes[b] & 15];
            }
            texts.insert(hex);
        }
    }
    return texts;
}

// Verifies the certificate with itself as the only trust anchor, as a client that was
// given just this file does, for a host name or an IP address.
bool VerifiesFor(X509* certificate, const std::string& host, bool isAddress) {
    std::unique_ptr<X509_STORE, OpenSslFree> store(X509_STORE_new());
    std::unique_ptr<X509_STORE_CTX, OpenSslFree> context(X509_STORE_CTX_new());
    X509_STORE_add_cert(store.get(), certificate);
    X509_STORE_CTX_init(context.get(), store.get(), certificate, nullptr);
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
    if (isAddress) {
        X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
    }
    return X509_verify_cert(context.get()) == 1;
}

TEST(CertificateMaker, MakesAPairTheServerLoadsAndBrowsersAcceptForThisMachine) {
    TempFolder folder;
    const CertificateResult result = MakeCertificatePair(folder.path().wstring());
    ASSERT_EQ(result.outcome, CertificateOutcome::Made) << WideToUtf8(result.detail);
    EXPECT_EQ(result.certPath, (folder.path() / "server.crt").wstring());
    EXPECT_EQ(result.keyPath, (folder.path() / "server.key").wstring());
    EXPECT_EQ(CertificateExitCode(result.outcome), 0);

    // The server's own loading steps accept the pair.
    std::unique_ptr<SSL_CTX, OpenSslFree> server(SSL_CTX_new(TLS_server_method()));
    ASSERT_EQ(SSL_CTX_use_certificate_file(server.get(), WideToUtf8(result.certPath).c_str(), SSL_FILETYPE_PEM), 1);
    ASSERT_EQ(SSL_CTX_use_PrivateKey_file(server.get(), WideToUtf8(result.keyPath).c_str(), SSL_FILETYPE_PEM), 1);
    EXPECT_EQ(SSL_CTX_check_private_key(server.get()), 1);

    auto certificate = ReadCertificate(result.certPath);
    ASSERT_NE(certificate, nullptr);
    EXPECT_EQ(EVP_PKEY_get_bits(X509_get0_pubkey(certificate.get())), 2048);
    EXPECT_EQ(EVP_PKEY_get_base_id(X509_get0_pubkey(certificate.get())), EVP_PKEY_RSA);
    int days = 0;
    int seconds = 0;
    ASSERT_EQ(ASN1_TIME_diff(&days, &seconds, X509_get0_notBefore(certificate.get()),
                             X509_get0_notAfter(certificate.get())), 1);
    EXPECT_EQ(days, 825);
    EXPECT_EQ(seconds, 0);
    EXPECT_EQ(AltNames(certificate.get()), (std::set<std::string>{"DNS:localhost", "IP:7f000001", "IP:00000000000000000000000000000001"}));

    for (const auto& [host, isAddress, accepted] : {std::tuple{"localhost", false, true},
                                                   std::tuple{"127.0.0.1", true, true},
                                                   std::tuple{"::1", true, true},
                                                   std::tuple{"example.com", false, false},
                                                   std::tuple{"127.0.0.2", true, false}}) {
        EXPECT_EQ(VerifiesFor(certificate.get(), host, isAddress), accepted) << host;
    }

    // A second pair is a different certificate: a fresh key and serial number.
    TempFolder other;
    ASSERT_EQ(MakeCertificatePair(other.path().wstring()).outcome, CertificateOutcome::Made);
    EXPECT_NE(ReadFileBytes(other.path() / "server.key"), ReadFileBytes(folder.path() / "server.key"));
    EXPECT_NE(ReadFileBytes(other.path() / "server.crt"), ReadFileBytes(folder.path() / "server.crt"));
}

TEST(CertificateMaker, NeverTouchesFilesThatAreThere) {
    struct Case {
        bool certificate;
        bool key;
        CertificateOutcome outcome;
        int exitCode;
    };
    for (const Case& c : {Case{true, true, CertificateOutcome::PairExists, 2},
                          Case{true, false, CertificateOutcome::OneFileExists, 3},
                          Case{false, true, CertificateOutcome::OneFileExists, 3}}) {
        TempFolder folder;
        if (c.certificate) WriteFileBytes(folder.path() / "server.crt", "the user's certificate");
        if (c.key) WriteFileBytes(folder.path() / "server.key", "the user's key");
        const CertificateResult result = MakeCertificatePair(folder.path().wstring());
        EXPECT_EQ(result.outcome, c.outcome) << c.certificate << c.key;
        EXPECT_EQ(CertificateExitCode(result.outcome), c.exitCode);
        EXPECT_EQ(std::filesystem::exists(folder.path() / "server.crt"), c.certificate);
        EXPECT_EQ(std::filesystem::exists(folder.path() / "server.key"), c.key);
        if (c.certificate) {
            EXPECT_EQ(ReadFileBytes(folder.path() / "server.crt"), "the user's certificate");
        }
        if (c.key) {
            EXPECT_EQ(ReadFileBytes(folder.path() / "server.key"), "the user's key");
        }
    }
}

TEST(CertificateMaker, AFolderThatCannotTakeTheFilesGetsNeitherAndTheReason) {
    TempFolder folder;
    const std::filesystem::path missing = folder.path() / "missing";
    const CertificateResult result = MakeCertificatePair(missing.wstring());
    EXPECT_EQ(result.outcome, CertificateOutcome::Failed);
    EXPECT_EQ(CertificateExitCode(result.outcome), 1);
    EXPECT_EQ(result.detail.rfind(L"Could not write " + (missing / "server.key").wstring() + L":\n", 0), 0u)
        << WideToUtf8(result.detail);
    EXPECT_EQ(CertificateOutcomeText(result), L"No certificate was made.\n\n" + result.detail);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace
