// Files: reading a file piece by piece for a response, appending a line to the log, and reading
// the log's end for the log viewer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// The system's number for an open file (a descriptor, a HANDLE); kNoFile for none.
using NativeFile = std::intptr_t;
inline constexpr NativeFile kNoFile = -1;

// Closes a native file; only FileHandle calls it.
void CloseFile(NativeFile file);

// The one owner of an open file: it closes the file when it goes, and moves but never
// copies. Empty (false) when the open failed.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(NativeFile file) : file_(file) {}
    FileHandle(FileHandle&& other) noexcept : file_(std::exchange(other.file_, kNoFile)) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            Close();
            file_ = std::exchange(other.file_, kNoFile);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }

    explicit operator bool() const { return file_ != kNoFile; }
    NativeFile native() const { return file_; }

private:
    void Close() {
        if (file_ != kNoFile) CloseFile(std::exchange(file_, kNoFile));
    }
    NativeFile file_ = kNoFile;
};

// Opens an existing file for reading while letting others read it too, but not write it
// (Windows: CreateFileW with GENERIC_READ and FILE_SHARE_READ). Empty on any failure.
FileHandle OpenFileForReading(const std::wstring& path);

// True when the open handle is an ordinary disk file: not a folder, a device, a pipe.
bool IsDiskFile(const FileHandle& file);

// The file's size in bytes; false when it cannot be queried.
bool FileSize(const FileHandle& file, std::uint64_t& size);

// Opens an existing file for reading while others may go on reading, writing and even
// deleting it, so that a reader never blocks the log's writer (Windows: CreateFileW with
// FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE). Empty on any failure. POSIX
// never locks a reader against writers, so there it is the same open as OpenFileForReading.
FileHandle OpenFileForSharedReading(const std::wstring& path);

// Reads up to `size` bytes starting `offset` bytes into the file, wherever the handle's
// position is; `bytesRead` is what was read, less than `size` only where the file ends.
// False when the read failed. The handle's own position is neither used nor kept.
bool ReadFileRange(const FileHandle& file, std::uint64_t offset, char* buffer, std::size_t size,
                   std::size_t& bytesRead);

// Appends the bytes to the end of the file in one write, creating the file when missing.
// The file is opened and closed again, and shared with any other reader or writer while
// open. False when it could not be opened or written.
bool AppendToFile(const std::wstring& path, std::string_view bytes);

// Creates the file with exactly these bytes, on disk when it returns (POSIX fsync,
// Windows FlushFileBuffers), only when nothing exists at the path yet (never replaces a file). POSIX makes it readable by its owner only (0600), because a
// private key is written this way; Windows gives it the folder's inherited access. On a
// failure `error` is the system's error code and no partial file is left behind.
bool WriteNewFile(const std::wstring& path, std::string_view bytes, std::uint32_t& error);

// Deletes a file. False when it could not be deleted.
bool DeleteFileAt(const std::wstring& path);

// Renames the file at `from` to `to`, replacing a file that is there, in one step (POSIX
// rename; Windows MoveFileExW with MOVEFILE_REPLACE_EXISTING). On a failure `error` is the
// system's error code and both files are as they were.
bool RenameOver(const std::wstring& from, const std::wstring& to, std::uint32_t& error);

// Puts the folder's own entries (names made, renamed, removed) on disk, where the system
// keeps them apart from the files' bytes (POSIX fsync of the folder); nothing on Windows.
void FlushFolder(const std::wstring& folder);

}  // namespace platform
