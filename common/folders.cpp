#include "common/folders.h"

#include "platform/folders.h"

namespace {

// A fixed tail such as "\Pellwick\Web\" written with this platform's separator.
std::wstring WithSeparators(std::wstring tail) {
    for (wchar_t& c : tail) {
        if (c == L'\\') c = platform::kPathSeparator;
    }
    return tail;
}

}  // namespace

std::wstring GetAppBaseFolder() {
    std::wstring base = platform::LocalAppDataFolder();
    return base.empty() ? L"." : base;
}

std::wstring GetWebRootFolder() {
    return GetAppBaseFolder() + WithSeparators(L"\\Pellwick\\Web\\");
}

std::wstring GetLogFolder() {
    return GetAppBaseFolder() + WithSeparators(L"\\Pellwick\\Log\\");
}

std::wstring GetLogFilePath() {
    return GetLogFolder() + kLogFileName;
}

std::wstring GetExeFolder() {
    return platform::ExecutableFolder();
}

std::wstring TlsFilePath(const std::wstring& fileName) {
    return GetExeFolder() + platform::kPathSeparator + fileName;
}

bool EnsureFolder(const std::wstring& path) {
    if (platform::PathExists(path)) return true;
    return platform::CreateFolderTree(path);
}
