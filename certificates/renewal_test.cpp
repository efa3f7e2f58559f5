// Renewal, a new authority, the authority's end, and a replacement that fails half way,
// on real files in temporary folders.
#include <gtest/gtest.h>

#include "certificates/certificate_maker.h"
#include "certificates/replacement.h"
#include "certificates/test_certificates.h"
#include "common/text.h"
#include "platform/files.h"
#include "test_support/temp_folder.h"

namespace {

using namespace test_certificates;

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

// A pair is never made to outlast its authority, and an authority near or past its end is
// news, never a renewal, until a new one is asked for.
TEST(CertificateMaker, TheAuthoritysEndIsCheckedBeforeAnythingIsSigned) {
    TempFolder folder;
    ASSERT_EQ(CheckCertificates(RequestFor(folder)).outcome, CertificateOutcome::Made);
    const CertificatePtr made = ReadCertificate(folder.path() / "Pellwick-authority.crt");
    const std::time_t end = CertificateTime(X509_get0_notAfter(made.get()));
    struct Case {
        const char* what;
        std::time_t now;
        CertificateOutcome outcome;
        CertificateReason reason;
    };
    for (const Case& c : {Case{"a year before", end - 365 * kDay, CertificateOutcome::Renewed, CertificateReason::PairEnding},
                          Case{"20 days before", end - 20 * kDay, CertificateOutcome::NewAuthority,
                               CertificateReason::AuthorityEnding},
                          Case{"a day after", end + kDay, CertificateOutcome::NewAuthority,
                               CertificateReason::AuthorityExpired}}) {
        const Files before(folder);
        CertificateRequest start = RequestFor(folder, kComputer, c.now);
        start.atStart = true;
        const CertificateResult result = CheckCertificates(start);
        EXPECT_EQ(result.outcome, c.outcome) << c.what;
        EXPECT_EQ(result.reason, c.reason) << c.what;
        const CertificatePtr certificate = ReadCertificate(folder.path() / "server.crt");
        EXPECT_LE(CertificateTime(X509_get0_notAfter(certificate.get())), end) << c.what;
        if (c.outcome == CertificateOutcome::Renewed) {
            EXPECT_EQ(result.pairDays, 366) << c.what;  // from a day before now to the authority's end
            EXPECT_NE(CertificateOutcomeText(result).find(L"valid for 366 days"), std::wstring::npos);
        } else {
            EXPECT_EQ(Files(folder).certificate, before.certificate) << c.what;
            EXPECT_EQ(CertificateExitCode(result.outcome), kExitNewAuthority) << c.what;
        }
    }
    EXPECT_NE(CertificateOutcomeText(CheckCertificates(RequestFor(folder, kComputer, end + kDay))).find(L"expired on"),
              std::wstring::npos);
    CertificateRequest replace = RequestFor(folder, kComputer, end + kDay);
    replace.newAuthority = true;
    const CertificateResult replaced = CheckCertificates(replace);
    EXPECT_EQ(replaced.outcome, CertificateOutcome::Renewed);
    EXPECT_TRUE(replaced.madeAuthority);
}

// A rename that fails at its `failAt`th call, and with `putBackFails` at every one after.
struct RenameFault {
    int calls = 0;
    int failAt = 0;
    bool putBackFails = false;
} renameFault;

bool FailingRename(const std::wstring& from, const std::wstring& to, std::uint32_t& error) {
    const int call = ++renameFault.calls;
    if (call == renameFault.failAt || (renameFault.putBackFails && call > renameFault.failAt)) {
        error = 5;  // access denied, as a file another program holds open gives on Windows
        return false;
    }
    return platform::RenameOver(from, to, error);
}

// What the "Other devices" lines are told of a pair: read without changing a file, with the
// decision of a start (which leaves names outside the authority out, rather than asking for
// a new one) saying whether anything the pair lacks can still come.
TEST(CertificateMaker, NamesForDevicesAreThePairsAndTheDecisionAtAStart) {
    TempFolder folder;
    ASSERT_EQ(CheckCertificates(RequestFor(folder)).outcome, CertificateOutcome::Made);
    const Files made(folder);
    const CertificatePtr authority = ReadCertificate(folder.path() / "Pellwick-authority.crt");
    const std::time_t end = CertificateTime(X509_get0_notAfter(authority.get()));
    const std::vector<std::string> pairNames = {"localhost",  "127.0.0.1",    "pc-7",    "pc-7.corp.example",
                                                "pc-7.local", "192.168.1.20", "10.1.2.3"};
    const ComputerNames renamed = {{"pc-8", "pc-8.local"}, {"192.168.1.20"}};
    struct Case {
        const char* what;
        ComputerNames computer;
        std::time_t now;
        std::vector<std::string> namesOutside;
        bool authorityCanRenew;
    };
    for (const Case& c : {Case{"sound", kComputer, kNow, {}, true},
                          Case{"renamed", renamed, kNow, {"pc-8", "pc-8.local"}, true},
                          Case{"authority ending", kComputer, end - 20 * kDay, {}, false}}) {
        const CertificateNames names = CertificateNamesForDevices(folder.path().wstring(), c.computer, c.now);
        EXPECT_EQ(names.pairNames, pairNames) << c.what;
        EXPECT_EQ(names.namesOutside, c.namesOutside) << c.what;
        EXPECT_EQ(names.authorityCanRenew, c.authorityCanRenew) << c.what;
    }
    const Files after(folder);
    EXPECT_EQ(after.certificate, made.certificate);
    EXPECT_EQ(after.authority, made.authority);
    TempFolder empty;
    EXPECT_TRUE(CertificateNamesForDevices(empty.path().wstring(), kComputer, kNow).pairNames.empty());

    // Another pair's key makes it the user's: no start renews it for the new names.
    ASSERT_EQ(CheckCertificates(RequestFor(empty)).outcome, CertificateOutcome::Made);
    WriteFileBytes(folder.path() / "server.key", ReadFileBytes(empty.path() / "server.key"));
    const CertificateNames user = CertificateNamesForDevices(folder.path().wstring(), renamed, kNow);
    EXPECT_TRUE(user.userPair);
    EXPECT_FALSE(user.authorityCanRenew);
}

// Whatever rename fails, and whether putting the old files back fails too, the folder ends
// with the old set or the new one, whole, and its pair is still ours.
TEST(CertificateMaker, AReplacementThatFailsHalfWayLeavesOneWholeSet) {
    const ComputerNames renamed = {{"pc-8", "pc-8.local"}, {"192.168.1.20"}};
    struct Scenario {
        const char* what;
        bool newAuthority;
        int renames;  // each file moved aside, then each new one moved in
    };
    for (const Scenario& scenario : {Scenario{"renewal", false, 4}, Scenario{"new authority", true, 8}}) {
        for (int failAt = 1; failAt <= scenario.renames; ++failAt) {
            for (bool putBackFails : {false, true}) {
                const std::string what = std::string(scenario.what) + ", rename " + std::to_string(failAt) +
                                         (putBackFails ? ", putting back fails" : "");
                TempFolder folder;
                ASSERT_EQ(CheckCertificates(RequestFor(folder)).outcome, CertificateOutcome::Made);
                const Files before(folder);
                CertificateRequest request = RequestFor(folder, scenario.newAuthority ? renamed : kComputer);
                request.renew = !scenario.newAuthority;
                request.newAuthority = scenario.newAuthority;
                renameFault = RenameFault{0, failAt, putBackFails};
                SetReplacementRenameForTests(FailingRename);
                const CertificateResult failed = CheckCertificates(request);
                SetReplacementRenameForTests(nullptr);
                EXPECT_EQ(failed.outcome, CertificateOutcome::Failed) << what;
                if (!putBackFails) {
                    const Files now(folder);
                    EXPECT_TRUE(now.authority == before.authority && now.authorityKey == before.authorityKey &&
                                now.certificate == before.certificate && now.key == before.key)
                        << what;
                }
                // The next run completes what was left, then finds the pair its own.
                CheckCertificates(RequestFor(folder, request.computer));
                const Files after(folder);
                const bool old = after.authority == before.authority && after.certificate == before.certificate &&
                                 after.key == before.key;
                const bool whole = after.certificate != before.certificate && after.key != before.key &&
                                   (after.authority != before.authority) == scenario.newAuthority;
                EXPECT_TRUE(old || whole) << what;
                AuthorityFile authority;
                std::wstring detail;
                ReadAuthorityFile(folder.path().wstring(), authority, detail);
                EXPECT_TRUE(IsPairOfOurs(ReadFolderFacts(folder.path().wstring(), authority, {}))) << what;
                for (const char* left : {"server.crt.new", "server.key.old", "Pellwick-authority.key.new",
                                         "Pellwick-authority.crt.old", "Pellwick-certificates.replacing"}) {
                    EXPECT_FALSE(std::filesystem::exists(folder.path() / left)) << what << ": " << left;
                }
            }
        }
    }
}

}  // namespace
