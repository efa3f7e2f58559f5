#include "platform/console.h"

#include <windows.h>

#include "platform/text.h"

namespace platform {

namespace {

// Manual-reset, so that once the process is asked to end every later wait returns too.
HANDLE TerminationEvent() {
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

// Runs on a thread the system starts for each console event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            SetEvent(TerminationEvent());
            return TRUE;
        case CTRL_CLOSE_EVENT:
            SetEvent(TerminationEvent());
            // The system ends the process as soon as this handler returns. Holding on lends
            // the main thread the grace period (about 5 s) to stop the server; its own exit
            // then ends the process, this thread included.
            Sleep(INFINITE);
            return TRUE;
        default:
            return FALSE;
    }
}

// A console shows UTF-16 whatever its code page, so text for it goes through
// WriteConsoleW; a pipe or a file gets the bytes unchanged, with no CRLF translation.
void WriteTo(DWORD which, const std::string& utf8) {
    const HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE || utf8.empty()) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = Utf8ToWideText(utf8);
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}

}  // namespace

void PrepareForTermination() {
    TerminationEvent();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void WaitForTermination() {
    WaitForSingleObject(TerminationEvent(), INFINITE);
}

void WriteStdout(const std::string& utf8) {
    WriteTo(STD_OUTPUT_HANDLE, utf8);
}

void WriteStderr(const std::string& utf8) {
    WriteTo(STD_ERROR_HANDLE, utf8);
}

}  // namespace platform
