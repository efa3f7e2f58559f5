#include "test_support/app_data.h"

#include "platform/folders.h"

namespace fs = std::filesystem;

std::string ClearAppDataForTest(const fs::path& marker) {
    const fs::path folder = fs::path(platform::LocalAppDataFolder()) / "Pellwick";
    std::error_code error;
    if (platform::LocalAppDataFolder().empty() || !fs::is_regular_file(marker, error)) {
        return "Refusing to run: this test deletes " + folder.string() +
               " (the Web Root and the log), and this profile is not one made for tests (no " + marker.string() +
               "). Run the Windows tests through tools/windows/with-wine, whose throwaway Wine prefix is one.";
    }
    fs::remove_all(folder, error);
    return "";
}
