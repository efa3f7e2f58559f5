// The check before a server start, with real files in a temporary folder.
#include "app/start_check.h"

#include <gtest/gtest.h>

#include "certificates/certificate_maker.h"
#include "certificates/test_certificates.h"
#include "test_support/temp_folder.h"

namespace {

using namespace test_certificates;

std::vector<std::wstring> notices;

void RecordNotice(platform::WindowHandle, const std::wstring& text, const std::wstring& caption) {
    notices.push_back(caption + L": " + text);
}

// The start goes on in every case; only an expired pair that stays is worth a word.
TEST(StartCheck, WarnsOfAnExpiredPairTheUserPlaced) {
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
            CertificateRequest request;
            request.folder = folder.path().wstring();
            request.computer = CurrentComputerNames();
            request.now = c.notBefore;
            ASSERT_EQ(CheckCertificates(request).outcome, CertificateOutcome::Made);
        } else {
            WriteFileBytes(folder.path() / "server.key", PemOf(userKey.get()));
            WriteFileBytes(folder.path() / "server.crt",
                           PemOf(SignedLeaf(userKey.get(), "DNS:localhost", nullptr, userKey.get(), c.notBefore, 90).get()));
        }
        const std::string certificate = ReadFileBytes(folder.path() / "server.crt");
        notices.clear();
        CheckCertificatesBeforeStart(folder.path().wstring(), nullptr, {RecordNotice});
        ASSERT_EQ(notices.size(), c.notices) << c.what;
        EXPECT_EQ(ReadFileBytes(folder.path() / "server.crt"), certificate) << c.what;
        if (c.notices > 0) {
            EXPECT_EQ(notices[0], L"Certificate expired: " + ExpiredCertificateText((folder.path() / "server.crt").wstring(),
                                                                                     false, L""));
        }
    }
}

}  // namespace
