// What the windows of the process share: the fonts, the tool windows' slots, the child
// control and window class helpers. Touched only on the user-interface thread; created on
// first need and released by the control window, through ReleaseSharedUi, when it is
// destroyed.
#pragma once

#include <windows.h>

extern HFONT uiFont;             // the controls' "Segoe UI" 10-point font
extern HWND logViewerWnd;        // the open log viewer, cleared by it when destroyed
extern HWND fileManagerWnd;      // the open file manager, cleared by it when destroyed
extern HFONT logTextFont;        // the log viewer's "Consolas" text font
extern HFONT logButtonFont;      // the log viewer's button font
extern HMODULE richEditModule;   // Msftedit.dll, loaded by the first log viewer

// Deletes the shared fonts and frees the RichEdit library, clearing their slots.
void ReleaseSharedUi();

// A child control with `uiFont`; null when it cannot be created.
HWND CreateChildControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                        int height, HWND parent, int id, HINSTANCE instance);

// The font height of `points` on the screen: -MulDiv(points, LOGPIXELSY, 72), 96 dpi
// when the screen cannot be asked.
int FontHeightForPoints(int points);

// The system colour brush COLOR_WINDOW + 1 over the client rectangle.
void EraseWithWindowColour(HWND window, HDC dc);

// Static controls draw on the window colour: transparent text in the window text colour;
// returns the brush COLOR_WINDOW + 1 for WM_CTLCOLORSTATIC.
LRESULT ColourStaticControl(HDC dc);

// Registers a window class of this application: arrow cursor, window-colour background,
// no icon, no menu, no extra bytes. The result is not examined.
void RegisterAppWindowClass(const wchar_t* className, WNDPROC procedure, HINSTANCE instance);

// Restores a tool window that is still open, brings it to the front and returns true;
// false when `window` names no window.
bool BringBackToolWindow(HWND window);
