#include <cstdlib>
#include <mutex>

#include "test_support/app_data.h"
#include "test_support/temp_folder.h"

std::filesystem::path TestProfileMarker() {
    static std::once_flag once;
    static std::filesystem::path marker;
    std::call_once(once, [] {
        // Kept to the end of the process: detached connection threads may still log into it.
        static TempFolder dataHome;
        marker = dataHome.path() / "pellwick-throwaway-test-profile";
        WriteFileBytes(marker, "");
        setenv("XDG_DATA_HOME", dataHome.path().c_str(), 1);
    });
    return marker;
}
