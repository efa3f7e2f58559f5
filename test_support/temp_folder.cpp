#include "test_support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        path_ = fs::temp_directory_path() /
                ("pellwick-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        if (fs::create_directory(path_)) break;
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::wstring TempFolder::WithSeparator() const {
    return (path_ / "").wstring();
}

void WriteFileBytes(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::wstring WithPlatformSeparators(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'\\') c = static_cast<wchar_t>(fs::path::preferred_separator);
    }
    return text;
}
