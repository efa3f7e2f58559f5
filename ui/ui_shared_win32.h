// What the windows of the process share: the tool windows' slots, the RichEdit library, the
// child control and window class helpers, and the scaling of layout numbers and fonts by a
// window's DPI. Touched only on the user-interface thread.
//
// Every layout number in this program is a pixel count at 96 DPI. The process is
// per-monitor DPI aware (the manifest), so Windows does not stretch its windows: each
// window scales its numbers and makes its fonts for its own DPI, and again when
// WM_DPICHANGED moves it to a monitor of another scaling. A font therefore belongs to one
// window and is deleted when that window is destroyed.
#pragma once

#include <windows.h>

#include <string>

extern HWND logViewerWnd;        // the open log viewer, cleared by it when destroyed
extern HWND fileManagerWnd;      // the open file manager, cleared by it when destroyed
extern HMODULE richEditModule;   // Msftedit.dll, loaded by the first log viewer

// Frees the RichEdit library and clears its slot; the control window calls it at its end.
void ReleaseSharedUi();

inline constexpr UINT kBaseDpi = 96;

// A layout number of 96 DPI at `dpi`, rounded to the nearest pixel: exactly `pixels` at 96.
int Scaled(int pixels, UINT dpi);

// A control's place in a window's layout table, in pixels at 96 DPI. Controls of a window
// that may be resized follow its client size W by H: `fromRight` and `fromBottom` count x
// or y back from W or H, and a width or height of 0 or less is W or H plus that number.
struct LayoutPlace {
    int id;
    int x;
    bool fromRight;
    int y;
    bool fromBottom;
    int width, height;
};

struct PixelPlace {
    int x, y, width, height;
};

// Where the place lies in a client area of `clientWidth` by `clientHeight` at `dpi`.
PixelPlace ScaledPlace(const LayoutPlace& place, int clientWidth, int clientHeight, UINT dpi);

// The DPI the window was created for (its monitor's); 96 when the system cannot tell.
UINT WindowDpi(HWND window);

// The DPI that WM_DPICHANGED announces (both words of wParam carry it).
UINT DpiOfDpiChanged(WPARAM wParam);

// A font of that face, character height (negative: pixels without the leading) and weight
// (400 unless told), ClearType; the stock font `stockFallback` when it cannot be made.
HFONT CreateFontOr(int height, const wchar_t* face, int stockFallback, int weight = FW_NORMAL);

// The controls' "Segoe UI" 10-point font at `dpi`: height -MulDiv(10, dpi, 72), so -13 at 96;
// FW_BOLD gives the same font bold, for a section's title.
HFONT CreateUiFont(UINT dpi, int weight = FW_NORMAL);

// Deletes a font made by CreateFontOr (a stock fallback is left alone) and clears the slot.
void DeleteFontSlot(HFONT& font);

// Gives the control the font and redraws it.
void SetControlFont(HWND control, HFONT font);

// A child control with extended style 0 and `font`; null when it cannot be created.
HWND CreateChildControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                        int height, HWND parent, int id, HINSTANCE instance, HFONT font);

// Sizes the window's frame to `width` by `height` at 96 DPI scaled to `dpi`, keeping its
// top-left corner, and keeps it inside its monitor's work area.
void SizeWindowForDpi(HWND window, int width, int height, UINT dpi);

// Moves and sizes the window to the rectangle that WM_DPICHANGED suggests (lParam), kept
// inside its monitor's work area.
void TakeSuggestedRect(HWND window, LPARAM suggested);

// Moves `frame` into the work area of the monitor nearest to it, shrinking it where it is
// larger; returns the result.
RECT ClampToWorkArea(RECT frame);

// The system colour brush COLOR_WINDOW + 1 over the client rectangle.
void EraseWithWindowColour(HWND window, HDC dc);

// Static controls draw on the window colour: transparent text in the window text colour;
// returns the brush COLOR_WINDOW + 1 for WM_CTLCOLORSTATIC.
LRESULT ColourStaticControl(HDC dc);

// Starts the program of the command line (found as CreateProcessW finds it) and lets it run
// on its own; false, with GetLastError() set, when it could not be started.
bool StartCommandLine(const std::wstring& commandLine);

// Registers a window class of this application: the program's icon (large and small, the
// executable's icon resource 1), arrow cursor, window-colour background, no menu, no extra
// bytes. The result is not examined.
void RegisterAppWindowClass(const wchar_t* className, WNDPROC procedure, HINSTANCE instance);

// Restores a tool window that is still open, brings it to the front and returns true;
// false when `window` names no window.
bool BringBackToolWindow(HWND window);
