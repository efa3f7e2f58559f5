#include "platform/text.h"

#include <cstdint>

namespace platform {

// Wide characters are UTF-32 here. Like the Windows conversions without strict flags, what
// is not well formed (a surrogate or a value above U+10FFFF on one side, a broken or
// overlong sequence on the other) becomes U+FFFD and the rest converts: one odd byte in a
// log line must not blank the whole text.

std::string WideToUtf8Text(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t character : wide) {
        auto c = static_cast<std::uint32_t>(character);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000 || c > 0x10FFFF) {
            if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring Utf8ToWideText(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        int trail;
        std::uint32_t c;
        std::uint32_t least;
        if (lead < 0x80) {
            trail = 0, c = lead, least = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            trail = 1, c = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            trail = 2, c = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            trail = 3, c = lead & 0x07, least = 0x10000;
        } else {
            trail = -1, c = 0, least = 0;
        }
        std::size_t taken = 0;
        while (static_cast<int>(taken) < trail && i + 1 + taken < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + 1 + taken]) & 0xC0) == 0x80) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + 1 + taken]) & 0x3F);
            ++taken;
        }
        // A stray or cut-short sequence, an overlong form, a surrogate or a value past
        // Unicode is one replacement character; the bytes that follow are read afresh.
        bool valid = static_cast<int>(taken) == trail && c >= least && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        out += valid ? static_cast<wchar_t>(c) : L'\uFFFD';
        i += 1 + taken;
    }
    return out;
}

}  // namespace platform
