// Folders and paths: the few file-system questions the portable code asks about folders.
// One implementation per platform (folders_win32.cpp, folders_posix.cpp); CMake compiles one.
#pragma once

#include <string>

namespace platform {

// The separator between the components of a path on this platform ('\\' or '/').
extern const wchar_t kPathSeparator;

// The per-user folder for application data (Windows: FOLDERID_LocalAppData; Linux:
// $XDG_DATA_HOME when absolute, else $HOME/.local/share). Empty when none can be had.
std::wstring LocalAppDataFolder();

// The folder of the running executable, without a trailing separator.
std::wstring ExecutableFolder();

// True when something (file or folder) exists at the path.
bool PathExists(const std::wstring& path);

// Creates the folder with every missing parent. True when the call created it or it was
// made meanwhile; false when any level could not be created.
bool CreateFolderTree(const std::wstring& path);

enum class PathKind { Missing, File, Folder };

// What lies at the path, as the file system's attributes say (Windows: GetFileAttributesW).
PathKind KindOfPath(const std::wstring& path);

}  // namespace platform
