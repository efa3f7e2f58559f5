// Arbitrary request targets through the decoding, the mapping into the Web Root and the
// file-name rules: nothing may name a path outside the Web Root, a device, a stream or a
// cut-off name, and nothing is decoded twice.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/folders.h"
#include "server/content_type.h"
#include "server/file_response.h"

namespace {

// The decoded path back as UTF-8, every byte of it percent-encoded: kept apart from the
// product's own conversions so that the round trip checks the decoder against something
// else. Wide text is UTF-32 where the fuzzers run.
std::string FullyEncoded(const std::wstring& path) {
    static_assert(sizeof(wchar_t) == 4, "the fuzzers run where wide text holds code points");
    std::string utf8;
    for (wchar_t unit : path) {
        auto point = static_cast<char32_t>(unit);
        if (point < 0x80) {
            utf8 += static_cast<char>(point);
        } else if (point < 0x800) {
            utf8 += static_cast<char>(0xC0 | (point >> 6));
            utf8 += static_cast<char>(0x80 | (point & 0x3F));
        } else if (point < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (point >> 12));
            utf8 += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (point & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (point >> 18));
            utf8 += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (point & 0x3F));
        }
    }
    static const char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (char byte : utf8) {
        auto value = static_cast<unsigned char>(byte);
        encoded += '%';
        encoded += digits[value >> 4];
        encoded += digits[value & 0xF];
    }
    return encoded;
}

bool IsSlash(wchar_t c) {
    return c == L'/' || c == L'\\';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view target(reinterpret_cast<const char*>(data), size);
    std::wstring path;
    if (!DecodeTargetPath(target, path)) return 0;
    if (path.size() > target.size()) std::abort();
    for (wchar_t unit : path) {
        if ((unit >= 0xD800 && unit <= 0xDFFF) || static_cast<char32_t>(unit) > 0x10FFFF) std::abort();
    }
    std::wstring again;
    if (!DecodeTargetPath(FullyEncoded(path), again) || again != path) std::abort();

    const std::wstring root = std::wstring(L"W") + platform::kPathSeparator;
    std::wstring mapped = MapToWebRoot(root, path);
    if (mapped.empty()) {
        bool refused = path.find(L"..") != std::wstring::npos || path.find(L'\0') != std::wstring::npos;
        if (!refused) std::abort();
        return 0;
    }
    if (mapped.compare(0, root.size(), root) != 0) std::abort();
    std::wstring_view relative = std::wstring_view(mapped).substr(root.size());

    // What is opened is the decoder's output itself, separators aside: a "%XX" that decoding
    // produced is never read as an escape again.
    size_t start = 0;
    while (start < path.size() && IsSlash(path[start])) ++start;
    if (relative.size() != path.size() - start) std::abort();
    for (size_t i = 0; i < relative.size(); ++i) {
        wchar_t expected = IsSlash(path[start + i]) ? platform::kPathSeparator : path[start + i];
        if (relative[i] != expected) std::abort();
    }

    if (relative.find(L"..") != std::wstring_view::npos || relative.find(L'\0') != std::wstring_view::npos) std::abort();
    if (!relative.empty() && relative[0] == platform::kPathSeparator) std::abort();
    if (IsPlainRelativeName(relative)) {
        if (relative.find(L':') != std::wstring_view::npos) std::abort();
    }
    ContentTypeFor(relative);
    return 0;
}
