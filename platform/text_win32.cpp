#include "platform/text.h"

#include <climits>

#include <windows.h>

namespace platform {

// Both directions ask for the length first and then fill a string of exactly that size.
// With no flags, input that is not well formed comes out with U+FFFD in its place, as
// everywhere else in Windows. Text longer than an int can count fails as a whole.

std::string WideToUtf8Text(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX) return {};
    const int length = static_cast<int>(wide.size());
    const int count = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (count <= 0) return {};
    std::string utf8(static_cast<std::size_t>(count), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), count, nullptr, nullptr) != count) {
        return {};
    }
    return utf8;
}

std::wstring Utf8ToWideText(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX) return {};
    const int length = static_cast<int>(utf8.size());
    const int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (count <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), count) != count) return {};
    return wide;
}

}  // namespace platform
