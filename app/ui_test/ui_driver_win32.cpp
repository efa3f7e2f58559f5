#include "app/ui_test/ui_driver_win32.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <atomic>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace uitest {

namespace {

constexpr milliseconds kPollInterval{20};
// A window that does not answer a text query within this time counts as hung.
constexpr UINT kSendLimitMs = 5000;

struct WindowsOfProcess {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindowOfProcess(HWND window, LPARAM state) {
    auto* wanted = reinterpret_cast<WindowsOfProcess*>(state);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == wanted->processId) wanted->windows.push_back(window);
    return TRUE;
}

struct DescendantSearch {
    const std::wstring* className;
    HWND found;
};

BOOL CALLBACK StopAtClass(HWND window, LPARAM state) {
    auto* search = reinterpret_cast<DescendantSearch*>(state);
    if (ClassName(window) != *search->className) return TRUE;
    search->found = window;
    return FALSE;
}

// The rows of a 24-bit DIB are padded to whole 4-byte words.
int DibRowBytes(int width) {
    return (width * 3 + 3) & ~3;
}

// The screen's pixels under `area`, bottom row first, as a 24-bit DIB holds them.
std::vector<unsigned char> CaptureScreen(const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<unsigned char> pixels(static_cast<size_t>(DibRowBytes(width)) * static_cast<size_t>(height));
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, previous);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool WriteBmp(const fs::path& file, int width, int height, const std::vector<unsigned char>& pixels) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(pixels.size());
    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + header.biSizeImage;
    std::error_code ignored;
    fs::create_directories(file.parent_path(), ignored);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& ready, milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (ready()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

fs::path LocalAppDataFolder() {
    PWSTR path = nullptr;
    fs::path folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path))) folder = path;
    CoTaskMemFree(path);
    return folder;
}

fs::path PellwickDataFolder() {
    return LocalAppDataFolder() / L"Pellwick";
}

fs::path WebRootFolder() {
    return PellwickDataFolder() / L"Web";
}

fs::path LogFilePath() {
    return PellwickDataFolder() / L"Log" / L"Pellwick.log";
}

fs::path FromBuildPath(const std::string& path) {
    if (path.empty() || path.front() != '/') return fs::path(path);
    std::string dos = "Z:" + path;
    for (char& c : dos) {
        if (c == '/') c = '\\';
    }
    return fs::path(dos);
}

std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendLimitMs, &length)) return L"";
    // WM_GETTEXTLENGTH may overstate (it never understates), so the copy's own count rules.
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kSendLimitMs, &copied)) {
        return L"";
    }
    text.resize(copied);
    return text;
}

std::wstring ControlText(HWND parent, int id) {
    HWND control = GetDlgItem(parent, id);
    return control != nullptr ? WindowText(control) : L"";
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

HWND FindDescendant(HWND parent, const std::wstring& className) {
    if (parent == nullptr) return nullptr;
    DescendantSearch search{&className, nullptr};
    EnumChildWindows(parent, StopAtClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<std::wstring> ListBoxItems(HWND list) {
    std::vector<std::wstring> items;
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendLimitMs, &count)) return items;
    for (DWORD_PTR i = 0; i < count; ++i) {
        // The list may be refilled while it is read: an entry that is gone (LB_ERR) ends the
        // reading, and the caller, which polls, reads again.
        DWORD_PTR length = 0;
        SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendLimitMs, &length);
        if (static_cast<LRESULT>(length) == LB_ERR) break;
        std::wstring item(length + 1, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()), SMTO_ABORTIFHUNG,
                            kSendLimitMs, &copied);
        if (static_cast<LRESULT>(copied) == LB_ERR || copied > length) break;
        item.resize(copied);
        items.push_back(item);
    }
    return items;
}

void PostClick(HWND parent, int id) {
    PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(parent, id)));
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    WindowsOfProcess found{processId, {}};
    EnumWindows(CollectWindowOfProcess, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

std::string DescribeWindows(DWORD processId) {
    std::string description;
    for (HWND window : TopLevelWindows(processId)) {
        std::wstring line = L"[" + ClassName(window) + L"] \"" + WindowText(window) + L"\"" +
                            (IsWindowVisible(window) ? L" shown\n" : L" hidden\n");
        if (ClassName(window) == L"#32770") line += L"    text: " + ControlText(window, 0xFFFF) + L"\n";
        for (wchar_t c : line) description += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return description.empty() ? "no windows\n" : description;
}

HWND FindTopLevel(DWORD processId, const std::wstring& className, const wchar_t* title) {
    for (HWND window : TopLevelWindows(processId)) {
        if (ClassName(window) != className) continue;
        if (title == nullptr || WindowText(window) == title) return window;
    }
    return nullptr;
}

HWND WaitForTopLevel(DWORD processId, const std::wstring& className, const wchar_t* title, milliseconds limit) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopLevel(processId, className, title)) != nullptr; }, limit);
    return found;
}

