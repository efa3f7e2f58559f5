#include "common/folders.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "common/port.h"
#include "platform/folders.h"
#include "test_support/app_data.h"
#include "test_support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// A file written where the program writes finds its way to where a user looks: the Web
// Root and the log in Pellwick/Web and Pellwick/Log of the system's per-user data folder
// (here the test profile's). A file name appended to the folders' paths lands inside them.
TEST(Folders, WebRootAndLogLieInPellwickUnderTheUsersDataFolder) {
    const std::string refusal = ClearAppDataForTest();
    ASSERT_EQ(refusal, "") << refusal;
    const fs::path pellwick = fs::path(platform::LocalAppDataFolder()) / "Pellwick";
    ASSERT_TRUE(EnsureFolder(GetWebRootFolder()));
    WriteFileBytes(GetWebRootFolder() + L"page.html", "page");
    EXPECT_EQ(ReadFileBytes(pellwick / "Web" / "page.html"), "page");
    ASSERT_TRUE(EnsureFolder(GetLogFolder()));
    WriteFileBytes(GetLogFilePath(), "line");
    EXPECT_EQ(ReadFileBytes(pellwick / "Log" / "Pellwick.log"), "line");
    WriteFileBytes(GetLogFolder() + L"beside.txt", "beside");
    EXPECT_EQ(ReadFileBytes(pellwick / "Log" / "beside.txt"), "beside");
}

// The certificate and the key are looked for in the folder that holds this very program.
TEST(Folders, TlsFilesLieNextToTheRunningProgram) {
    const fs::path certificate = TlsFilePath(L"server.crt");
    const fs::path key = TlsFilePath(L"server.key");
    EXPECT_EQ(certificate.filename(), "server.crt");
    EXPECT_EQ(key.filename(), "server.key");
    EXPECT_EQ(key.parent_path(), certificate.parent_path());
    bool holdsThisProgram = false;
    for (const fs::directory_entry& entry : fs::directory_iterator(certificate.parent_path())) {
        holdsThisProgram = holdsThisProgram || entry.path().stem() == "common_test";
    }
    EXPECT_TRUE(holdsThisProgram) << certificate.parent_path();
}

TEST(Folders, EnsureFolderCreatesMissingParentsAndAcceptsExistingOnes) {
    TempFolder temp;
    std::wstring deep = (temp.path() / "a" / "b" / "c").wstring();
    EXPECT_TRUE(EnsureFolder(deep));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_TRUE(EnsureFolder(deep));
}

TEST(Folders, EnsureFolderFailsWhereAFileStands) {
    TempFolder temp;
    WriteFileBytes(temp.path() / "file", "x");
    EXPECT_FALSE(EnsureFolder((temp.path() / "file" / "sub").wstring()));
}

TEST(Port, TextIsThePlainDecimalNumber) {
    EXPECT_EQ(PortText(), std::to_wstring(HTTPS_PORT));
    SetListeningPort(8443);
    EXPECT_EQ(PortText(), L"8443");
    SetListeningPort(HTTPS_PORT);
}

// The tests that delete the application's data folder run only in a profile made for them
// (on Windows it is the user's own Web Root): elsewhere they refuse before touching it.
TEST(TestProfile, WithoutItsMarkerTheDataFolderIsLeftAlone) {
    namespace fs = std::filesystem;
    const std::string ownProfile = ClearAppDataForTest();
    ASSERT_EQ(ownProfile, "") << "this run's own profile must be one made for tests";
    const fs::path kept = fs::path(GetWebRootFolder()) / "kept.txt";
    WriteFileBytes(kept, "kept");
    TempFolder unmarked;
    const std::string refusal = ClearAppDataForTest(unmarked.path() / TestProfileMarker().filename());
    EXPECT_EQ(refusal.rfind("Refusing to run: this test deletes ", 0), 0u) << refusal;
    EXPECT_EQ(ReadFileBytes(kept), "kept");
    EXPECT_EQ(ClearAppDataForTest(), "");
    EXPECT_FALSE(fs::exists(kept));
}

}  // namespace
