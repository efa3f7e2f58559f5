// The control window: start and stop, the status lamp and panel, and the buttons that open
// the log viewer and the file manager.
#pragma once

#include <windows.h>

#include "pellwick_names.h"  // kControlWindowClass

// The title names the first version whatever the release's version is.
inline constexpr wchar_t kControlWindowTitle[] = L"Pellwick v1.0";

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
