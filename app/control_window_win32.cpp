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

struct ControlPlace {
    int id;
    int x, y, width, height;
};

// Every layout number of the window, in pixels at 96 DPI; the window scales them by its DPI.
constexpr struct {
    int clientWidth = 680;
    int smallClientHeight = 66;
    int tallClientHeight = 348;
    // The lamp and the four buttons stand still; only the status text follows the size.
    ControlPlace fixed[5] = {
        {IDC_STATUS_LAMP, 12, 17, 22, 22},
        {IDC_START_STOP, 44, 12, 140, 32},
        {IDC_FILE_MANAGER, 194, 12, 140, 32},
        {IDC_LOG, 344, 12, 140, 32},
        {IDC_STATUS, 494, 12, 170, 32},
    };
    // The status text: at (x, y), as wide as the client less `widthLess`, as high as the
    // client less `heightLess` within its limits.
    int statusX = 12, statusY = 54, statusWidthLess = 24, statusHeightLess = 66;
    int statusMinHeight = 60, statusMaxHeight = 260;
    int lampInset = 2, lampPenWidth = 1;
} kLayout;

// What the window is scaled for: its DPI and the controls' font made for it.
struct {
    UINT dpi = kBaseDpi;
    HFONT font = nullptr;
} scale;

int Px(int pixelsAt96) {
    return Scaled(pixelsAt96, scale.dpi);
}

void RepaintLamp(HWND window) {
    InvalidateRect(GetDlgItem(window, IDC_STATUS_LAMP), nullptr, TRUE);
}

void SetStartStopText(HWND window, bool running) {
    SetWindowTextW(GetDlgItem(window, IDC_START_STOP), running ? L"Stop server" : L"Start server");
}

// Every start first makes a missing pair or renews one of ours that is due, and warns of
// an expired one.
bool CheckAndStartServer(HWND window) {
    CheckCertificatesBeforeStart(GetExeFolder(), window, {platform::ShowErrorBox, platform::AskYesNo});
    return StartServer(window);
}

// Gives the window a client area of the fixed width and the given height (96-DPI pixels,
// scaled), keeping its top-left corner unless that would leave the monitor's work area.
void ResizeToClient(HWND window, int clientHeight) {
    RECT frame = {0, 0, Px(kLayout.clientWidth), Px(clientHeight)};
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), scale.dpi);
    RECT current;
    GetWindowRect(window, &current);
    const RECT kept = ClampToWorkArea(RECT{current.left, current.top, current.left + frame.right - frame.left,
                                           current.top + frame.bottom - frame.top});
    SetWindowPos(window, nullptr, kept.left, kept.top, kept.right - kept.left, kept.bottom - kept.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayoutControls(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    for (const ControlPlace& place : kLayout.fixed) {
        MoveWindow(GetDlgItem(window, place.id), Px(place.x), Px(place.y), Px(place.width), Px(place.height), TRUE);
    }
    HWND statusText = GetDlgItem(window, IDC_STATUS_TEXT);
    if (statusExpanded) {
        int height = client.bottom - Px(kLayout.statusHeightLess);
        if (height > Px(kLayout.statusMaxHeight)) height = Px(kLayout.statusMaxHeight);
        if (height < Px(kLayout.statusMinHeight)) height = Px(kLayout.statusMinHeight);
        ShowWindow(statusText, SW_SHOW);
        MoveWindow(statusText, Px(kLayout.statusX), Px(kLayout.statusY),
                   client.right - Px(kLayout.statusWidthLess), height, TRUE);
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
    HPEN pen = CreatePen(PS_SOLID, Px(kLayout.lampPenWidth), RGB(60, 60, 60));
    HGDIOBJ oldPen = SelectObject(item.hDC, pen);
    HGDIOBJ oldBrush = SelectObject(item.hDC, brush);
    const RECT& r = item.rcItem;
    const int inset = Px(kLayout.lampInset);
    int d = ((r.right - r.left) < (r.bottom - r.top) ? (r.right - r.left) : (r.bottom - r.top)) - inset;
    Ellipse(item.hDC, r.left + inset, r.top + inset, r.left + d, r.top + d);
    SelectObject(item.hDC, oldPen);
    SelectObject(item.hDC, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

// A control at its place in the layout (LayoutControls moves it there again anyway).
void CreatePlacedControl(HWND window, HINSTANCE instance, const wchar_t* className, const wchar_t* text,
                         DWORD style, int id) {
    ControlPlace place = {id, kLayout.statusX, kLayout.statusY, kLayout.clientWidth - kLayout.statusWidthLess,
                          kLayout.statusMaxHeight};
    for (const ControlPlace& fixed : kLayout.fixed) {
        if (fixed.id == id) place = fixed;
    }
    CreateChildControl(className, text, style, Px(place.x), Px(place.y), Px(place.width), Px(place.height), window,
                       id, instance, scale.font);
}

LRESULT OnCreate(HWND window) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    scale.dpi = WindowDpi(window);
    scale.font = CreateUiFont(scale.dpi);
    const DWORD button = WS_CHILD | WS_VISIBLE;
    CreatePlacedControl(window, instance, L"BUTTON", L"Stop server", button, IDC_START_STOP);
    CreatePlacedControl(window, instance, L"BUTTON", L"File Manager", button, IDC_FILE_MANAGER);
    CreatePlacedControl(window, instance, L"BUTTON", L"Log", button, IDC_LOG);
    CreatePlacedControl(window, instance, L"BUTTON", L"Status", button, IDC_STATUS);
    CreatePlacedControl(window, instance, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, IDC_STATUS_LAMP);
    CreatePlacedControl(window, instance, L"STATIC", L"", WS_CHILD | SS_LEFT, IDC_STATUS_TEXT);
    ShowWindow(GetDlgItem(window, IDC_STATUS_TEXT), SW_HIDE);
    ResizeToClient(window, kLayout.smallClientHeight);
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
        ResizeToClient(window, kLayout.tallClientHeight);
    } else {
        ResizeToClient(window, kLayout.smallClientHeight);
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

// The window now stands on a monitor of another scaling: it takes the frame Windows
// suggests and scales its font and layout to the new DPI.
void OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam) {
    scale.dpi = DpiOfDpiChanged(wParam);
    HFONT previous = scale.font;
    scale.font = CreateUiFont(scale.dpi);
    for (int id : {IDC_START_STOP, IDC_FILE_MANAGER, IDC_LOG, IDC_STATUS, IDC_STATUS_LAMP, IDC_STATUS_TEXT}) {
        SetControlFont(GetDlgItem(window, id), scale.font);
    }
    DeleteFontSlot(previous);
    TakeSuggestedRect(window, lParam);
    LayoutControls(window);
}

void OnDestroy(HWND window) {
    KillTimer(window, STATUS_TIMER_ID);
    StopServer();
    DeleteFontSlot(scale.font);
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
        case WM_DPICHANGED: OnDpiChanged(window, wParam, lParam); return 0;
        case WM_DESTROY: OnDestroy(window); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}
