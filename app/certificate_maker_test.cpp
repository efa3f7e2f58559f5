#include "app/certificate_maker.h"
#include "app/start_check.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <memory>
#include <set>

#include "common/text.h"
#include "platform/protected_data.h"
#include "test_support/temp_folder.h"

namespace {

struct OpenSslFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
    void operator()(GENERAL_NAMES* names) const { GENERAL_NAMES_free(names); }
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using CertificatePtr = std::unique_ptr<X509, OpenSslFree>;
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSslFree>;

constexpr std::time_t kNow = 1'800'000'000;  // 2027-01-15
constexpr std::time_t kDay = 24 * 60 * 60;

CertificatePtr ReadCertificate(const std::filesystem::path& file) {
    const std::string pem = ReadFileBytes(file);
    std::unique_ptr<BIO, OpenSslFree> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return CertificatePtr(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

// The authority's key as the maker stored it (Windows: encrypted for this account).
KeyPtr ReadAuthorityKey(const std::filesystem::path& file) {
    std::string pem;
    std::uint32_t error = 0;
    if (!platform::UnprotectForCurrentUser(ReadFileBytes(file), pem, error)) return nullptr;
    std::unique_ptr<BIO, OpenSslFree> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return KeyPtr(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

std::string PemOf(X509* certificate) {
    std::unique_ptr<BIO, OpenSslFree> bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(bio.get(), certificate);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::string PemOf(EVP_PKEY* key) {
    std::unique_ptr<BIO, OpenSslFree> bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

// A leaf certificate for `altNames` (OpenSSL's "DNS:x,IP:y" form), valid from `notBefore`
// for `days`, signed by `issuerKey` under `issuer`'s name; self-signed when issuer is null.
CertificatePtr SignedLeaf(EVP_PKEY* key, const std::string& altNames, X509* issuer, EVP_PKEY* issuerKey,
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
int VerifyFor(X509* anchor, X509* certificate, const std::string& host, bool isAddress, std::time_t when = kNow) {
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

std::set<std::string> AltNames(X509* certificate) {
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

const ComputerNames kComputer = {{"pc-7", "pc-7.corp.example", "pc-7.local"}, {"192.168.1.20", "10.1.2.3"}};

CertificateRequest RequestFor(const TempFolder& folder, ComputerNames computer = kComputer, std::time_t now = kNow) {
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

TEST(CertificateMaker, TheComputersNamesAreAsciiHostNamesAndItsAddressesPrivate) {
    const ComputerNames names = CertificateNamesFor(
        {L"PC-7", L"pc-7", L"PC-7.Corp.Example", L"localhost", L"B\u00FCro", L"my_pc", L"-bad", L"a..b", L"x-"},
        {"127.0.0.1", "192.168.1.20", "10.1.2.3", "192.168.1.20", "172.15.0.1", "172.16.0.1", "172.31.255.255",
         "172.32.0.1", "192.169.0.1", "8.8.8.8", "10.0.0.256", "10.1.2", "fe80::1"});
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
    std::unique_ptr<SSL_CTX, OpenSslFree> server(SSL_CTX_new(TLS_server_method()));
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

// What a stolen authority key could sign: only names and addresses inside its constraints.
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

TEST(CertificateMaker, RenewalKeepsTheAuthorityAndMakesTheServerCertificateAgainWhenDue) {
    ComputerNames moved = kComputer;
    moved.addresses.push_back("172.20.0.9");
    ComputerNames fewer = kComputer;
    fewer.addresses.pop_back();
    struct Case {
        const char* what;
        ComputerNames computer;
        std::time_t now;
        bool renew;
        bool atStart;
        CertificateOutcome outcome;
    };
    for (const Case& c : {
             Case{"nothing due", kComputer, kNow, false, false, CertificateOutcome::Sound},
             Case{"an address gone", fewer, kNow, false, false, CertificateOutcome::Sound},
             // The pair's life began a day before kNow.
             Case{"31 days left", kComputer, kNow + (kCertificateDays - 1 - 31) * kDay, false, false,
                  CertificateOutcome::Sound},
             Case{"29 days left", kComputer, kNow + (kCertificateDays - 1 - 29) * kDay, false, false,
                  CertificateOutcome::Renewed},
             Case{"expired", kComputer, kNow + 900 * kDay, false, true, CertificateOutcome::Renewed},
             Case{"a new address", moved, kNow, false, true, CertificateOutcome::Renewed},
             Case{"/renew", kComputer, kNow, true, false, CertificateOutcome::Renewed},
         }) {
        TempFolder folder;
        ASSERT_EQ(CheckCertificates(RequestFor(folder)).outcome, CertificateOutcome::Made);
        const Files before(folder);
        CertificateRequest request = RequestFor(folder, c.computer, c.now);
        request.renew = c.renew;
        request.atStart = c.atStart;
        const CertificateResult result = CheckCertificates(request);
        EXPECT_EQ(result.outcome, c.outcome) << c.what << ": " << WideToUtf8(result.detail);
        EXPECT_EQ(CertificateExitCode(result.outcome), kExitDone) << c.what;
        const Files after(folder);
        EXPECT_EQ(after.authority, before.authority) << c.what;
        EXPECT_EQ(after.authorityKey, before.authorityKey) << c.what;
        const bool renewed = c.outcome == CertificateOutcome::Renewed;
        EXPECT_EQ(after.certificate != before.certificate, renewed) << c.what;
        EXPECT_EQ(after.key != before.key, renewed) << c.what;
        const CertificatePtr authority = ReadCertificate(folder.path() / "Pellwick-authority.crt");
        const CertificatePtr certificate = ReadCertificate(folder.path() / "server.crt");
        EXPECT_EQ(VerifyFor(authority.get(), certificate.get(), "localhost", false, c.now), X509_V_OK) << c.what;
        for (const std::string& address : c.computer.addresses) {
            EXPECT_EQ(VerifyFor(authority.get(), certificate.get(), address, true, c.now), X509_V_OK) << c.what;
        }
        EXPECT_FALSE(std::filesystem::exists(folder.path() / "server.crt.new")) << c.what;
    }
}

// A renamed computer: the authority's names no longer fit. MakeCertificate says so and
// changes nothing until asked; a start renews for what still fits; asked, a new authority.
TEST(CertificateMaker, NamesOutsideTheAuthorityNeedANewAuthority) {
    const ComputerNames renamed = {{"pc-8", "pc-8.local"}, {"192.168.1.20"}};
    TempFolder folder;
    ASSERT_EQ(CheckCertificates(RequestFor(folder)).outcome, CertificateOutcome::Made);
    const Files made(folder);

    const CertificateResult asked = CheckCertificates(RequestFor(folder, renamed));
    EXPECT_EQ(asked.outcome, CertificateOutcome::NewAuthority);
    EXPECT_EQ(CertificateExitCode(asked.outcome), kExitNewAuthority);
    EXPECT_EQ(asked.namesOutside, (std::vector<std::string>{"pc-8", "pc-8.local"}));
    EXPECT_NE(CertificateOutcomeText(asked).find(L"pc-8, pc-8.local"), std::wstring::npos);
    EXPECT_EQ(Files(folder).certificate, made.certificate);

    CertificateRequest start = RequestFor(folder, renamed, kNow + 900 * kDay);
    start.atStart = true;
    EXPECT_EQ(CheckCertificates(start).outcome, CertificateOutcome::Renewed);
    EXPECT_EQ(Files(folder).authority, made.authority);

    CertificateRequest replace = RequestFor(folder, renamed);
    replace.newAuthority = true;
    const CertificateResult replaced = CheckCertificates(replace);
    EXPECT_EQ(replaced.outcome, CertificateOutcome::Renewed) << WideToUtf8(replaced.detail);
    EXPECT_TRUE(replaced.madeAuthority);
    EXPECT_TRUE(replaced.replacedAuthority);
    const CertificatePtr authority = ReadCertificate(folder.path() / "Pellwick-authority.crt");
    const CertificatePtr certificate = ReadCertificate(folder.path() / "server.crt");
    EXPECT_NE(Files(folder).authority, made.authority);
    EXPECT_EQ(VerifyFor(authority.get(), certificate.get(), "pc-8.local", false), X509_V_OK);
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

std::vector<std::wstring> notices;

void RecordNotice(platform::WindowHandle, const std::wstring& text, const std::wstring& caption) {
    notices.push_back(caption + L": " + text);
}

// The start goes on in every case; only an expired pair that stays is worth a word.
TEST(CertificateMaker, TheStartWarnsOfAnExpiredPairTheUserPlaced) {
    const std::time_t now = std::time(nullptr);
    const KeyPtr userKey(EVP_EC_gen("P-256"));
    struct Case {
        const char* what;
        std::time_t notBefore;
        bool ours;
        std::size_t notices;
    };
    for (const Case& c : {Case{"valid", now - kDay, false, 0}, Case{"expired", now - 100 * kDay, false, 1},
                          Case{"ours", now, true, 0}}) {
        TempFolder folder;
        if (c.ours) {
            // For this computer's own names, so that the start finds nothing due.
            ASSERT_EQ(CheckCertificates(RequestFor(folder, CurrentComputerNames(), c.notBefore)).outcome,
                      CertificateOutcome::Made);
        } else {
            WriteFileBytes(folder.path() / "server.key", PemOf(userKey.get()));
            WriteFileBytes(folder.path() / "server.crt",
                           PemOf(SignedLeaf(userKey.get(), "DNS:localhost", nullptr, userKey.get(), c.notBefore, 90).get()));
        }
        const std::string certificate = ReadFileBytes(folder.path() / "server.crt");
        notices.clear();
        CheckCertificatesBeforeStart(folder.path().wstring(), nullptr, RecordNotice);
        ASSERT_EQ(notices.size(), c.notices) << c.what;
        EXPECT_EQ(ReadFileBytes(folder.path() / "server.crt"), certificate) << c.what;
        if (c.notices > 0) {
            EXPECT_EQ(notices[0], L"Certificate expired: " + ExpiredCertificateText((folder.path() / "server.crt").wstring(),
                                                                                     false, L""));
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

TEST(CertificateMaker, TheStoreGetsTheAuthorityAndItsThumbprint) {
    TempFolder folder;
    AuthorityForStore authority;
    std::wstring detail;
    EXPECT_FALSE(ReadAuthorityForStore(folder.path().wstring(), authority, detail));
    EXPECT_EQ(detail, L"There is no certificate authority in " + (folder.path() / "Pellwick-authority.crt").wstring() + L".");
    ASSERT_EQ(CheckCertificates(RequestFor(folder)).outcome, CertificateOutcome::Made);
    ASSERT_TRUE(ReadAuthorityForStore(folder.path().wstring(), authority, detail)) << WideToUtf8(detail);
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
