// The control window: start and stop, the status lamp and panel, and the buttons that open
// the log viewer and the file manager.
#pragma once

#include <windows.h>

inline constexpr wchar_t kControlWindowClass[] = L"Tolvan_Server_OpenSSL_Wnd";
// The version is the project's (CMakeLists.txt), the same as in the version resource.
inline constexpr wchar_t kControlWindowTitle[] = L"Pellwick v" PELLWICK_VERSION;

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
