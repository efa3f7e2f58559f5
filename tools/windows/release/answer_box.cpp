// A test tool run under Wine: waits for a message box with the given caption, writes its
// text to standard output as UTF-8, presses its OK button and waits until it is gone, as a
// user reading the box and clicking OK would. With --window it waits for a top-level window
// of any class with that title instead, and closes it.
//
//   answer-box.exe <caption>
//   answer-box.exe --window <title>
//
// Exits 0 when a box was answered (a window closed), 1 when none appeared within 60 s or it
// did not close.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
    const wchar_t* caption;
    const wchar_t* className;  // null: any class
    HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    wchar_t className[64] = L"";
    wchar_t title[256] = L"";
    GetClassNameW(window, className, 64);
    GetWindowTextW(window, title, 256);
    const bool classMatches = search->className == nullptr || lstrcmpW(className, search->className) == 0;
    if (classMatches && lstrcmpW(title, search->caption) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindBox(const wchar_t* caption, const wchar_t* className) {
    Search search{caption, className, nullptr};
    EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls every 100 ms for up to 60 s; the ceiling only ends a hang.
template <typename Ready>
bool WaitFor(Ready ready) {
    for (int i = 0; i < 600; ++i) {
        if (ready()) return true;
        Sleep(100);
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && lstrcmpW(argv[1], L"--window") == 0) {
        HWND window = nullptr;
        if (!WaitFor([&] { return (window = FindBox(argv[2], nullptr)) != nullptr; })) return 1;
        PostMessageW(window, WM_CLOSE, 0, 0);
        return WaitFor([&] { return !IsWindow(window); }) ? 0 : 1;
    }
    if (argc != 2) return 2;
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = FindBox(argv[1], L"#32770")) != nullptr; })) return 1;
    wchar_t text[4096] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 4096);
    const int length = lstrlenW(text);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return WaitFor([&] { return !IsWindow(box); }) ? 0 : 1;
}
