#include "platform/files.h"

#include <algorithm>

#include <windows.h>

namespace platform {

namespace {

HANDLE Handle(const FileHandle& file) {
    return reinterpret_cast<HANDLE>(file.native());
}

FileHandle Owned(HANDLE file) {
    return file == INVALID_HANDLE_VALUE ? FileHandle() : FileHandle(reinterpret_cast<NativeFile>(file));
}

}  // namespace

void CloseFile(NativeFile file) {
    CloseHandle(reinterpret_cast<HANDLE>(file));
}

FileHandle OpenFileForReading(const std::wstring& path) {
    return Owned(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool IsDiskFile(const FileHandle& file) {
    // Without FILE_FLAG_BACKUP_SEMANTICS CreateFileW refuses folders, so a disk handle
    // from OpenFileForReading is always a file; this keeps out pipes, consoles and devices
    // such as NUL or COM1, which open under their reserved names in any folder.
    return GetFileType(Handle(file)) == FILE_TYPE_DISK;
}

bool FileSize(const FileHandle& file, std::uint64_t& size) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(Handle(file), &length)) return false;
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

FileHandle OpenFileForSharedReading(const std::wstring& path) {
    return Owned(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The offset goes in an OVERLAPPED; on a handle opened without FILE_FLAG_OVERLAPPED the
// read still completes before ReadFile returns. At or past the end ReadFile fails with
// ERROR_HANDLE_EOF, which only means there is nothing more to read. One ReadFile takes at
// most a DWORD of bytes, so larger requests go in pieces.
bool ReadFileRange(const FileHandle& file, std::uint64_t offset, char* buffer, std::size_t size,
                   std::size_t& bytesRead) {
    constexpr std::size_t kLargestRead = 1u << 30;
    bytesRead = 0;
    while (bytesRead < size) {
        const std::uint64_t at = offset + bytesRead;
        OVERLAPPED position{};
        position.Offset = static_cast<DWORD>(at);
        position.OffsetHigh = static_cast<DWORD>(at >> 32);
        const DWORD wanted = static_cast<DWORD>(std::min(size - bytesRead, kLargestRead));
        DWORD read = 0;
        if (!ReadFile(Handle(file), buffer + bytesRead, wanted, &read, &position)) {
            return GetLastError() == ERROR_HANDLE_EOF;
        }
        if (read == 0) break;
        bytesRead += read;
    }
    return true;
}

// Opened by its wide name (the C runtime would squeeze the path through the ANSI code
// page). FILE_APPEND_DATA alone makes each write land at the end even with other writers;
// FILE_SHARE_DELETE lets the log viewer delete the file while a line is being added.
bool AppendToFile(const std::wstring& path, std::string_view bytes) {
    if (bytes.size() > MAXDWORD) return false;
    const FileHandle file = Owned(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(Handle(file), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool WriteNewFile(const std::wstring& path, std::string_view bytes, std::uint32_t& error) {
    if (bytes.size() > MAXDWORD) {
        error = ERROR_FILE_TOO_LARGE;
        return false;
    }
    // CREATE_NEW: a file that appeared meanwhile is never overwritten.
    FileHandle file = Owned(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = GetLastError();
        return false;
    }
    DWORD put = 0;
    bool written = WriteFile(Handle(file), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
                   put == bytes.size();
    error = written ? 0 : GetLastError();
    if (!written && error == 0) error = ERROR_WRITE_FAULT;  // a short write sets no error
    if (written && !FlushFileBuffers(Handle(file))) {
        written = false;
        error = GetLastError();
    }
    file = FileHandle();  // closed before a failed file is deleted
    if (!written) DeleteFileW(path.c_str());
    return written;
}

bool DeleteFileAt(const std::wstring& path) {
    return DeleteFileW(path.c_str()) != 0;
}

bool RenameOver(const std::wstring& from, const std::wstring& to, std::uint32_t& error) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = GetLastError();
    return false;
}

void FlushFolder(const std::wstring&) {
    // NTFS logs its renames itself; a folder cannot be flushed as a file is.
}

}  // namespace platform
