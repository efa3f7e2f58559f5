#include "ui/file_manager_win32.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <string>
#include <vector>

#include "common/folders.h"
#include "ui/file_names.h"
#include "ui/ui_shared_win32.h"

namespace {

constexpr wchar_t kFileManagerClass[] = L"Tolvan_FileManager_Wnd";
constexpr DWORD kOpenFileBufferChars = 65536;

enum FileManagerId {
    IDC_FILE_LIST = 2001,
    IDC_FM_REFRESH = 2002,
    IDC_FM_DELETE = 2003,
    IDC_FM_CLOSE = 2004,
    IDC_FM_IMPORT = 2005,
    IDC_FM_NOTEPAD = 2006,
    IDC_FM_EXPLORER = 2007,
};

bool classRegistered = false;

// Every layout number of the window, in pixels at 96 DPI; the window scales them by its
// DPI.
constexpr struct {
    int frameWidth = 900, frameHeight = 560;
    int listMinHeight = 60;
    LayoutPlace places[7] = {
        {IDC_FM_EXPLORER, 12, false, 12, false, 130, 32},
        {IDC_FM_IMPORT, 152, false, 12, false, 130, 32},
        {IDC_FM_DELETE, 292, false, 12, false, 150, 32},
        {IDC_FM_NOTEPAD, 452, false, 12, false, 130, 32},
        {IDC_FM_REFRESH, 12, false, -44, true, 130, 32},
        {IDC_FM_CLOSE, -142, true, -44, true, 130, 32},
        {IDC_FILE_LIST, 12, false, 54, false, -24, -108},
    };
} kLayout;

// What the open window is scaled for: its DPI and the controls' font, deleted with it.
struct {
    UINT dpi = kBaseDpi;
    HFONT font = nullptr;
} scale;

HWND FileList(HWND window) {
    return GetDlgItem(window, IDC_FILE_LIST);
}

// The selected entries' names, in list order.
std::vector<std::wstring> SelectedNames(HWND window) {
    HWND list = FileList(window);
    LRESULT count = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return {};
    std::vector<int> indices(static_cast<size_t>(count), 0);
    LRESULT got = SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(indices.data()));
    if (got <= 0) return {};
    std::vector<std::wstring> names;
    for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i) {
        wchar_t name[MAX_PATH] = {};
        const auto index = static_cast<WPARAM>(indices[i]);
        // An entry longer than a file name cannot come from the listing; it is skipped
        // rather than overrunning the buffer.
        if (SendMessageW(list, LB_GETTEXTLEN, index, 0) >= MAX_PATH) continue;
        SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(name));
        names.emplace_back(name);
    }
    return names;
}

bool ShowNothingSelected(HWND window, const std::vector<std::wstring>& names) {
    if (!names.empty()) return false;
    MessageBoxW(window, L"Please select one or more files first.", L"Info", MB_ICONINFORMATION);
    return true;
}

// Deletes exactly the files named in the confirmation: the names are read once, so a
// list refilled while the box is open cannot redirect the deletion.
bool DeleteSelectedFiles(HWND window) {
    std::vector<std::wstring> names = SelectedNames(window);
    if (ShowNothingSelected(window, names)) return false;
    for (const std::wstring& name : names) {
        if (!IsValidFileName(name)) {
            MessageBoxW(window, L"Invalid file name detected. Aborting.", L"Error", MB_ICONERROR);
            return false;
        }
    }
    std::wstring question = BuildDeleteConfirmation(names);
    if (MessageBoxW(window, question.c_str(), L"Confirm", MB_YESNO | MB_ICONWARNING) != IDYES) return false;
    const std::wstring webRoot = GetWebRootFolder();
    int deleted = 0;
    for (const std::wstring& name : names) {
        if (DeleteFileW((webRoot + name).c_str())) ++deleted;
    }
    RefreshFileList(window);
    return deleted > 0;
}

void OpenSelectedInNotepad(HWND window) {
    std::vector<std::wstring> names = SelectedNames(window);
    if (ShowNothingSelected(window, names)) return;
    const std::wstring webRoot = GetWebRootFolder();
    for (const std::wstring& name : names) {
        if (!IsValidFileName(name)) continue;
        StartCommandLine(NotepadCommandLine(webRoot + name));
    }
}

void ImportFiles(HWND window) {
    const std::wstring webRoot = GetWebRootFolder();
    if (!EnsureFolder(webRoot)) {
        MessageBoxW(window, (L"Failed to create Web Root directory:\n" + webRoot).c_str(), L"Error", MB_ICONERROR);
        return;
    }
    std::vector<wchar_t> buffer(kOpenFileBufferChars, L'\0');
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window;
    dialog.lpstrFilter = L"All Files\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = kOpenFileBufferChars;
    dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) return;
    for (const std::wstring& source : ParseOpenFileResult(buffer.data(), buffer.size())) {
        std::wstring name = ImportTargetName(source);
        if (!name.empty()) CopyFileW(source.c_str(), (webRoot + name).c_str(), FALSE);
    }
}

