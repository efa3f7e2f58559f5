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

HFONT CreateFontOr(int height, const wchar_t* face, int stockFallback) {
    HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                             CLEARTYPE_QUALITY, 0, face);
    return font != nullptr ? font : static_cast<HFONT>(GetStockObject(stockFallback));
}

HWND CreateViewerChild(HWND viewer, DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                       int id, HFONT font) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(viewer, GWLP_HINSTANCE));
    HWND control = CreateWindowExW(exStyle, className, text, style, 0, 0, 10, 10, viewer,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return control;
}

void LayoutLogViewer(HWND viewer) {
    RECT client;
    GetClientRect(viewer, &client);
    const int w = client.right, h = client.bottom;
    MoveWindow(GetDlgItem(viewer, IDC_LOG_TEXT), 12, 12, w - 24, h - 66, TRUE);
    MoveWindow(GetDlgItem(viewer, IDC_LOG_REFRESH), 12, h - 44, 130, 32, TRUE);
    MoveWindow(GetDlgItem(viewer, IDC_LOG_CLEAR), 152, h - 44, 130, 32, TRUE);
    MoveWindow(GetDlgItem(viewer, IDC_LOG_CLOSE), w - 142, h - 44, 130, 32, TRUE);
    InvalidateRect(GetDlgItem(viewer, IDC_LOG_TEXT), nullptr, TRUE);
}

LRESULT OnCreate(HWND viewer) {
    if (richEditModule == nullptr) richEditModule = LoadLibraryW(L"Msftedit.dll");
    if (richEditModule == nullptr) {
        MessageBoxW(viewer, L"Failed to load Msftedit.dll (RichEdit).", L"Error", MB_ICONERROR);
        return -1;
    }
    if (logTextFont == nullptr) logTextFont = CreateFontOr(-12, L"Consolas", SYSTEM_FIXED_FONT);
    CreateViewerChild(viewer, WS_EX_CLIENTEDGE, L"RICHEDIT50W", L"",
                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL | ES_READONLY,
                      IDC_LOG_TEXT, logTextFont);
    if (logButtonFont == nullptr) logButtonFont = CreateFontOr(FontHeightForPoints(10), L"Segoe UI", DEFAULT_GUI_FONT);
    const DWORD button = WS_CHILD | WS_VISIBLE;
    CreateViewerChild(viewer, 0, L"BUTTON", L"Refresh", button, IDC_LOG_REFRESH, logButtonFont);
    CreateViewerChild(viewer, 0, L"BUTTON", L"Clear log", button, IDC_LOG_CLEAR, logButtonFont);
    CreateViewerChild(viewer, 0, L"BUTTON", L"Close", button, IDC_LOG_CLOSE, logButtonFont);
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
        case WM_DESTROY: logViewerWnd = nullptr; return 0;
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
                                   CW_USEDEFAULT, CW_USEDEFAULT, 760, 520, owner, nullptr, instance, nullptr);
    if (logViewerWnd == nullptr) return;
    ShowWindow(logViewerWnd, SW_SHOW);
    UpdateWindow(logViewerWnd);
}
