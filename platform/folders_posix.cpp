#include "platform/folders.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"

namespace platform {

const wchar_t kPathSeparator = L'/';

std::wstring LocalAppDataFolder() {
    // The XDG base directory rules: an explicit data home counts only when absolute.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') return Utf8ToWideText(dataHome);
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return Utf8ToWideText(std::string(home) + "/.local/share");
    return L"";
}

std::wstring ExecutableFolder() {
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return L"";
    std::string path(buffer, static_cast<size_t>(length));
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return L"";
    // The root folder keeps its slash, like a drive's root on Windows keeps "C:\".
    return Utf8ToWideText(path.substr(0, slash == 0 ? 1 : slash));
}

bool PathExists(const std::wstring& path) {
    struct stat info;
    return stat(WideToUtf8Text(path).c_str(), &info) == 0;
}

bool CreateFolderTree(const std::wstring& path) {
    std::string narrow = WideToUtf8Text(path);
    if (narrow.empty()) return false;
    // Each level is made in turn; a level that exists already (made by us or by another
    // thread meanwhile) is fine as long as it is a folder.
    for (size_t end = narrow.find('/', 1);; end = narrow.find('/', end + 1)) {
        std::string level = narrow.substr(0, end);
        if (!level.empty() && mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (end == std::string::npos) break;
    }
    struct stat info;
    return stat(narrow.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

PathKind KindOfPath(const std::wstring& path) {
    struct stat info;
    if (stat(WideToUtf8Text(path).c_str(), &info) != 0) return PathKind::Missing;
    return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::File;
}

}  // namespace platform
