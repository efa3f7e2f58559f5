// The Linux side of the certificate maker: the key files' mode.
#include <gtest/gtest.h>

#include "certificates/certificate_maker.h"
#include "certificates/test_certificates.h"
#include "test_support/temp_folder.h"

namespace {

TEST(CertificateMakerPosix, TheAuthorityKeyIsReadableByItsOwnerAlone) {
    TempFolder folder;
    ASSERT_EQ(CheckCertificates(test_certificates::RequestFor(folder, {})).outcome, CertificateOutcome::Made);
    using std::filesystem::perms;
    for (const char* name : {"Pellwick-authority.key", "server.key"}) {
        EXPECT_EQ(std::filesystem::status(folder.path() / name).permissions(), perms::owner_read | perms::owner_write)
            << name;
    }
}

}  // namespace
