#include "ui/ui_shared_win32.h"

HFONT uiFont = nullptr;
HWND logViewerWnd = nullptr;
HWND fileManagerWnd = nullptr;
HFONT logTextFont = nullptr;
HFONT logButtonFont = nullptr;
HMODULE richEditModule = nullptr;

namespace {

void DeleteFontSlot(HFONT& font) {
    if (font != nullptr) DeleteObject(font);
    font = nullptr;
}

}  // namespace

void ReleaseSharedUi() {
    DeleteFontSlot(uiFont);
    DeleteFontSlot(logTextFont);
    DeleteFontSlot(logButtonFont);
    if (richEditModule != nullptr) FreeLibrary(richEditModule);
    richEditModule = nullptr;
}

int FontHeightForPoints(int points) {
    int dpi = 96;
    if (HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    return -MulDiv(points, dpi, 72);
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

void RegisterAppWindowClass(const wchar_t* className, WNDPROC procedure, HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
}

bool BringBackToolWindow(HWND window) {
    if (window == nullptr || !IsWindow(window)) return false;
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    return true;
}

HWND CreateChildControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                        int height, HWND parent, int id, HINSTANCE instance) {
    HWND control = CreateWindowExW(0, className, text, style, x, y, width, height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (control == nullptr) return nullptr;
    if (uiFont == nullptr) {
        uiFont = CreateFontW(FontHeightForPoints(10), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             L"Segoe UI");
        if (uiFont == nullptr) uiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    if (uiFont != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont), TRUE);
    return control;
}
