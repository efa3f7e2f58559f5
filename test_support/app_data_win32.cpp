#include <windows.h>

#include "test_support/app_data.h"

std::filesystem::path TestProfileMarker() {
    wchar_t windows[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::filesystem::path(windows) / L"pellwick-throwaway-test-profile";
}
