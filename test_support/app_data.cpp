#include "test_support/app_data.h"

#include "platform/folders.h"

namespace fs = std::filesystem;

std::string ClearAppDataForTest(const fs::path& marker) {
    const std::wstring base = platform::LocalAppDataFolder();
    if (base.empty()) return "Refusing to run: this system names no per-user data folder.";
    return ClearDataFolderForTest(fs::path(base) / "Pellwick", marker);
}

std::string ClearDataFolderForTest(const fs::path& folder, const fs::path& marker) {
    std::error_code error;
    if (!fs::is_regular_file(marker, error)) {
        return "Refusing to run: this test deletes " + folder.string() +
               " (the Web Root and the log), and this profile is not one made for tests (no " + marker.string() +
               "). Run the Windows tests through tools/windows/with-wine, whose throwaway Wine prefix is one.";
    }
    fs::remove_all(folder, error);
    return "";
}
