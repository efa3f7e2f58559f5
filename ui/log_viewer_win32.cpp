#include "ui/log_viewer_win32.h"

#include <mutex>

#include "common/event_log.h"
#include "common/folders.h"
#include "ui/log_tail.h"
#include "ui/ui_shared_win32.h"

namespace {

constexpr wchar_t kLogViewerClass[] = L"Tolvan_LogViewer_Wnd";

enum LogViewerId {
    IDC_LOG_TEXT = 3001,
    IDC_LOG_REFRESH = 3002,
    IDC_LOG_CLOSE = 3003,
    IDC_LOG_CLEAR = 3004,
};

bool classRegistered = false;

// Every layout number of the viewer, in pixels at 96 DPI; the window scales them by its
// DPI.
constexpr struct {
    int frameWidth = 760, frameHeight = 520;
    int textHeight = 12;  // the text area's character height
    LayoutPlace places[4] = {
        {IDC_LOG_TEXT, 12, false, 12, false, -24, -66},
        {IDC_LOG_REFRESH, 12, false, -44, true, 130, 32},
        {IDC_LOG_CLEAR, 152, false, -44, true, 130, 32},
        {IDC_LOG_CLOSE, -142, true, -44, true, 130, 32},
    };
} kLayout;

// What the open viewer is scaled for: its DPI and the fonts made for it, deleted with it.
struct {
    UINT dpi = kBaseDpi;
    HFONT textFont = nullptr;    // "Consolas", 12 pixels at 96 DPI
    HFONT buttonFont = nullptr;  // "Segoe UI", 10 points
} scale;

// Makes the fonts for `dpi` and gives them to the controls; the previous fonts are deleted
// only once no control holds them any more.
void ScaleFonts(HWND viewer, UINT dpi) {
    HFONT previousText = scale.textFont;
    HFONT previousButton = scale.buttonFont;
    scale.dpi = dpi;
    scale.textFont = CreateFontOr(-Scaled(kLayout.textHeight, dpi), L"Consolas", SYSTEM_FIXED_FONT);
    scale.buttonFont = CreateUiFont(dpi);
    SetControlFont(GetDlgItem(viewer, IDC_LOG_TEXT), scale.textFont);
    for (int id : {IDC_LOG_REFRESH, IDC_LOG_CLEAR, IDC_LOG_CLOSE}) {
        SetControlFont(GetDlgItem(viewer, id), scale.buttonFont);
    }
    DeleteFontSlot(previousText);
    DeleteFontSlot(previousButton);
}

HWND CreateViewerChild(HWND viewer, DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                       int id) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(viewer, GWLP_HINSTANCE));
    HWND control = CreateWindowExW(exStyle, className, text, style, 0, 0, 10, 10, viewer,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    return control;
}

void LayoutLogViewer(HWND viewer) {
    RECT client;
    GetClientRect(viewer, &client);
    const int w = client.right, h = client.bottom;
    for (const LayoutPlace& place : kLayout.places) {
        const PixelPlace at = ScaledPlace(place, w, h, scale.dpi);
        MoveWindow(GetDlgItem(viewer, place.id), at.x, at.y, at.width, at.height, TRUE);
    }
    InvalidateRect(GetDlgItem(viewer, IDC_LOG_TEXT), nullptr, TRUE);
}

LRESULT OnCreate(HWND viewer) {
    if (richEditModule == nullptr) richEditModule = LoadLibraryW(L"Msftedit.dll");
    if (richEditModule == nullptr) {
        MessageBoxW(viewer, L"Failed to load Msftedit.dll (RichEdit).", L"Error", MB_ICONERROR);
        return -1;
    }
    CreateViewerChild(viewer, WS_EX_CLIENTEDGE, L"RICHEDIT50W", L"",
                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL | ES_READONLY,
                      IDC_LOG_TEXT);
    const DWORD button = WS_CHILD | WS_VISIBLE;
    CreateViewerChild(viewer, 0, L"BUTTON", L"Refresh", button, IDC_LOG_REFRESH);
    CreateViewerChild(viewer, 0, L"BUTTON", L"Clear log", button, IDC_LOG_CLEAR);
    CreateViewerChild(viewer, 0, L"BUTTON", L"Close", button, IDC_LOG_CLOSE);
    ScaleFonts(viewer, WindowDpi(viewer));
    ReloadLogView(viewer);
    LayoutLogViewer(viewer);
    return 0;
}

