// Files: reading a whole file for a response, appending a line to the log, and reading
// the log's end for the log viewer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// An open file; kNoFile when nothing is open. A plain value: the caller closes it once.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Opens an existing file for reading while letting others read it too, but not write it
// (Windows: CreateFileW with GENERIC_READ and FILE_SHARE_READ). kNoFile on any failure.
FileHandle OpenFileForReading(const std::wstring& path);

// True when the open handle is an ordinary disk file: not a folder, a device, a pipe.
bool IsDiskFile(FileHandle file);

// The file's size in bytes; false when it cannot be queried.
bool FileSize(FileHandle file, std::uint64_t& size);

// Opens an existing file for reading while others may go on reading, writing and even
// deleting it, so that a reader never blocks the log's writer (Windows: CreateFileW with
// FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE). kNoFile on any failure.
FileHandle OpenFileForSharedReading(const std::wstring& path);

// Reads up to `size` bytes starting `offset` bytes into the file, wherever the handle's
// position is; `bytesRead` is what was read, less than `size` only where the file ends.
// False when the read failed. The handle's own position is neither used nor kept.
bool ReadFileRange(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size,
                   std::size_t& bytesRead);

void CloseFile(FileHandle file);

// Appends the bytes to the end of the file in one write, creating the file when missing.
// The file is opened and closed again, and shared with any other reader or writer while
// open. False when it could not be opened or written.
bool AppendToFile(const std::wstring& path, std::string_view bytes);

// Creates the file with exactly these bytes, only when nothing exists at the path yet
// (never replaces a file). POSIX makes it readable by its owner only (0600), because a
// private key is written this way; Windows gives it the folder's inherited access. On a
// failure `error` is the system's error code and no partial file is left behind.
bool WriteNewFile(const std::wstring& path, std::string_view bytes, std::uint32_t& error);

// Deletes a file. False when it could not be deleted.
bool DeleteFileAt(const std::wstring& path);

}  // namespace platform
