// Conversions between wide text (paths, user texts) and UTF-8 (network data, log lines,
// the narrow paths OpenSSL takes), and the system's wording of error codes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Exact UTF-8 of the wide text; "" for "". What is not well formed (a lone surrogate, on
// Linux a value above U+10FFFF) becomes U+FFFD and the rest converts.
std::string WideToUtf8(std::wstring_view wide);

// The wide text of UTF-8 bytes; "" for "". Each broken, cut-short or overlong sequence
// becomes one U+FFFD and the bytes after it convert as usual, so one odd byte in a log
// line never blanks the whole text.
std::wstring Utf8ToWide(std::string_view utf8);

// The letter in lower case when it is an ASCII capital, else itself: what protocol words,
// host names, switches and extensions compare by, never the user's language.
constexpr wchar_t AsciiLowerCase(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The text with AsciiLowerCase applied to each character.
inline std::wstring AsciiLowerCaseText(std::wstring text) {
    for (wchar_t& c : text) c = AsciiLowerCase(c);
    return text;
}

// The system's message for a system or socket error code with trailing carriage returns,
// line feeds and spaces removed (a final full stop stays); "" when the system has none.
std::wstring WindowsErrorText(std::uint32_t code);

// The trimming rule of WindowsErrorText on its own.
std::wstring TrimErrorText(std::wstring text);