void ClearLog(HWND viewer) {
    if (MessageBoxW(viewer, L"Delete the log file?", L"Confirm", MB_YESNO | MB_ICONWARNING) != IDYES) return;
    {
        std::lock_guard<std::mutex> hold(logMutex);
        EnsureFolder(GetLogFolder());
        DeleteFileW(GetLogFilePath().c_str());
    }
    ReloadLogView(viewer);
}

// The viewer now stands on a monitor of another scaling: new fonts, the suggested frame,
// a new layout.
void OnDpiChanged(HWND viewer, WPARAM wParam, LPARAM lParam) {
    ScaleFonts(viewer, DpiOfDpiChanged(wParam));
    TakeSuggestedRect(viewer, lParam);
    LayoutLogViewer(viewer);
}

void OnDestroy() {
    logViewerWnd = nullptr;
    DeleteFontSlot(scale.textFont);
    DeleteFontSlot(scale.buttonFont);
}

LRESULT OnCommand(HWND viewer, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDC_LOG_REFRESH: ReloadLogView(viewer); return 0;
        case IDC_LOG_CLEAR: ClearLog(viewer); return 0;
        case IDC_LOG_CLOSE: DestroyWindow(viewer); return 0;
        default: return DefWindowProcW(viewer, message, wParam, lParam);
    }
}

LRESULT CALLBACK LogViewerProc(HWND viewer, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnCreate(viewer);
        case WM_SIZE: LayoutLogViewer(viewer); return 0;
        case WM_ERASEBKGND: EraseWithWindowColour(viewer, reinterpret_cast<HDC>(wParam)); return 1;
        case WM_COMMAND: return OnCommand(viewer, message, wParam, lParam);
        case WM_CTLCOLORSTATIC: return ColourStaticControl(reinterpret_cast<HDC>(wParam));
        case WM_CLOSE: DestroyWindow(viewer); return 0;
        case WM_DPICHANGED: OnDpiChanged(viewer, wParam, lParam); return 0;
        case WM_DESTROY: OnDestroy(); return 0;
        default: return DefWindowProcW(viewer, message, wParam, lParam);
    }
}

}  // namespace

void ReloadLogView(HWND viewer) {
    // Held through the window update too, so a writer never lands between read and show.
    std::lock_guard<std::mutex> hold(logMutex);
    HWND text = GetDlgItem(viewer, IDC_LOG_TEXT);
    SetWindowTextW(text, LogViewText(GetLogFilePath()).c_str());
    SendMessageW(text, WM_VSCROLL, SB_TOP, 0);
}

void OpenLogViewer(HWND owner) {
    if (BringBackToolWindow(logViewerWnd)) {
        ReloadLogView(logViewerWnd);
        return;
    }
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
    if (!classRegistered) RegisterAppWindowClass(kLogViewerClass, LogViewerProc, instance);
    classRegistered = true;
    logViewerWnd = CreateWindowExW(WS_EX_DLGMODALFRAME, kLogViewerClass, L"HTTPS Log View", WS_OVERLAPPEDWINDOW,
                                   CW_USEDEFAULT, CW_USEDEFAULT, kLayout.frameWidth, kLayout.frameHeight, owner, nullptr,
                                   instance, nullptr);
    if (logViewerWnd == nullptr) return;
    SizeWindowForDpi(logViewerWnd, kLayout.frameWidth, kLayout.frameHeight, scale.dpi);
    ShowWindow(logViewerWnd, SW_SHOW);
    UpdateWindow(logViewerWnd);
}
