// make-certificate's answers, run as tools/run.sh runs it.
#include <gtest/gtest.h>

#include "app/make_certificate.h"
#include "certificates/certificate_maker.h"
#include "test_support/temp_folder.h"

namespace {

void NeverTell(const std::wstring& text, Tone) {
    ADD_FAILURE() << "a silent run told the user something: " << text.size() << " characters";
}

bool NeverAsk(const std::wstring&) {
    ADD_FAILURE() << "a silent run asked the user";
    return false;
}

TEST(MakeCertificatePosix, AnswersWithItsExitCode) {
    struct Case {
        std::vector<std::wstring> arguments;
        const char* certificate;  // what server.crt holds before; null: nothing there
        int exitCode;
        bool authority;  // Pellwick-authority.crt is there afterwards
    };
    for (const Case& c : {Case{{L"/S"}, nullptr, kExitDone, true},
                          Case{{L"--silent", L"--renew"}, nullptr, kExitDone, true},
                          Case{{L"-s", L"/TRUST"}, nullptr, kExitNotSupported, true},
                          Case{{L"/S", L"/untrust"}, nullptr, kExitFailed, false},  // no authority to remove
                          Case{{L"/S"}, "the user's certificate", kExitUserPair, false},
                          Case{{L"/S", L"/removepair"}, "the user's certificate", kExitUserPair, false},
                          Case{{L"/S", L"/thumbprint"}, nullptr, kExitFailed, false}}) {
        TempFolder folder;
        if (c.certificate != nullptr) {
            WriteFileBytes(folder.path() / "server.crt", c.certificate);
            WriteFileBytes(folder.path() / "server.key", "the user's key");
        }
        const MakeCertificateOptions options = ParseMakeCertificateArguments(c.arguments);
        ASSERT_TRUE(options.badArgument.empty());
        EXPECT_EQ(RunMakeCertificate(options, folder.path().wstring(), {NeverTell, NeverAsk}), c.exitCode)
            << c.arguments.size();
        EXPECT_EQ(std::filesystem::exists(folder.path() / "Pellwick-authority.crt"), c.authority)
            << c.arguments.size();
        if (c.certificate != nullptr) {
            EXPECT_EQ(ReadFileBytes(folder.path() / "server.crt"), c.certificate) << c.arguments.size();
        }
    }
    const MakeCertificateOptions all = ParseMakeCertificateArguments(
        {L"/s", L"/Renew", L"--trust", L"-untrust", L"/newauthority", L"--folder", L"/tmp/x"});
    EXPECT_TRUE(all.silent && all.renew && all.trust && all.untrust && all.newAuthority);
    EXPECT_EQ(all.folder, L"/tmp/x");
    EXPECT_EQ(ParseMakeCertificateArguments({L"/S", L"/renw", L"/trust"}).badArgument, L"/renw");
}

}  // namespace
