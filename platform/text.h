// Text conversion between the wide strings of paths and user texts and UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Windows: WideCharToMultiByte / MultiByteToWideChar with CP_UTF8 (wide is UTF-16).
// Elsewhere wide characters are UTF-32 code points. Input that is not well formed comes
// out with U+FFFD in its place; "" only for "" and, on Windows, for text longer than an
// int can count.
std::string WideToUtf8Text(std::wstring_view wide);
std::wstring Utf8ToWideText(std::string_view utf8);

}  // namespace platform
