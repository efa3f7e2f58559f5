#include "platform/error_text.h"

#include <cstring>

#include "platform/text.h"

namespace platform {

std::wstring SystemErrorText(std::uint32_t code) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    if (text == nullptr) return L"";
    // glibc names codes it does not know "Unknown error N": that is no system text.
    if (std::strncmp(text, "Unknown error", 13) == 0) return L"";
    return Utf8ToWideText(text);
}

}  // namespace platform
