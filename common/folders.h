// The application's folders and files. Every path is computed anew on each call and
// never cached; none of these functions creates a folder (EnsureFolder does, on demand).
#pragma once

#include <string>

// The per-user base folder for application data, or "." when the system has none.
std::wstring GetAppBaseFolder();

// base + "\Pellwick\Web\" (with the platform's separator): ends with a separator, so a
// file name is appended directly.
std::wstring GetWebRootFolder();

// base + "\Pellwick\Log\", ending with a separator.
std::wstring GetLogFolder();

// The log file's name in the log folder.
inline constexpr wchar_t kLogFileName[] = L"Pellwick.log";

// The log folder + "Pellwick.log".
std::wstring GetLogFilePath();

// The folder of the running executable, without a trailing separator.
std::wstring GetExeFolder();

// The executable folder + one separator + the name ("server.crt" or "server.key"). The
// separator is added even when the folder already ends with one (a drive's root).
std::wstring TlsFilePath(const std::wstring& fileName);

// True when the folder exists afterwards: it existed, or it was created with every
// missing parent.
bool EnsureFolder(const std::wstring& path);
