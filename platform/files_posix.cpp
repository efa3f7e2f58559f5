#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/descriptors_posix.h"
#include "platform/text.h"

namespace platform {

namespace {

int Fd(const FileHandle& file) {
    return static_cast<int>(file.native());
}

}  // namespace

void CloseFile(NativeFile file) {
    close(static_cast<int>(file));
}

FileHandle OpenFileForReading(const std::wstring& path) {
    std::string narrow = WideToUtf8Text(path);
    if (narrow.empty()) return FileHandle();
    // O_NONBLOCK keeps a FIFO or a device (also one put in a file's place) from stalling
    // the open; the callers refuse anything that is not a disk file before reading.
    int fd = open(narrow.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    return fd < 0 ? FileHandle() : FileHandle(fd);
}

FileHandle OpenFileForSharedReading(const std::wstring& path) {
    return OpenFileForReading(path);
}

bool IsDiskFile(const FileHandle& file) {
    struct stat info;
    return fstat(Fd(file), &info) == 0 && S_ISREG(info.st_mode);
}

bool FileSize(const FileHandle& file, std::uint64_t& size) {
    struct stat info;
    if (fstat(Fd(file), &info) != 0) return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool ReadFileRange(const FileHandle& file, std::uint64_t offset, char* buffer, std::size_t size,
                   std::size_t& bytesRead) {
    // Like ReadFile on a disk file, one call reads everything there is: pread() may stop
    // short on a signal, so go on until the size is reached or the file ends.
    bytesRead = 0;
    while (bytesRead < size) {
        ssize_t got = pread(Fd(file), buffer + bytesRead, size - bytesRead, static_cast<off_t>(offset + bytesRead));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        bytesRead += static_cast<std::size_t>(got);
    }
    return true;
}

bool AppendToFile(const std::wstring& path, std::string_view bytes) {
    std::string narrow = WideToUtf8Text(path);
    if (narrow.empty()) return false;
    int fd = open(narrow.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) return false;
    const FileHandle file(fd);
    return WriteAllBytes(fd, bytes);
}

bool WriteNewFile(const std::wstring& path, std::string_view bytes, std::uint32_t& error) {
    std::string narrow = WideToUtf8Text(path);
    if (narrow.empty()) {
        error = EINVAL;
        return false;
    }
    int fd = open(narrow.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        error = static_cast<std::uint32_t>(errno);
        return false;
    }
    errno = 0;
    error = WriteAllBytes(fd, bytes) ? 0 : static_cast<std::uint32_t>(errno == 0 ? EIO : errno);
    // On disk before the caller renames it into place: a rename that outlives a power cut
    // must never bring in a file whose bytes did not.
    if (error == 0 && fsync(fd) != 0) error = static_cast<std::uint32_t>(errno);
    if (close(fd) != 0 && error == 0) error = static_cast<std::uint32_t>(errno);
    if (error != 0) unlink(narrow.c_str());
    return error == 0;
}

bool DeleteFileAt(const std::wstring& path) {
    std::string narrow = WideToUtf8Text(path);
    return !narrow.empty() && unlink(narrow.c_str()) == 0;
}

bool RenameOver(const std::wstring& from, const std::wstring& to, std::uint32_t& error) {
    const std::string narrowFrom = WideToUtf8Text(from);
    const std::string narrowTo = WideToUtf8Text(to);
    if (narrowFrom.empty() || narrowTo.empty()) {
        error = EINVAL;
        return false;
    }
    if (rename(narrowFrom.c_str(), narrowTo.c_str()) == 0) return true;
    error = static_cast<std::uint32_t>(errno);
    return false;
}

void FlushFolder(const std::wstring& folder) {
    const std::string narrow = WideToUtf8Text(folder);
    const int fd = narrow.empty() ? -1 : open(narrow.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace platform
