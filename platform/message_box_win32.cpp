#include "platform/message_box.h"

#include <windows.h>

namespace platform {

void ShowErrorBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption) {
    MessageBoxW(static_cast<HWND>(owner), text.c_str(), caption.c_str(), MB_ICONERROR);
}

bool AskYesNo(WindowHandle owner, const std::wstring& textAndQuestion, const std::wstring& caption) {
    return MessageBoxW(static_cast<HWND>(owner), textAndQuestion.c_str(), caption.c_str(),
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace platform
