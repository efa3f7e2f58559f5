#include "test_support/app_data.h"

#include "platform/folders.h"

namespace fs = std::filesystem;

namespace {

// UTF-8 whatever the path holds: path::string() would throw on Windows for a user name
// that the ANSI code page cannot spell.
std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::string ClearAppDataForTest(const fs::path& marker) {
    const std::wstring base = platform::LocalAppDataFolder();
    if (base.empty()) return "Refusing to run: this system names no per-user data folder.";
    return ClearDataFolderForTest(fs::path(base) / "Pellwick", marker);
}

std::string ClearDataFolderForTest(const fs::path& folder, const fs::path& marker) {
    std::error_code error;
    if (!fs::is_regular_file(marker, error)) {
        return "Refusing to run: this test deletes " + Utf8(folder) +
               " (the Web Root and the log), and this profile is not one made for tests (no " + Utf8(marker) +
               "). Run the Windows tests through tools/windows/with-wine, whose throwaway Wine prefix is one.";
    }
    fs::remove_all(folder, error);
    return "";
}
