// The files of Pellwick's certificates in the program's folder, and how they are read.
#pragma once

#include <string>

inline constexpr wchar_t kCertificateFileName[] = L"server.crt";
inline constexpr wchar_t kKeyFileName[] = L"server.key";
inline constexpr wchar_t kAuthorityCertificateFileName[] = L"Pellwick-authority.crt";
inline constexpr wchar_t kAuthorityKeyFileName[] = L"Pellwick-authority.key";

// folder + separator + name.
std::wstring InFolder(const std::wstring& folder, const wchar_t* name);

// The whole file; false when it is missing, cannot be read, is larger than 1 MiB, or is a
// folder, a FIFO or a device (whose reads could wait for ever).
bool ReadWholeFile(const std::wstring& path, std::string& bytes);
