#include "common/folders.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "common/port.h"
#include "platform/folders.h"
#include "test_support/app_data.h"
#include "test_support/temp_folder.h"

namespace {

TEST(Folders, LayoutUnderTheBaseFolder) {
    std::wstring base = GetAppBaseFolder();
    ASSERT_FALSE(base.empty());
    EXPECT_EQ(GetWebRootFolder(), base + WithPlatformSeparators(L"\\Pellwick\\Web\\"));
    EXPECT_EQ(GetLogFolder(), base + WithPlatformSeparators(L"\\Pellwick\\Log\\"));
    EXPECT_EQ(GetLogFilePath(), base + WithPlatformSeparators(L"\\Pellwick\\Log\\Pellwick.log"));
}

TEST(Folders, TlsFilesLieNextToTheExecutable) {
    std::wstring exe = GetExeFolder();
    ASSERT_FALSE(exe.empty());
    EXPECT_NE(exe.back(), platform::kPathSeparator);
    EXPECT_EQ(TlsFilePath(L"server.crt"), exe + platform::kPathSeparator + L"server.crt");
    EXPECT_EQ(TlsFilePath(L"server.key"), exe + platform::kPathSeparator + L"server.key");
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
