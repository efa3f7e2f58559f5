// A folder of its own for one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // The folder as a wide path with a trailing separator, as the Web Root is written.
    std::wstring WithSeparator() const;

private:
    std::filesystem::path path_;
};

// Writes the bytes to the file, creating its parent folders.
void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);

// The whole content of a file, or "" when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& file);

// The text with every backslash replaced by this platform's path separator.
std::wstring WithPlatformSeparators(std::wstring text);
