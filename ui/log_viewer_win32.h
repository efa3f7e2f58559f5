// The log viewer: the newest lines of the event log, with Refresh, Clear log and Close.
#pragma once

#include <windows.h>

// Opens the viewer owned by the control window, or brings the open one back and reloads it.
void OpenLogViewer(HWND owner);

// Reads the log's tail under the log lock into the viewer's text area, scrolled to the top.
void ReloadLogView(HWND viewer);