HWND WaitForMessageBox(DWORD processId, const std::wstring& caption, milliseconds limit) {
    HWND box = nullptr;
    WaitUntil(
        [&] {
            box = FindTopLevel(processId, L"#32770", caption.c_str());
            return box != nullptr && IsWindowVisible(box);
        },
        limit);
    return box != nullptr && IsWindowVisible(box) ? box : nullptr;
}

std::wstring MessageBoxText(HWND box) {
    return ControlText(box, 0xFFFF);
}

bool AnswerMessageBox(HWND box, int answer) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    return WaitUntilGone(box);
}

bool WaitUntilGone(HWND window, milliseconds limit) {
    return WaitUntil([&] { return !IsWindow(window); }, limit);
}

void RaiseWindow(HWND window) {
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

COLORREF ScreenPixel(HWND window, POINT clientPoint) {
    ClientToScreen(window, &clientPoint);
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, clientPoint.x, clientPoint.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

bool SaveScreenshot(HWND window, const fs::path& file) {
    RaiseWindow(window);
    RECT area;
    if (!GetWindowRect(window, &area)) return false;
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    // The target paints on its own thread. A message sent to it returns only once that
    // thread has handled what came before, and the redraw then has it paint whatever is
    // still invalid before returning: the picture is taken after the last paint, by order.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(kHangLimit.count()), &ignored);
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::vector<unsigned char> pixels = CaptureScreen(area);
    return WriteBmp(file, width, height, pixels);
}

ExeFolder::ExeFolder(const fs::path& exe) {
    static std::atomic<unsigned> counter{0};
    for (;;) {
        folder_ = fs::temp_directory_path() /
                  (L"pellwick-ui-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++));
        if (fs::create_directory(folder_)) break;
    }
    exe_ = folder_ / L"Pellwick.exe";
    fs::copy_file(exe, exe_);
}

ExeFolder::~ExeFolder() {
    // The image of a process that has just ended may stay mapped for a moment.
    WaitUntil(
        [&] {
            std::error_code error;
            fs::remove_all(folder_, error);
            return !error;
        });
}

void ExeFolder::Add(const fs::path& source, const std::wstring& name) {
    fs::copy_file(source, folder_ / name, fs::copy_options::overwrite_existing);
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool AppProcess::Start(const fs::path& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe.wstring() + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    const std::wstring folder = exe.parent_path().wstring();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    processId_ = started.dwProcessId;
    return true;
}

WineDllRefusal::WineDllRefusal(const std::wstring& program, const std::wstring& dll)
    : programKey_(L"Software\\Wine\\AppDefaults\\" + program) {
    const std::wstring overrides = programKey_ + L"\\DllOverrides";
    // An empty load order: neither Wine's own nor a native copy of the DLL is loaded.
    const wchar_t nothing[] = L"";
    inForce_ = RegSetKeyValueW(HKEY_CURRENT_USER, overrides.c_str(), dll.c_str(), REG_SZ, nothing,
                               sizeof nothing) == ERROR_SUCCESS;
}

WineDllRefusal::~WineDllRefusal() {
    RegDeleteTreeW(HKEY_CURRENT_USER, programKey_.c_str());
}

AppProcess::~AppProcess() {
    if (process_ == nullptr) return;
    if (!HasExited()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, static_cast<DWORD>(kAppearLimit.count()));
    }
    CloseHandle(process_);
}

HWND AppProcess::FindMainWindow() const {
    return FindTopLevel(processId_, kControlClass, kControlTitle);
}

HWND AppProcess::WaitForVisibleMainWindow(milliseconds limit) {
    HWND main = nullptr;
    WaitUntil(
        [&] {
            main = FindMainWindow();
            return main != nullptr && IsWindowVisible(main);
        },
        limit);
    return main != nullptr && IsWindowVisible(main) ? main : nullptr;
}

bool AppProcess::HasExited() const {
    return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
}

bool AppProcess::CloseAndWait(DWORD& exitCode, milliseconds limit) {
    HWND main = FindMainWindow();
    if (main == nullptr) return false;
    PostMessageW(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_, &exitCode) != 0;
}

ScreenDpi::ScreenDpi(DWORD dpi) {
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                    nullptr);
    DWORD size = sizeof(old_);
    had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) ==
           ERROR_SUCCESS;
    RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi));
}

ScreenDpi::~ScreenDpi() {
    if (had_) {
        RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof(old_));
    } else {
        RegDeleteValueW(key_, L"LogPixels");
    }
    RegCloseKey(key_);
}

bool SendDpiChanged(HANDLE process, HWND window, UINT dpi, const RECT& suggested) {
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr) return false;
    const bool written = WriteProcessMemory(process, remote, &suggested, sizeof(suggested), nullptr) != 0;
    DWORD_PTR result = 0;
    const bool sent = written && SendMessageTimeoutW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                                     reinterpret_cast<LPARAM>(remote), SMTO_NORMAL,
                                                     static_cast<UINT>(kAppearLimit.count()), &result) != 0;
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return sent;
}

}  // namespace uitest
