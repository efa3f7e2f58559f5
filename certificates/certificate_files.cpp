#include "certificates/certificate_files.h"

#include "platform/files.h"
#include "platform/folders.h"

std::wstring InFolder(const std::wstring& folder, const wchar_t* name) {
    return folder + platform::kPathSeparator + name;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    const platform::FileHandle file = platform::OpenFileForReading(path);
    std::uint64_t size = 0;
    if (!file || !platform::IsDiskFile(file) || !platform::FileSize(file, size) || size > (1u << 20)) return false;
    bytes.assign(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    return platform::ReadFileRange(file, 0, bytes.data(), bytes.size(), got) && got == bytes.size();
}
