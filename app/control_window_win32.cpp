#include "app/control_window_win32.h"

#include "app/start_check.h"
#include "app/status_text.h"
#include "common/folders.h"
#include "server/server.h"
#include "ui/file_manager_win32.h"
#include "ui/log_viewer_win32.h"
#include "ui/ui_shared_win32.h"

namespace {

// The status panel is shown, the window in its tall form.
bool statusExpanded = false;

enum ControlId {
    IDC_START_STOP = 1001,
    IDC_FILE_MANAGER = 1005,
    IDC_LOG = 1006,
    IDC_STATUS = 1007,
    IDC_STATUS_TEXT = 1010,
    IDC_STATUS_LAMP = 1011,
};

constexpr UINT_PTR STATUS_TIMER_ID = 1;
constexpr UINT kStatusTimerMs = 800;
constexpr int kClientWidth = 680;
constexpr int kSmallClientHeight = 66;
constexpr int kTallClientHeight = 348;

struct ControlPlace {
    int id;
    int x, y, width, height;
};

// The lamp and the four buttons stand still; only the status text follows the size.
constexpr ControlPlace kFixedPlaces[] = {
    {IDC_STATUS_LAMP, 12, 17, 22, 22},
    {IDC_START_STOP, 44, 12, 140, 32},
    {IDC_FILE_MANAGER, 194, 12, 140, 32},
    {IDC_LOG, 344, 12, 140, 32},
    {IDC_STATUS, 494, 12, 170, 32},
};

void RepaintLamp(HWND window) {
    InvalidateRect(GetDlgItem(window, IDC_STATUS_LAMP), nullptr, TRUE);
}

void SetStartStopText(HWND window, bool running) {
    SetWindowTextW(GetDlgItem(window, IDC_START_STOP), running ? L"Stop server" : L"Start server");
}

// Every start first renews a certificate of ours that is due, and warns of an expired one.
bool CheckAndStartServer(HWND window) {
    CheckCertificatesBeforeStart(GetExeFolder(), window, platform::ShowErrorBox);
    return StartServer(window);
}

// Gives the window a client area of the fixed width and the given height, keeping its
// top-left corner.
void ResizeToClient(HWND window, int clientHeight) {
    RECT frame = {0, 0, kClientWidth, clientHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    RECT current;
    GetWindowRect(window, &current);
    SetWindowPos(window, nullptr, current.left, current.top, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayoutControls(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    for (const ControlPlace& place : kFixedPlaces) {
        MoveWindow(GetDlgItem(window, place.id), place.x, place.y, place.width, place.height, TRUE);
    }
    HWND statusText = GetDlgItem(window, IDC_STATUS_TEXT);
    if (statusExpanded) {
        int height = client.bottom - 66;
        if (height > 260) height = 260;
        if (height < 60) height = 60;
        ShowWindow(statusText, SW_SHOW);
        MoveWindow(statusText, 12, 54, client.right - 24, height, TRUE);
    } else {
        ShowWindow(statusText, SW_HIDE);
    }
    InvalidateRect(window, nullptr, TRUE);
}

// Rebuilds the status text (with its port probe) and repaints the lamp.
void UpdateStatusPanel(HWND window) {
    SetWindowTextW(GetDlgItem(window, IDC_STATUS_TEXT), CurrentStatusText().c_str());
    RepaintLamp(window);
}

void PaintLamp(const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    HBRUSH brush = CreateSolidBrush(serverState.running ? RGB(0, 200, 0) : RGB(220, 0, 0));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(60, 60, 60));
    HGDIOBJ oldPen = SelectObject(item.hDC, pen);
    HGDIOBJ oldBrush = SelectObject(item.hDC, brush);
    const RECT& r = item.rcItem;
    int d = ((r.right - r.left) < (r.bottom - r.top) ? (r.right - r.left) : (r.bottom - r.top)) - 2;
    Ellipse(item.hDC, r.left + 2, r.top + 2, r.left + d, r.top + d);
    SelectObject(item.hDC, oldPen);
    SelectObject(item.hDC, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

LRESULT OnCreate(HWND window) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    const DWORD button = WS_CHILD | WS_VISIBLE;
    CreateChildControl(L"BUTTON", L"Stop server", button, 44, 12, 140, 32, window, IDC_START_STOP, instance);
    CreateChildControl(L"BUTTON", L"File Manager", button, 194, 12, 140, 32, window, IDC_FILE_MANAGER, instance);
    CreateChildControl(L"BUTTON", L"Log", button, 344, 12, 140, 32, window, IDC_LOG, instance);
    CreateChildControl(L"BUTTON", L"Status", button, 494, 12, 170, 32, window, IDC_STATUS, instance);
    CreateChildControl(L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 12, 17, 22, 22, window,
                       IDC_STATUS_LAMP, instance);
    CreateChildControl(L"STATIC", L"", WS_CHILD | SS_LEFT, 12, 54, 656, 260, window, IDC_STATUS_TEXT, instance);
    ShowWindow(GetDlgItem(window, IDC_STATUS_TEXT), SW_HIDE);
    ResizeToClient(window, kSmallClientHeight);
    // The server starts by itself; a failed start shows its box before the window does.
    SetStartStopText(window, CheckAndStartServer(window));
    SetTimer(window, STATUS_TIMER_ID, kStatusTimerMs, nullptr);
    UpdateStatusPanel(window);
    LayoutControls(window);
    return 0;
}

void OnStartStop(HWND window) {
    if (serverState.running) {
        StopServer();
        SetStartStopText(window, false);
    } else {
        SetStartStopText(window, CheckAndStartServer(window));
    }
    if (statusExpanded) UpdateStatusPanel(window);
    RepaintLamp(window);
}

void OnStatusToggle(HWND window) {
    statusExpanded = !statusExpanded;
    if (statusExpanded) {
        UpdateStatusPanel(window);
        ResizeToClient(window, kTallClientHeight);
    } else {
        ResizeToClient(window, kSmallClientHeight);
    }
    LayoutControls(window);
}

LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDC_START_STOP: OnStartStop(window); return 0;
        case IDC_FILE_MANAGER: OpenFileManager(window); return 0;
        case IDC_LOG: OpenLogViewer(window); return 0;
        case IDC_STATUS: OnStatusToggle(window); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT OnDrawItem(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item == nullptr || item->CtlID != IDC_STATUS_LAMP) return DefWindowProcW(window, message, wParam, lParam);
    PaintLamp(*item);
    return TRUE;
}

void OnTimer(HWND window) {
    if (statusExpanded) {
        UpdateStatusPanel(window);
    } else {
        RepaintLamp(window);
    }
}

void OnDestroy(HWND window) {
    KillTimer(window, STATUS_TIMER_ID);
    StopServer();
    ReleaseSharedUi();
    PostQuitMessage(0);
}

}  // namespace

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnCreate(window);
        case WM_SIZE: LayoutControls(window); return 0;
        case WM_ERASEBKGND: EraseWithWindowColour(window, reinterpret_cast<HDC>(wParam)); return 1;
        case WM_DRAWITEM: return OnDrawItem(window, message, wParam, lParam);
        case WM_COMMAND: return OnCommand(window, message, wParam, lParam);
        case WM_TIMER: OnTimer(window); return 0;
        case WM_CTLCOLORSTATIC: return ColourStaticControl(reinterpret_cast<HDC>(wParam));
        case WM_DESTROY: OnDestroy(window); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}
