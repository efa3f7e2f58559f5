// The file manager: the files at the top of the Web Root, with Explorer, Import files,
// Delete files, Notepad, Refresh and Close.
#pragma once

#include <windows.h>

// Opens the file manager owned by the control window, or brings the open one back and
// lists the folder again.
void OpenFileManager(HWND owner);

// Lists the files (not the folders) directly in the Web Root, creating it when missing.
void RefreshFileList(HWND window);
