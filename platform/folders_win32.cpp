#include "platform/folders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace platform {

const wchar_t kPathSeparator = L'\\';

std::wstring LocalAppDataFolder() {
    PWSTR found = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &found);
    std::wstring folder = (SUCCEEDED(result) && found != nullptr) ? found : L"";
    // The shell may hand back a buffer even when it fails; it is ours to free either way.
    CoTaskMemFree(found);
    return folder;
}

std::wstring ExecutableFolder() {
    // A path longer than MAX_PATH comes back cut short; the program is installed in an
    // ordinary folder, so that limit is accepted.
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    PathRemoveFileSpecW(path);
    return path;
}

bool PathExists(const std::wstring& path) {
    return PathFileExistsW(path.c_str()) != FALSE;
}

bool CreateFolderTree(const std::wstring& path) {
    const int result = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    // "Already exists" also names a file standing where the folder should be: only a
    // folder that another thread or process made in the meantime is a success.
    if (result == ERROR_ALREADY_EXISTS) return KindOfPath(path) == PathKind::Folder;
    return result == ERROR_SUCCESS;
}

PathKind KindOfPath(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::File;
}

}  // namespace platform
