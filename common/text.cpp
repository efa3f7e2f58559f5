#include "common/text.h"

#include "platform/error_text.h"
#include "platform/text.h"

std::string WideToUtf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    return platform::WideToUtf8Text(wide);
}

std::wstring Utf8ToWide(std::string_view utf8) {
    if (utf8.empty()) return {};
    return platform::Utf8ToWideText(utf8);
}

std::wstring WindowsErrorText(std::uint32_t code) {
    return TrimErrorText(platform::SystemErrorText(code));
}

std::wstring TrimErrorText(std::wstring text) {
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return text;
}
