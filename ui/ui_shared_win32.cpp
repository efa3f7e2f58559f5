#include "ui/ui_shared_win32.h"

#include <algorithm>

HWND logViewerWnd = nullptr;
HWND fileManagerWnd = nullptr;
HMODULE richEditModule = nullptr;

namespace {

// The icon resource of both executables (version.rc.in).
constexpr int kAppIconId = 1;

HICON LoadAppIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), LR_SHARED));
}

}  // namespace

void ReleaseSharedUi() {
    if (richEditModule != nullptr) FreeLibrary(richEditModule);
    richEditModule = nullptr;
}

int Scaled(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

PixelPlace ScaledPlace(const LayoutPlace& place, int clientWidth, int clientHeight, UINT dpi) {
    PixelPlace scaled;
    scaled.x = (place.fromRight ? clientWidth : 0) + Scaled(place.x, dpi);
    scaled.y = (place.fromBottom ? clientHeight : 0) + Scaled(place.y, dpi);
    scaled.width = (place.width > 0 ? 0 : clientWidth) + Scaled(place.width, dpi);
    scaled.height = (place.height > 0 ? 0 : clientHeight) + Scaled(place.height, dpi);
    return scaled;
}

UINT WindowDpi(HWND window) {
    const UINT dpi = GetDpiForWindow(window);
    return dpi != 0 ? dpi : kBaseDpi;
}

UINT DpiOfDpiChanged(WPARAM wParam) {
    const UINT dpi = HIWORD(wParam);
    return dpi != 0 ? dpi : kBaseDpi;
}

HFONT CreateFontOr(int height, const wchar_t* face, int stockFallback, int weight) {
    HFONT font = CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
    return font != nullptr ? font : static_cast<HFONT>(GetStockObject(stockFallback));
}

HFONT CreateUiFont(UINT dpi, int weight) {
    return CreateFontOr(-MulDiv(10, static_cast<int>(dpi), 72), L"Segoe UI", DEFAULT_GUI_FONT, weight);
}

void DeleteFontSlot(HFONT& font) {
    // Deleting a stock object is a harmless no-op, so the fallback needs no mark of its own.
    if (font != nullptr) DeleteObject(font);
    font = nullptr;
}

void SetControlFont(HWND control, HFONT font) {
    if (control != nullptr && font != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

HWND CreateChildControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                        int height, HWND parent, int id, HINSTANCE instance, HFONT font) {
    HWND control = CreateWindowExW(0, className, text, style, x, y, width, height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SetControlFont(control, font);
    return control;
}

RECT ClampToWorkArea(RECT frame) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromRect(&frame, MONITOR_DEFAULTTONEAREST), &monitor)) return frame;
    const RECT& work = monitor.rcWork;
    const LONG width = std::min(frame.right - frame.left, work.right - work.left);
    const LONG height = std::min(frame.bottom - frame.top, work.bottom - work.top);
    const LONG left = std::max(work.left, std::min(frame.left, work.right - width));
    const LONG top = std::max(work.top, std::min(frame.top, work.bottom - height));
    return RECT{left, top, left + width, top + height};
}

namespace {

void PlaceFrame(HWND window, const RECT& frame) {
    const RECT kept = ClampToWorkArea(frame);
    SetWindowPos(window, nullptr, kept.left, kept.top, kept.right - kept.left, kept.bottom - kept.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void SizeWindowForDpi(HWND window, int width, int height, UINT dpi) {
    RECT frame;
    GetWindowRect(window, &frame);
    frame.right = frame.left + Scaled(width, dpi);
    frame.bottom = frame.top + Scaled(height, dpi);
    PlaceFrame(window, frame);
}

void TakeSuggestedRect(HWND window, LPARAM suggested) {
    PlaceFrame(window, *reinterpret_cast<const RECT*>(suggested));
}

void EraseWithWindowColour(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
}

LRESULT ColourStaticControl(HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return static_cast<LRESULT>(COLOR_WINDOW + 1);
}

bool StartCommandLine(const std::wstring& commandLine) {
    std::wstring writable = commandLine;  // CreateProcessW may write into its command line
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void RegisterAppWindowClass(const wchar_t* className, WNDPROC procedure, HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadAppIcon(instance, SM_CXICON, SM_CYICON);
    windowClass.hIconSm = LoadAppIcon(instance, SM_CXSMICON, SM_CYSMICON);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
}

bool BringBackToolWindow(HWND window) {
    if (window == nullptr || !IsWindow(window)) return false;
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    return true;
}
