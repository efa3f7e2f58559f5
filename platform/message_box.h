// Message boxes: how the failures the user must act on reach the user.
#pragma once

#include <string>

namespace platform {

// The window that owns a box; null for none.
using WindowHandle = void*;

// Windows: a modal MessageBoxW with the error icon, owned by `owner`.
// Without a window system: the caption on one line and the text below it, on stderr.
void ShowErrorBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption);

// Windows: a modal MessageBoxW with Yes and No and the question icon; true for Yes.
// Without a window system there is no one to answer: the caption and text on stderr, No.
bool AskYesNo(WindowHandle owner, const std::wstring& textAndQuestion, const std::wstring& caption);

}  // namespace platform
