// Drives Pellwick.exe from another process, as a user would: starts it from a folder of
// its own, finds its windows, reads their texts, clicks buttons, answers message boxes,
// reads screen pixels and saves screenshots. Every wait polls with a time limit.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "pellwick_names.h"
#include "test_support/wait_limit.h"

namespace uitest {

using std::chrono::milliseconds;

// How long a window, a box or a state change may take to appear before a wait gives up:
// only a hang takes that long, however crowded the machine.
inline constexpr milliseconds kAppearLimit = kHangLimit;

// Polls `ready` until it returns true or `limit` has passed; true when it did.
bool WaitUntil(const std::function<bool()>& ready, milliseconds limit = kAppearLimit);

// Folders of the user the tests run as.
std::filesystem::path LocalAppDataFolder();
std::filesystem::path PellwickDataFolder();  // LocalAppData\Pellwick
std::filesystem::path WebRootFolder();       // ...\Pellwick\Web
std::filesystem::path LogFilePath();         // ...\Pellwick\Log\Pellwick.log

// A path of the build machine ("/tmp/build/x") as the prefix's Z: drive shows it; Windows
// paths pass unchanged.
std::filesystem::path FromBuildPath(const std::string& path);

// The text of any window or control, read with SendMessageTimeoutW so that a hung target
// cannot block the test; "" when the window does not answer.
std::wstring WindowText(HWND window);
std::wstring ControlText(HWND parent, int id);
std::wstring ClassName(HWND window);

// The first window of that class among all descendants of `parent` (children, their
// children, ...); null when there is none.
HWND FindDescendant(HWND parent, const std::wstring& className);

// The entries of a list box, in list order.
std::vector<std::wstring> ListBoxItems(HWND list);

// A button click as its parent sees it. Posted, not sent: a handler that opens a modal
// box would otherwise block the caller until the box is closed.
void PostClick(HWND parent, int id);

// The visible or hidden top-level windows (message boxes included) of a process.
std::vector<HWND> TopLevelWindows(DWORD processId);

// One line per top-level window of the process: class, title, shown or hidden; for the
// message of a failed wait.
std::string DescribeWindows(DWORD processId);

// The first top-level window of the process with that class and, when given, that title.
HWND FindTopLevel(DWORD processId, const std::wstring& className, const wchar_t* title = nullptr);
HWND WaitForTopLevel(DWORD processId, const std::wstring& className, const wchar_t* title = nullptr,
                     milliseconds limit = kAppearLimit);

// A message box (class "#32770") of the process with that caption.
HWND WaitForMessageBox(DWORD processId, const std::wstring& caption, milliseconds limit = kAppearLimit);

// The box's message (its static control 0xFFFF).
std::wstring MessageBoxText(HWND box);

// Presses a button of the box (IDOK, IDYES, IDNO) and waits until the box is gone.
bool AnswerMessageBox(HWND box, int answer);

bool WaitUntilGone(HWND window, milliseconds limit = kAppearLimit);

// Puts the window above all others without activating it, so that its pixels are on
// the screen for reading.
void RaiseWindow(HWND window);

// The colour on the screen at a point of the window's client area.
COLORREF ScreenPixel(HWND window, POINT clientPoint);

// Raises the window and writes its rectangle as the screen shows it to a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::filesystem::path& file);

// A copy of Pellwick.exe in a fresh folder of its own under the user's temporary folder,
// so that each scenario chooses the server.crt and server.key beside it. The folder goes
// with the object.
class ExeFolder {
public:
    explicit ExeFolder(const std::filesystem::path& exe);
    ~ExeFolder();
    ExeFolder(const ExeFolder&) = delete;
    ExeFolder& operator=(const ExeFolder&) = delete;

    const std::filesystem::path& folder() const { return folder_; }
    const std::filesystem::path& exe() const { return exe_; }

    // Copies `source` into the folder under the name `name` (for example "server.key").
    void Add(const std::filesystem::path& source, const std::wstring& name);

private:
    std::filesystem::path folder_;
    std::filesystem::path exe_;
};

// One running Pellwick.exe. The destructor ends a process that is still running (a
// failed scenario may leave a box open), so no scenario leaks into the next one.
class AppProcess {
public:
    // Starts the program, with the arguments, in its own folder as the current folder;
    // false when CreateProcessW fails.
    bool Start(const std::filesystem::path& exe, const std::wstring& arguments = L"");
    ~AppProcess();

    DWORD id() const { return processId_; }
    HANDLE handle() const { return process_; }

    // The control window once it is visible.
    HWND WaitForVisibleMainWindow(milliseconds limit = kAppearLimit);

    // The control window as soon as it exists, shown or not.
    HWND FindMainWindow() const;

    bool HasExited() const;

    // Posts WM_CLOSE to the main window and waits for the process to end. True with the
    // exit code when it ended in time.
    bool CloseAndWait(DWORD& exitCode, milliseconds limit = kAppearLimit);

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

// True in a Wine prefix (ntdll exports wine_get_version), where a few scenarios make
// failures through Wine's own switches.
bool RunningUnderWine();

// Makes Wine refuse to load one DLL into programs of the given file name while the object
// lives (the prefix's per-program DLL override, read when a program starts).
class WineDllRefusal {
public:
    WineDllRefusal(const std::wstring& program, const std::wstring& dll);
    ~WineDllRefusal();
    WineDllRefusal(const WineDllRefusal&) = delete;
    WineDllRefusal& operator=(const WineDllRefusal&) = delete;

    bool in_force() const { return inForce_; }

private:
    std::wstring programKey_;
    bool inForce_ = false;
};

// Sets the DPI that Wine gives the programs started after it (the prefix's LogPixels) and
// puts the old value back when it goes. Only ever in the throwaway prefix: the scenarios
// refuse to run anywhere else.
class ScreenDpi {
public:
    explicit ScreenDpi(DWORD dpi);
    ~ScreenDpi();
    ScreenDpi(const ScreenDpi&) = delete;
    ScreenDpi& operator=(const ScreenDpi&) = delete;

private:
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool had_ = false;
};

// Sends WM_DPICHANGED as Windows does when a window reaches a monitor of another scaling:
// the new DPI in both words of wParam, the suggested frame in lParam. The frame is written
// into the target process, since the message is not marshalled between processes.
bool SendDpiChanged(HANDLE process, HWND window, UINT dpi, const RECT& suggested);

// Window class and title of the control window.
inline constexpr const wchar_t* kControlClass = kControlWindowClass;
inline constexpr wchar_t kControlTitle[] = L"Pellwick v1.0";

}  // namespace uitest
