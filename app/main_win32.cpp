// The process entry of Pellwick.exe: one control window and the one message loop.
#include <objbase.h>
#include <windows.h>

#include "app/control_window_win32.h"
#include "common/event_log.h"
#include "platform/sockets.h"
#include "ui/ui_shared_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    platform::StartNetworkForProcess();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    RegisterAppWindowClass(kControlWindowClass, ControlWindowProc, instance);

    HWND window = CreateWindowExW(0, kControlWindowClass, kControlWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 780, 260, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CoUninitialize();
    // Not a return: the static destructors would run while connection threads that the
    // stop broke off may still use the records they destroy.
    EndProcessWithTheLogWhole(0);
}
