#include "certificates/certificate_maker.h"

#include <gtest/gtest.h>

#include "certificates/test_certificates.h"
#include "common/text.h"
#include "test_support/temp_folder.h"

namespace {

using namespace test_certificates;

TEST(CertificateMaker, TheComputersNamesAreAsciiHostNamesAndItsAddressesPrivate) {
    const ComputerNames names = CertificateNamesFor(
        {L"PC-7", L"pc-7", L"PC-7.Corp.Example", L"localhost", L"B\u00FCro", L"my_pc", L"-bad", L"a..b", L"x-"},
        {{127, 0, 0, 1}, {192, 168, 1, 20}, {10, 1, 2, 3}, {192, 168, 1, 20}, {172, 15, 0, 1}, {172, 16, 0, 1},
         {172, 31, 255, 255}, {172, 32, 0, 1}, {192, 169, 0, 1}, {8, 8, 8, 8}, {169, 254, 1, 1}});
    EXPECT_EQ(names.dnsNames, (std::vector<std::string>{"pc-7", "pc-7.corp.example", "pc-7.local"}));
    EXPECT_EQ(names.addresses, (std::vector<std::string>{"192.168.1.20", "10.1.2.3", "172.16.0.1", "172.31.255.255"}));
}

// A common name holds at most 64 characters and a host name up to 253: however long the
// computer's name, the pair is made and names it in full where it counts.
TEST(CertificateMaker, AnyLengthOfHostNameGetsAnAuthorityAndAPairForIt) {
    for (std::size_t length : {15u, 36u, 63u, 253u}) {
        std::string host;
        while (host.size() < length) host += host.size() % 64 == 63 ? '.' : 'h';
        TempFolder folder;
        const CertificateResult result = CheckCertificates(RequestFor(folder, {{host}, {}}));
        ASSERT_EQ(result.outcome, CertificateOutcome::Made) << length << ": " << WideToUtf8(result.detail);
        const CertificatePtr authority = ReadCertificate(folder.path() / "Pellwick-authority.crt");
        const CertificatePtr certificate = ReadCertificate(folder.path() / "server.crt");
        char name[128] = "";
        X509_NAME_get_text_by_NID(X509_get_subject_name(authority.get()), NID_commonName, name, sizeof name);
        EXPECT_EQ(std::string(name), ("Pellwick local authority for " + host).substr(0, 64)) << length;
        EXPECT_EQ(VerifyFor(authority.get(), certificate.get(), host, false), X509_V_OK) << length;
    }
}

TEST(CertificateMaker, TheServerCertificateVerifiesAgainstTheAuthorityForEachNameAndAddress) {
    TempFolder folder;
    const CertificateResult result = CheckCertificates(RequestFor(folder));
    ASSERT_EQ(result.outcome, CertificateOutcome::Made) << WideToUtf8(result.detail);
    EXPECT_TRUE(result.madeAuthority);
    EXPECT_EQ(CertificateExitCode(result.outcome), kExitDone);
    EXPECT_EQ(result.certPath, (folder.path() / "server.crt").wstring());
    EXPECT_EQ(result.keyPath, (folder.path() / "server.key").wstring());

    // The server's own loading steps accept the pair.
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> server(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    ASSERT_EQ(SSL_CTX_use_certificate_file(server.get(), WideToUtf8(result.certPath).c_str(), SSL_FILETYPE_PEM), 1);
    ASSERT_EQ(SSL_CTX_use_PrivateKey_file(server.get(), WideToUtf8(result.keyPath).c_str(), SSL_FILETYPE_PEM), 1);
    EXPECT_EQ(SSL_CTX_check_private_key(server.get()), 1);

    const CertificatePtr authority = ReadCertificate(folder.path() / "Pellwick-authority.crt");
    const CertificatePtr certificate = ReadCertificate(folder.path() / "server.crt");
    ASSERT_NE(authority, nullptr);
    ASSERT_NE(certificate, nullptr);
    EXPECT_EQ(EVP_PKEY_get_base_id(X509_get0_pubkey(certificate.get())), EVP_PKEY_EC);
    EXPECT_EQ(EVP_PKEY_get_bits(X509_get0_pubkey(certificate.get())), 256);
    for (const auto& [made, days] : {std::pair{certificate.get(), 397}, std::pair{authority.get(), 3652}}) {
        int span = 0;
        int seconds = 0;
        ASSERT_EQ(ASN1_TIME_diff(&span, &seconds, X509_get0_notBefore(made), X509_get0_notAfter(made)), 1);
        EXPECT_EQ(span, days);
        EXPECT_EQ(seconds, 0);
    }
    EXPECT_EQ(AltNames(certificate.get()),
              (std::set<std::string>{"DNS:localhost", "DNS:pc-7", "DNS:pc-7.corp.example", "DNS:pc-7.local",
                                     "IP:127.0.0.1", "IP:0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.1", "IP:192.168.1.20",
                                     "IP:10.1.2.3"}));
    EXPECT_EQ(X509_check_ca(authority.get()), 1);
    EXPECT_EQ(X509_get_extension_flags(authority.get()) & EXFLAG_CA, static_cast<std::uint32_t>(EXFLAG_CA));
    EXPECT_EQ(X509_get_pathlen(authority.get()), 0);
    const int constraints = X509_get_ext_by_NID(authority.get(), NID_name_constraints, -1);
    ASSERT_GE(constraints, 0);
    EXPECT_EQ(X509_EXTENSION_get_critical(X509_get_ext(authority.get(), constraints)), 1);

    struct Case {
        const char* host;
        bool isAddress;
        int error;
    };
    for (const Case& c : {Case{"localhost", false, X509_V_OK}, Case{"pc-7", false, X509_V_OK},
                          Case{"PC-7.corp.example", false, X509_V_OK}, Case{"pc-7.local", false, X509_V_OK},
                          Case{"127.0.0.1", true, X509_V_OK}, Case{"::1", true, X509_V_OK},
                          Case{"192.168.1.20", true, X509_V_OK}, Case{"10.1.2.3", true, X509_V_OK},
                          Case{"example.com", false, X509_V_ERR_HOSTNAME_MISMATCH},
                          Case{"192.168.1.21", true, X509_V_ERR_IP_ADDRESS_MISMATCH}}) {
        EXPECT_EQ(VerifyFor(authority.get(), certificate.get(), c.host, c.isAddress), c.error) << c.host;
    }
    // Before its first day (made one day early for clocks that lag) and after its last.
    EXPECT_EQ(VerifyFor(authority.get(), certificate.get(), "localhost", false, kNow - 2 * kDay),
              X509_V_ERR_CERT_NOT_YET_VALID);
    EXPECT_EQ(VerifyFor(authority.get(), certificate.get(), "localhost", false, kNow + 397 * kDay),
              X509_V_ERR_CERT_HAS_EXPIRED);

    // Another folder gets another authority: no two computers share one.
    TempFolder other;
    ASSERT_EQ(CheckCertificates(RequestFor(other)).outcome, CertificateOutcome::Made);
    EXPECT_NE(ReadFileBytes(other.path() / "Pellwick-authority.crt"), ReadFileBytes(folder.path() / "Pellwick-authority.crt"));
    EXPECT_NE(ReadFileBytes(other.path() / "server.key"), ReadFileBytes(folder.path() / "server.key"));
}

// A P-256 signature whose r and s fill 32 bytes each is 70 to 72 bytes of DER; about one
// in 128 is shorter, which Wine's verifier refuses. Plain signing would give one of those
// within these 2000 signatures all but certainly.
TEST(CertificateMaker, EverySignatureHasFullSizedIntegers) {
    const KeyPtr key(EVP_EC_gen("P-256"));
    const CertificatePtr certificate = SignedLeaf(key.get(), "DNS:localhost", nullptr, key.get(), kNow, 90);
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(SignCertificate(certificate.get(), key.get()));
        const ASN1_BIT_STRING* signature = nullptr;
        X509_get0_signature(&signature, nullptr, certificate.get());
        ASSERT_GE(ASN1_STRING_length(signature), 70) << "signature " << i;
        ASSERT_EQ(X509_verify(certificate.get(), key.get()), 1);
    }
}

// What a stolen authority key could sign: only names and addresses inside its constraints.
TEST(CertificateMaker, TheAuthorityCannotVouchForNamesOutsideItsConstraints) {
    TempFolder folder;
    ASSERT_EQ(CheckCertificates(RequestFor(folder)).outcome, CertificateOutcome::Made);
    const CertificatePtr authority = ReadCertificate(folder.path() / "Pellwick-authority.crt");
    const KeyPtr authorityKey = ReadAuthorityKey(folder.path() / "Pellwick-authority.key");
    ASSERT_NE(authorityKey, nullptr);
    const KeyPtr key(EVP_EC_gen("P-256"));
    struct Case {
        const char* altName;
        const char* host;
        bool isAddress;
        int error;
    };
    for (const Case& c : {
             Case{"DNS:example.com", "example.com", false, X509_V_ERR_PERMITTED_VIOLATION},
             Case{"IP:8.8.8.8", "8.8.8.8", true, X509_V_ERR_PERMITTED_VIOLATION},
             Case{"IP:2001:db8::1", "2001:db8::1", true, X509_V_ERR_PERMITTED_VIOLATION},
             Case{"DNS:pc-7.example", "pc-7.example", false, X509_V_ERR_PERMITTED_VIOLATION},
             // A name outside beside one inside still fails, when reached by an allowed address.
             Case{"DNS:example.com,IP:192.168.1.20", "192.168.1.20", true, X509_V_ERR_PERMITTED_VIOLATION},
             // What the README warns about: the wide private ranges, and the names below a subtree.
             Case{"IP:192.168.77.77", "192.168.77.77", true, X509_V_OK},
             Case{"IP:fd00::5", "fd00::5", true, X509_V_OK},
             Case{"DNS:anything.pc-7.local", "anything.pc-7.local", false, X509_V_OK},
         }) {
        const CertificatePtr leaf = SignedLeaf(key.get(), c.altName, authority.get(), authorityKey.get(), kNow, 30);
        EXPECT_EQ(VerifyFor(authority.get(), leaf.get(), c.host, c.isAddress), c.error) << c.altName;
    }
}

TEST(CertificateMaker, NeverTouchesAPairOrHalfPairThatIsNotOurs) {
    TempFolder source;  // an authority and a pair of ours, whose pieces the cases mix
    ASSERT_EQ(CheckCertificates(RequestFor(source)).outcome, CertificateOutcome::Made);
    const Files ours(source);
    const KeyPtr userKey(EVP_EC_gen("P-256"));
    const std::string userKeyPem = PemOf(userKey.get());
    const std::string selfSigned = PemOf(SignedLeaf(userKey.get(), "DNS:localhost", nullptr, userKey.get(), kNow, 90).get());
    const std::string expired =
        PemOf(SignedLeaf(userKey.get(), "DNS:localhost", nullptr, userKey.get(), kNow - 100 * kDay, 90).get());
    struct Case {
        const char* what;
        bool authority;
        std::string certificate;
        std::string key;
        CertificateOutcome outcome;
        bool expired;
    };
    for (const Case& c : {
             Case{"self-signed", true, selfSigned, userKeyPem, CertificateOutcome::UserPair, false},
             Case{"expired self-signed", true, expired, userKeyPem, CertificateOutcome::UserPair, true},
             Case{"no authority", false, ours.certificate, ours.key, CertificateOutcome::UserPair, false},
             Case{"another key", true, ours.certificate, userKeyPem, CertificateOutcome::UserPair, false},
             Case{"not PEM", true, "the user's certificate", "the user's key", CertificateOutcome::UserPair, false},
             Case{"certificate only", true, ours.certificate, "", CertificateOutcome::HalfPair, false},
             Case{"key only", true, "", ours.key, CertificateOutcome::HalfPair, false},
         }) {
        for (bool atStart : {false, true}) {
            TempFolder folder;
            if (c.authority) {
                WriteFileBytes(folder.path() / "Pellwick-authority.crt", ours.authority);
                WriteFileBytes(folder.path() / "Pellwick-authority.key", ours.authorityKey);
            }
            if (!c.certificate.empty()) WriteFileBytes(folder.path() / "server.crt", c.certificate);
            if (!c.key.empty()) WriteFileBytes(folder.path() / "server.key", c.key);
            CertificateRequest request = RequestFor(folder);
            request.renew = true;
            request.atStart = atStart;
            const CertificateResult result = CheckCertificates(request);
            EXPECT_EQ(result.outcome, c.outcome) << c.what;
            EXPECT_EQ(result.pairExpired, c.expired) << c.what;
            EXPECT_EQ(CertificateExitCode(result.outcome),
                      c.outcome == CertificateOutcome::UserPair ? kExitUserPair : kExitHalfPair);
            EXPECT_EQ(ReadFileBytes(folder.path() / "server.crt"), c.certificate) << c.what;
            EXPECT_EQ(ReadFileBytes(folder.path() / "server.key"), c.key) << c.what;
            EXPECT_EQ(std::filesystem::exists(folder.path() / "Pellwick-authority.crt"), c.authority) << c.what;
        }
    }
}

TEST(CertificateMaker, AFolderThatCannotTakeTheFilesGetsNoneAndTheReason) {
    TempFolder folder;
    const std::filesystem::path missing = folder.path() / "missing";
    CertificateRequest request = RequestFor(folder);
    request.folder = missing.wstring();
    const CertificateResult result = CheckCertificates(request);
    EXPECT_EQ(result.outcome, CertificateOutcome::Failed);
    EXPECT_EQ(CertificateExitCode(result.outcome), kExitFailed);
    EXPECT_EQ(result.detail.rfind(L"Could not write " + (missing / "Pellwick-authority.key.new").wstring() + L":\n", 0),
              0u)
        << WideToUtf8(result.detail);
    EXPECT_EQ(CertificateOutcomeText(result), L"No certificate was made.\n\n" + result.detail);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(CertificateMaker, TheAuthorityIsReadWithItsDerAndThumbprint) {
    TempFolder folder;
    AuthorityFile authority;
    std::wstring detail;
    EXPECT_FALSE(ReadAuthorityFile(folder.path().wstring(), authority, detail));
    EXPECT_EQ(detail, L"There is no certificate authority in " + (folder.path() / "Pellwick-authority.crt").wstring() + L".");
    ASSERT_EQ(CheckCertificates(RequestFor(folder)).outcome, CertificateOutcome::Made);
    ASSERT_TRUE(ReadAuthorityFile(folder.path().wstring(), authority, detail)) << WideToUtf8(detail);
    const CertificatePtr certificate = ReadCertificate(folder.path() / "Pellwick-authority.crt");
    unsigned char* der = nullptr;
    const int size = i2d_X509(certificate.get(), &der);
    EXPECT_EQ(authority.der, std::string(reinterpret_cast<const char*>(der), static_cast<std::size_t>(size)));
    OPENSSL_free(der);
    unsigned char digest[20];
    unsigned int digestSize = 0;
    X509_digest(certificate.get(), EVP_sha1(), digest, &digestSize);
    std::array<unsigned char, 20> expected{};
    std::copy(digest, digest + 20, expected.begin());
    EXPECT_EQ(authority.thumbprint, expected);
    EXPECT_EQ(ThumbprintText({0x00, 0x1F, 0xA0, 0xFF}), "001FA0FF" + std::string(32, '0'));
}

}  // namespace
