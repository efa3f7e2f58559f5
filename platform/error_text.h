// Error text: the system's own wording for an error code.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The system's message for the code, exactly as the system gives it (untrimmed); "" when
// it has none. Windows: FormatMessageW for Win32 and Winsock codes; POSIX: strerror_r of
// an errno value.
std::wstring SystemErrorText(std::uint32_t code);

}  // namespace platform
