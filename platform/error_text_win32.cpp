#include "platform/error_text.h"

#include <windows.h>

namespace platform {

// Winsock codes (100xx) come from the same system table as Win32 codes. The text keeps
// the line end the system appends; the portable caller trims it.
std::wstring SystemErrorText(std::uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text = (length != 0 && buffer != nullptr) ? std::wstring(buffer, length) : L"";
    LocalFree(buffer);
    return text;
}

}  // namespace platform
