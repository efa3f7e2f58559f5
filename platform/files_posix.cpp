#include "platform/files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"

namespace platform {

FileHandle OpenFileForReading(const std::wstring& path) {
    std::string narrow = WideToUtf8Text(path);
    if (narrow.empty()) return kNoFile;
    // O_NONBLOCK keeps a FIFO or a device from stalling the open; the caller refuses
    // anything that is not a disk file before reading.
    int fd = open(narrow.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    return fd < 0 ? kNoFile : static_cast<FileHandle>(fd);
}

bool IsDiskFile(FileHandle file) {
    struct stat info;
    return fstat(static_cast<int>(file), &info) == 0 && S_ISREG(info.st_mode);
}

bool FileSize(FileHandle file, std::uint64_t& size) {
    struct stat info;
    if (fstat(static_cast<int>(file), &info) != 0) return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

FileHandle OpenFileForSharedReading(const std::wstring& path) {
    // POSIX never locks a reader against writers; O_NONBLOCK keeps a FIFO put in the
    // file's place from stalling the open.
    std::string narrow = WideToUtf8Text(path);
    if (narrow.empty()) return kNoFile;
    int fd = open(narrow.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    return fd < 0 ? kNoFile : static_cast<FileHandle>(fd);
}

bool ReadFileRange(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size,
                   std::size_t& bytesRead) {
    // Like ReadFile on a disk file, one call reads everything there is: pread() may stop
    // short on a signal, so go on until the size is reached or the file ends.
    bytesRead = 0;
    while (bytesRead < size) {
        ssize_t got = pread(static_cast<int>(file), buffer + bytesRead, size - bytesRead,
                            static_cast<off_t>(offset + bytesRead));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        bytesRead += static_cast<std::size_t>(got);
    }
    return true;
}

void CloseFile(FileHandle file) {
    close(static_cast<int>(file));
}

bool AppendToFile(const std::wstring& path, std::string_view bytes) {
    std::string narrow = WideToUtf8Text(path);
    if (narrow.empty()) return false;
    int fd = open(narrow.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) return false;
    bool written = true;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            written = false;
            break;
        }
        done += static_cast<size_t>(put);
    }
    close(fd);
    return written;
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
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<size_t>(put);
    }
    error = done == bytes.size() ? 0 : static_cast<std::uint32_t>(errno == 0 ? EIO : errno);
    if (close(fd) != 0 && error == 0) error = static_cast<std::uint32_t>(errno);
    if (error != 0) unlink(narrow.c_str());
    return error == 0;
}

bool DeleteFileAt(const std::wstring& path) {
    std::string narrow = WideToUtf8Text(path);
    return !narrow.empty() && unlink(narrow.c_str()) == 0;
}

}  // namespace platform