void OpenWebRootInExplorer(HWND window) {
    const std::wstring webRoot = GetWebRootFolder();
    EnsureFolder(webRoot);
    ShellExecuteW(window, L"open", L"explorer.exe", webRoot.c_str(), nullptr, SW_SHOWNORMAL);
}

void LayoutFileManager(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const int w = client.right, h = client.bottom;
    const int leastListHeight = Scaled(kLayout.listMinHeight, scale.dpi);
    for (const LayoutPlace& place : kLayout.places) {
        PixelPlace at = ScaledPlace(place, w, h, scale.dpi);
        // Unlike the log viewer's text area, the list keeps a least height, even if it
        // then reaches below the bottom buttons.
        if (place.id == IDC_FILE_LIST && at.height < leastListHeight) at.height = leastListHeight;
        MoveWindow(GetDlgItem(window, place.id), at.x, at.y, at.width, at.height, TRUE);
    }
    InvalidateRect(window, nullptr, TRUE);
}

LRESULT OnCreate(HWND window) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    scale.dpi = WindowDpi(window);
    scale.font = CreateUiFont(scale.dpi);
    HFONT font = scale.font;
    const DWORD button = WS_CHILD | WS_VISIBLE;
    CreateChildControl(L"LISTBOX", nullptr,
                       WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | LBS_EXTENDEDSEL | LBS_NOTIFY, 0, 0, 10, 10,
                       window, IDC_FILE_LIST, instance, font);
    CreateChildControl(L"BUTTON", L"Explorer", button, 0, 0, 10, 10, window, IDC_FM_EXPLORER, instance, font);
    CreateChildControl(L"BUTTON", L"Import files", button, 0, 0, 10, 10, window, IDC_FM_IMPORT, instance, font);
    CreateChildControl(L"BUTTON", L"Delete files", button, 0, 0, 10, 10, window, IDC_FM_DELETE, instance, font);
    CreateChildControl(L"BUTTON", L"Notepad", button, 0, 0, 10, 10, window, IDC_FM_NOTEPAD, instance, font);
    CreateChildControl(L"BUTTON", L"Refresh", button, 0, 0, 10, 10, window, IDC_FM_REFRESH, instance, font);
    CreateChildControl(L"BUTTON", L"Close", button, 0, 0, 10, 10, window, IDC_FM_CLOSE, instance, font);
    RefreshFileList(window);
    LayoutFileManager(window);
    return 0;
}

// The window now stands on a monitor of another scaling: a new font, the suggested frame,
// a new layout.
void OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam) {
    scale.dpi = DpiOfDpiChanged(wParam);
    HFONT previous = scale.font;
    scale.font = CreateUiFont(scale.dpi);
    for (const LayoutPlace& place : kLayout.places) SetControlFont(GetDlgItem(window, place.id), scale.font);
    DeleteFontSlot(previous);
    TakeSuggestedRect(window, lParam);
    LayoutFileManager(window);
}

void OnDestroy() {
    fileManagerWnd = nullptr;
    DeleteFontSlot(scale.font);
}

LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDC_FM_EXPLORER: OpenWebRootInExplorer(window); return 0;
        case IDC_FM_IMPORT: ImportFiles(window); RefreshFileList(window); return 0;
        case IDC_FM_REFRESH: RefreshFileList(window); return 0;
        case IDC_FM_DELETE: DeleteSelectedFiles(window); return 0;
        case IDC_FM_NOTEPAD: OpenSelectedInNotepad(window); return 0;
        case IDC_FM_CLOSE: DestroyWindow(window); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK FileManagerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnCreate(window);
        case WM_SIZE: LayoutFileManager(window); return 0;
        case WM_ERASEBKGND: EraseWithWindowColour(window, reinterpret_cast<HDC>(wParam)); return 1;
        case WM_COMMAND: return OnCommand(window, message, wParam, lParam);
        case WM_CTLCOLORSTATIC: return ColourStaticControl(reinterpret_cast<HDC>(wParam));
        case WM_CLOSE: DestroyWindow(window); return 0;
        case WM_DPICHANGED: OnDpiChanged(window, wParam, lParam); return 0;
        case WM_DESTROY: OnDestroy(); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

void RefreshFileList(HWND window) {
    HWND list = FileList(window);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    const std::wstring webRoot = GetWebRootFolder();
    if (!EnsureFolder(webRoot)) return;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((webRoot + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.cFileName));
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

void OpenFileManager(HWND owner) {
    if (BringBackToolWindow(fileManagerWnd)) {
        RefreshFileList(fileManagerWnd);
        return;
    }
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
    if (!classRegistered) RegisterAppWindowClass(kFileManagerClass, FileManagerProc, instance);
    classRegistered = true;
    fileManagerWnd = CreateWindowExW(WS_EX_DLGMODALFRAME, kFileManagerClass, L"File Manager - Web Root ",
                                     WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, kLayout.frameWidth,
                                     kLayout.frameHeight, owner, nullptr, instance, nullptr);
    if (fileManagerWnd == nullptr) return;
    SizeWindowForDpi(fileManagerWnd, kLayout.frameWidth, kLayout.frameHeight, scale.dpi);
    ShowWindow(fileManagerWnd, SW_SHOW);
    UpdateWindow(fileManagerWnd);
}
