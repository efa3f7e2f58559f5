// Conversions between wide text (paths, user texts) and UTF-8 (network data, log lines,
// the narrow paths OpenSSL takes), and the system's wording of error codes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Exact UTF-8 of the wide text; "" for "" and for text that cannot be converted.
std::string WideToUtf8(std::wstring_view wide);

// The wide text of UTF-8 bytes; "" for "" and for bytes that are not UTF-8.
std::wstring Utf8ToWide(std::string_view utf8);

// The system's message for a system or socket error code with trailing carriage returns,
// line feeds and spaces removed (a final full stop stays); "" when the system has none.
std::wstring WindowsErrorText(std::uint32_t code);

// The trimming rule of WindowsErrorText on its own.
std::wstring TrimErrorText(std::wstring text);
