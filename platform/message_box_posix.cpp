#include "platform/message_box.h"

#include "platform/console.h"
#include "platform/text.h"

namespace platform {

void ShowErrorBox(WindowHandle, const std::wstring& text, const std::wstring& caption) {
    WriteStderr(WideToUtf8Text(caption) + "\n" + WideToUtf8Text(text) + "\n");
}

bool AskYesNo(WindowHandle owner, const std::wstring& textAndQuestion, const std::wstring& caption) {
    ShowErrorBox(owner, textAndQuestion, caption);
    return false;
}

}  // namespace platform
