// The log viewer and the file manager of the real Pellwick.exe, opened from the control
// window and driven from outside: what they show, their boxes, and what they do on disk
// and to other programs.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>

#include "app/ui_test/tls_client_win32.h"
#include "app/ui_test/ui_scenario_win32.h"
#include "test_support/temp_folder.h"

namespace fs = std::filesystem;

namespace uitest {
namespace {

constexpr wchar_t kLogViewerClass[] = L"Tolvan_LogViewer_Wnd";
constexpr wchar_t kLogViewerTitle[] = L"HTTPS Log View";
constexpr int kLogTextId = 3001;
constexpr int kLogRefreshId = 3002;
constexpr int kLogCloseId = 3003;
constexpr int kLogClearId = 3004;

constexpr wchar_t kFileManagerClass[] = L"Tolvan_FileManager_Wnd";
constexpr wchar_t kFileManagerTitle[] = L"File Manager - Web Root ";
constexpr int kFileListId = 2001;
constexpr int kFmDeleteId = 2003;
constexpr int kFmImportId = 2005;
constexpr int kFmNotepadId = 2006;
constexpr int kFmExplorerId = 2007;

// Wine's Explorer window (measured: class "ExplorerWClass", titled by the folder's name).
constexpr wchar_t kExplorerClass[] = L"ExplorerWClass";

// The open-file dialog's file name box: a combo box whose edit child takes the name.
constexpr int kFileNameComboId = 0x47C;

constexpr size_t kShownLogLines = 50;

class ToolWindowsUi : public UiScenario {
protected:
    // Starts the program with a working server and waits for its window.
    HWND StartRunning() {
        Launch();
        HWND main = WaitForMain();
        if (main != nullptr) {
            EXPECT_EQ(ControlText(main, kStartStopId), L"Stop server");
        }
        return main;
    }

    // Starts the program with a working server and opens its file manager; null when either
    // did not come up. `main` receives the control window.
    HWND StartAndOpenFileManager(HWND& main) {
        main = StartRunning();
        if (main == nullptr) return nullptr;
        return OpenToolWindow(main, kFileManagerId, kFileManagerClass, kFileManagerTitle);
    }

    HWND OpenToolWindow(HWND main, int buttonId, const wchar_t* className, const wchar_t* title) {
        PostClick(main, buttonId);
        HWND window = nullptr;
        WaitUntil([&] {
            window = FindTopLevel(app_.id(), className, title);
            return window != nullptr && IsWindowVisible(window);
        });
        EXPECT_NE(window, nullptr) << "no window of class " << testing::PrintToString(std::wstring(className));
        return window;
    }

    int CountToolWindows(const wchar_t* className) {
        int count = 0;
        for (HWND window : TopLevelWindows(app_.id())) {
            if (ClassName(window) == className) ++count;
        }
        return count;
    }
};

// ---------------------------------------------------------------------------------------
// Log viewer

std::wstring ViewText(HWND viewer) {
    return ControlText(viewer, kLogTextId);
}

bool WaitForViewText(HWND viewer, const std::wstring& expected) {
    return WaitUntil([&] { return ViewText(viewer) == expected; });
}

// What the view shows for these log lines: the last 50, each followed by "\r\n". A line
// that kept a "\r" of its own thus reaches the text area as "...\r\r\n", the old soft line
// break, which the rich edit control (measured under Wine) gives back as one space.
std::wstring ExpectedView(const std::vector<std::string>& lines) {
    std::wstring text;
    const size_t first = lines.size() > kShownLogLines ? lines.size() - kShownLogLines : 0;
    for (size_t i = first; i < lines.size(); ++i) {
        text += std::wstring(lines[i].begin(), lines[i].end()) + L"\r\n";
    }
    for (size_t at; (at = text.find(L"\r\r\n")) != std::wstring::npos;) text.replace(at, 3, L" ");
    return text;
}

TEST_F(ToolWindowsUi, LogViewerShowsTheLastFiftyLinesWhateverTheirEndings) {
    HWND main = StartRunning();
    ASSERT_NE(main, nullptr);

    // 60 lines, the endings taking turns; one line keeps a "\r" of its own.
    const char* endings[] = {"\r\n", "\n", "\r\r\n"};
    std::string file;
    std::vector<std::string> lines;
    for (int i = 1; i <= 60; ++i) {
        std::string line = "2026-01-16 09:30:12.045 [INFO] prepared line " + std::to_string(i);
        const char* ending = endings[i % 3];
        file += line + ending;
        lines.push_back(ending == endings[2] ? line + "\r" : line);
    }
    WriteFileBytes(LogFilePath(), file);

    HWND viewer = OpenToolWindow(main, kLogId, kLogViewerClass, kLogViewerTitle);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(_wcsicmp(ClassName(GetDlgItem(viewer, kLogTextId)).c_str(), L"RICHEDIT50W"), 0);
    EXPECT_TRUE(WaitForViewText(viewer, ExpectedView(lines)))
        << "view: " << testing::PrintToString(ViewText(viewer));
    EXPECT_TRUE(SaveScreenshot(viewer, ScreenshotFile("log_viewer_line_endings.bmp")));

    // A second "Log" brings back the same window, restored and reloaded.
    ShowWindow(viewer, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(viewer) != FALSE; }));
    const std::string added = "2026-01-16 09:30:13.000 [INFO] added after opening";
    WriteFileBytes(LogFilePath(), file + added + "\n");
    lines.push_back(added);
    PostClick(main, kLogId);
    EXPECT_TRUE(WaitForViewText(viewer, ExpectedView(lines)));
    EXPECT_FALSE(IsIconic(viewer));
    EXPECT_EQ(FindTopLevel(app_.id(), kLogViewerClass), viewer);
    EXPECT_EQ(CountToolWindows(kLogViewerClass), 1);

    // Closed, it opens anew from the class already registered.
    PostClick(viewer, kLogCloseId);
    ASSERT_TRUE(WaitUntilGone(viewer));
    HWND again = OpenToolWindow(main, kLogId, kLogViewerClass, kLogViewerTitle);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(WaitForViewText(again, ExpectedView(lines)));
    CloseAndExpectExitZero();
}

// Request targets are logged raw. In the view a NUL would end the text there and hide every
// newer line; a vertical tab or an escape would fake a break. They show as their pictures.
TEST_F(ToolWindowsUi, LogViewerShowsControlCharactersOfTargetsAsPicturesAndLosesNoLine) {
    using namespace std::string_literals;
    HWND main = StartRunning();
    ASSERT_NE(main, nullptr);
    WriteFileBytes(WebRootFolder() / L"hello.txt", "hello\n");
    for (const std::string& target : {"/a\0b"s, "/c\vd"s, "/e\x1B[2Jf"s}) {
        ASSERT_NE(TlsExchange(kPort, GetRequest(target)), "") << target;
    }
    ASSERT_EQ(TlsExchange(kPort, GetRequest("/hello.txt")), TextFileResponse("hello\n"));
    ASSERT_TRUE(WaitUntil([] { return LogLines().size() == 5; }));
    const std::vector<std::string> lines = LogLines();
    // The file keeps the bytes as they came.
    EXPECT_NE(lines[1].find("\"GET /a\0b\""s), std::string::npos);
    EXPECT_NE(lines[2].find("\"GET /c\vd\""), std::string::npos);

    HWND viewer = OpenToolWindow(main, kLogId, kLogViewerClass, kLogViewerTitle);
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ViewText(viewer).find(L"hello.txt") != std::wstring::npos; }))
        << "view: " << testing::PrintToString(ViewText(viewer));
    std::vector<std::wstring> shown;
    std::wstring text = ViewText(viewer);
    for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        shown.push_back(text.substr(start + kStampLength, end - start - kStampLength));
    }
    ASSERT_EQ(shown.size(), 5u) << testing::PrintToString(text);
    EXPECT_EQ(shown[0], L" [INFO] Server started");
    const std::wstring client = L" [ACCESS] 127.0.0.1 \"GET ";
    // The status depends on how the Web Root mapping takes the byte; the target is the point.
    const std::wstring targets[] = {L"/a\u2400b\" ", L"/c\u240Bd\" ", L"/e\u241B[2Jf\" "};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(shown[i + 1].rfind(client + targets[i], 0), 0u) << testing::PrintToString(shown[i + 1]);
    }
    EXPECT_EQ(shown[4], client + L"/hello.txt\" 200");
    EXPECT_TRUE(SaveScreenshot(viewer, ScreenshotFile("log_viewer_control_characters.bmp")));
    CloseAndExpectExitZero();
}

// Without the rich edit library the viewer cannot be made: its box each time, no window.
TEST_F(ToolWindowsUi, LogViewerWithoutTheRichEditLibraryShowsItsBoxEachTime) {
    if (!RunningUnderWine()) GTEST_SKIP() << "the library is taken away by a Wine DLL override";
    WineDllRefusal noRichEdit(L"Pellwick.exe", L"msftedit");
    ASSERT_TRUE(noRichEdit.in_force());
    Launch();
    HWND main = WaitForMain();
    ASSERT_NE(main, nullptr);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        PostClick(main, kLogId);
        HWND box = WaitForMessageBox(app_.id(), L"Error");
        ASSERT_NE(box, nullptr) << DescribeWindows(app_.id());
        EXPECT_EQ(MessageBoxText(box), L"Failed to load Msftedit.dll (RichEdit).");
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        EXPECT_EQ(FindTopLevel(app_.id(), kLogViewerClass), nullptr);
    }
    CloseAndExpectExitZero();
}

TEST_F(ToolWindowsUi, ClearLogKeepsTheFileOnNoDeletesItOnYesAndTheNextRequestStartsANewOne) {
    HWND main = StartRunning();
    ASSERT_NE(main, nullptr);
    WriteFileBytes(WebRootFolder() / L"hello.txt", "hello\n");
    HWND viewer = OpenToolWindow(main, kLogId, kLogViewerClass, kLogViewerTitle);
    ASSERT_NE(viewer, nullptr);
    const std::vector<std::string> before = LogLines();
    ASSERT_EQ(before.size(), 1u);
    ASSERT_TRUE(WaitForViewText(viewer, ExpectedView(before)));

    PostClick(viewer, kLogClearId);
    HWND confirm = WaitForMessageBox(app_.id(), L"Confirm");
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(MessageBoxText(confirm), L"Delete the log file?");
    ASSERT_TRUE(AnswerMessageBox(confirm, IDNO));
    EXPECT_EQ(LogLines(), before);
    EXPECT_EQ(ViewText(viewer), ExpectedView(before));

    PostClick(viewer, kLogClearId);
    confirm = WaitForMessageBox(app_.id(), L"Confirm");
    ASSERT_NE(confirm, nullptr);
    ASSERT_TRUE(AnswerMessageBox(confirm, IDYES));
    EXPECT_TRUE(WaitForViewText(viewer, L""));
    EXPECT_FALSE(fs::exists(LogFilePath()));

    ASSERT_EQ(TlsExchange(kPort, GetRequest("/hello.txt")), TextFileResponse("hello\n"));
    // The access line is written after the response has been sent.
    ASSERT_TRUE(WaitUntil([] { return LogLines().size() == 1; }));
    const std::vector<std::string> after = LogLines();
    EXPECT_EQ(WithoutStamp(after[0]), " [ACCESS] 127.0.0.1 \"GET /hello.txt\" 200");
    PostClick(viewer, kLogRefreshId);
    EXPECT_TRUE(WaitForViewText(viewer, ExpectedView(after)));

    // The log as a user sees it (the README's picture): a restart, then a visitor's requests.
    ASSERT_TRUE(ClickStartStopUntil(main, L"Start server"));
    ASSERT_TRUE(ClickStartStopUntil(main, L"Stop server"));
    WriteFileBytes(WebRootFolder() / L"index.html", "<!doctype html><title>Pellwick</title>\n");
    WriteFileBytes(WebRootFolder() / L"style.css", "body { font-family: sans-serif; }\n");
    const char* visits[] = {"GET / HTTP/1.1",         "GET /style.css HTTP/1.1",  "GET /favicon.ico HTTP/1.1",
                            "HEAD /hello.txt HTTP/1.1", "POST /hello.txt HTTP/1.1", "GET /../secret.txt HTTP/1.1"};
    for (const char* visit : visits) TlsExchange(kPort, std::string(visit) + "\r\nHost: localhost\r\n\r\n");
    const std::size_t logged = after.size() + 2 + std::size(visits);
    ASSERT_TRUE(WaitUntil([&] { return LogLines().size() == logged; }));
    const std::vector<std::string> visited = LogLines();
    const std::vector<std::string> expectedTexts = {
        " [ACCESS] 127.0.0.1 \"GET /hello.txt\" 200", " [INFO] Server stopped",
        " [INFO] Server started",                     " [ACCESS] 127.0.0.1 \"GET /\" 200",
        " [ACCESS] 127.0.0.1 \"GET /style.css\" 200", " [ACCESS] 127.0.0.1 \"GET /favicon.ico\" 404",
        " [ACCESS] 127.0.0.1 \"HEAD /hello.txt\" 200", " [ACCESS] 127.0.0.1 \"POST /hello.txt\" 405",
        " [ACCESS] 127.0.0.1 \"GET /../secret.txt\" 400"};
    std::vector<std::string> texts;
    for (const std::string& line : visited) texts.push_back(WithoutStamp(line));
    EXPECT_EQ(texts, expectedTexts);
    PostClick(viewer, kLogRefreshId);
    EXPECT_TRUE(WaitForViewText(viewer, ExpectedView(visited)));
    EXPECT_TRUE(SaveScreenshot(viewer, ScreenshotFile("log_viewer.bmp")));

    // A missing log folder is made again by the clear.
    fs::remove_all(LogFilePath().parent_path());
    PostClick(viewer, kLogClearId);
    confirm = WaitForMessageBox(app_.id(), L"Confirm");
    ASSERT_NE(confirm, nullptr);
    ASSERT_TRUE(AnswerMessageBox(confirm, IDYES));
    EXPECT_TRUE(WaitForViewText(viewer, L""));
    EXPECT_TRUE(WaitUntil([] { return fs::is_directory(LogFilePath().parent_path()); }));
    CloseAndExpectExitZero();
}

// ---------------------------------------------------------------------------------------
// File manager

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The files (not folders) directly in the Web Root, as the disk has them.
std::vector<std::wstring> WebRootFiles() {
    std::vector<std::wstring> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(WebRootFolder())) {
        if (!entry.is_directory()) names.push_back(entry.path().filename().wstring());
    }
    return Sorted(names);
}

void MakeWebRootFiles(const std::vector<std::wstring>& names) {
    for (const std::wstring& name : names) WriteFileBytes(WebRootFolder() / name, "content of a file\n");
}

HWND FileList(HWND manager) {
    return GetDlgItem(manager, kFileListId);
}

void SelectRange(HWND manager, int first, int last) {
    SendMessageW(FileList(manager), LB_SELITEMRANGE, TRUE, MAKELPARAM(first, last));
}

TEST_F(ToolWindowsUi, FileManagerListsOnlyTheWebRootsOwnFiles) {
    MakeWebRootFiles({L"index.html", L"with space.txt", L"hidden.txt", L"draft..old.txt"});
    SetFileAttributesW((WebRootFolder() / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    WriteFileBytes(WebRootFolder() / L"folder" / L"inside.txt", "not listed\n");
    HWND main = nullptr;
    HWND manager = StartAndOpenFileManager(main);
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(ClassName(FileList(manager)), L"ListBox");
    EXPECT_EQ(Sorted(ListBoxItems(FileList(manager))),
              Sorted({L"index.html", L"with space.txt", L"hidden.txt", L"draft..old.txt"}));
    EXPECT_EQ(Sorted(ListBoxItems(FileList(manager))), WebRootFiles());
    EXPECT_TRUE(SaveScreenshot(manager, ScreenshotFile("file_manager.bmp")));

    // A second "File Manager" brings back the same window, restored, and lists the folder anew.
    ShowWindow(manager, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(manager) != FALSE; }));
    MakeWebRootFiles({L"new.txt"});
    PostClick(main, kFileManagerId);
    EXPECT_TRUE(WaitUntil([&] { return ListBoxItems(FileList(manager)).size() == 5; }));
    EXPECT_EQ(Sorted(ListBoxItems(FileList(manager))), WebRootFiles());
    EXPECT_FALSE(IsIconic(manager));
    EXPECT_EQ(FindTopLevel(app_.id(), kFileManagerClass), manager);
    EXPECT_EQ(CountToolWindows(kFileManagerClass), 1);
    CloseAndExpectExitZero();
}

TEST_F(ToolWindowsUi, DeleteNamesTheFirstTenOfElevenAndDeletesExactlyThoseOnYes) {
    std::vector<std::wstring> names;
    for (int i = 1; i <= 12; ++i) names.push_back(L"file-" + std::to_wstring(100 + i) + L".txt");
    MakeWebRootFiles(names);
    HWND main = nullptr;
    HWND manager = StartAndOpenFileManager(main);
    ASSERT_NE(manager, nullptr);
    const std::vector<std::wstring> listed = ListBoxItems(FileList(manager));
    ASSERT_EQ(listed.size(), 12u);

    SelectRange(manager, 0, 10);
    std::wstring question = L"Delete selected files?\n\n";
    for (std::size_t i = 0; i < 10; ++i) question += listed[i] + L"\n";
    question += L"...\n";

    PostClick(manager, kFmDeleteId);
    HWND confirm = WaitForMessageBox(app_.id(), L"Confirm");
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(MessageBoxText(confirm), question);
    EXPECT_TRUE(SaveScreenshot(confirm, ScreenshotFile("box_delete_confirm.bmp")));
    ASSERT_TRUE(AnswerMessageBox(confirm, IDNO));
    EXPECT_EQ(WebRootFiles(), Sorted(names));
    EXPECT_EQ(ListBoxItems(FileList(manager)), listed);

    PostClick(manager, kFmDeleteId);
    confirm = WaitForMessageBox(app_.id(), L"Confirm");
    ASSERT_NE(confirm, nullptr);
    ASSERT_TRUE(AnswerMessageBox(confirm, IDYES));
    EXPECT_TRUE(WaitUntil([&] { return ListBoxItems(FileList(manager)).size() == 1; }));
    EXPECT_EQ(WebRootFiles(), std::vector<std::wstring>{listed[11]});
    EXPECT_EQ(ListBoxItems(FileList(manager)), std::vector<std::wstring>{listed[11]});
    CloseAndExpectExitZero();
}

TEST_F(ToolWindowsUi, DeleteRemovesTheNamedFilesEvenWhenTheListWasRefilledMeanwhile) {
    MakeWebRootFiles({L"alpha.txt", L"bravo.txt", L"charlie.txt", L"delta.txt"});
    HWND main = nullptr;
    HWND manager = StartAndOpenFileManager(main);
    ASSERT_NE(manager, nullptr);
    const std::vector<std::wstring> listed = ListBoxItems(FileList(manager));
    ASSERT_EQ(listed.size(), 4u);
    SelectRange(manager, 0, 1);

    PostClick(manager, kFmDeleteId);
    HWND confirm = WaitForMessageBox(app_.id(), L"Confirm");
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(MessageBoxText(confirm), L"Delete selected files?\n\n" + listed[0] + L"\n" + listed[1] + L"\n");
    // While the box is open the first named file goes away and the control window's button
    // lists the folder again: the entries at the selected places are now other files.
    fs::remove(WebRootFolder() / listed[0]);
    PostClick(main, kFileManagerId);
    EXPECT_TRUE(WaitUntil([&] { return ListBoxItems(FileList(manager)).size() == 3; }));
    ASSERT_TRUE(AnswerMessageBox(confirm, IDYES));
    EXPECT_TRUE(WaitUntil([&] { return WebRootFiles().size() == 2; }));
    EXPECT_EQ(WebRootFiles(), Sorted({listed[2], listed[3]}));
    CloseAndExpectExitZero();
}

TEST_F(ToolWindowsUi, TenSelectedAreAllNamedWithoutTheMoreLine) {
    std::vector<std::wstring> names;
    for (int i = 1; i <= 10; ++i) names.push_back(L"ten-" + std::to_wstring(i) + L".txt");
    MakeWebRootFiles(names);
    HWND main = nullptr;
    HWND manager = StartAndOpenFileManager(main);
    ASSERT_NE(manager, nullptr);
    const std::vector<std::wstring> listed = ListBoxItems(FileList(manager));
    ASSERT_EQ(listed.size(), 10u);
    SelectRange(manager, 0, 9);
    std::wstring question = L"Delete selected files?\n\n";
    for (const std::wstring& name : listed) question += name + L"\n";

    PostClick(manager, kFmDeleteId);
    HWND confirm = WaitForMessageBox(app_.id(), L"Confirm");
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(MessageBoxText(confirm), question);
    ASSERT_TRUE(AnswerMessageBox(confirm, IDNO));
    CloseAndExpectExitZero();
}

TEST_F(ToolWindowsUi, ANameWithTwoDotsRefusesTheWholeDeletion) {
    MakeWebRootFiles({L"keep.txt", L"draft..old.txt", L"also-kept.txt"});
    HWND main = nullptr;
    HWND manager = StartAndOpenFileManager(main);
    ASSERT_NE(manager, nullptr);
    SelectRange(manager, 0, 2);

    PostClick(manager, kFmDeleteId);
    HWND error = WaitForMessageBox(app_.id(), L"Error");
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(MessageBoxText(error), L"Invalid file name detected. Aborting.");
    ASSERT_TRUE(AnswerMessageBox(error, IDOK));
    EXPECT_EQ(WebRootFiles(), Sorted({L"keep.txt", L"draft..old.txt", L"also-kept.txt"}));
    EXPECT_EQ(ListBoxItems(FileList(manager)).size(), 3u);
    CloseAndExpectExitZero();
}

TEST_F(ToolWindowsUi, DeleteAndNotepadWithNothingSelectedAskForASelection) {
    MakeWebRootFiles({L"one.txt"});
    HWND main = nullptr;
    HWND manager = StartAndOpenFileManager(main);
    ASSERT_NE(manager, nullptr);
    for (int button : {kFmDeleteId, kFmNotepadId}) {
        SCOPED_TRACE(button);
        PostClick(manager, button);
        HWND info = WaitForMessageBox(app_.id(), L"Info");
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(MessageBoxText(info), L"Please select one or more files first.");
        ASSERT_TRUE(AnswerMessageBox(info, IDOK));
    }
    EXPECT_EQ(WebRootFiles(), std::vector<std::wstring>{L"one.txt"});
    CloseAndExpectExitZero();
}

TEST_F(ToolWindowsUi, ImportCopiesTheChosenFileOverOneOfTheSameName) {
    WriteFileBytes(WebRootFolder() / L"import me.txt", "old content\n");
    TempFolder source;
    const fs::path chosen = source.path() / L"import me.txt";
    WriteFileBytes(chosen, "new content from the dialog\n");
    HWND main = nullptr;
    HWND manager = StartAndOpenFileManager(main);
    ASSERT_NE(manager, nullptr);

    PostClick(manager, kFmImportId);
    HWND dialog = WaitForMessageBox(app_.id(), L"Open");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(SaveScreenshot(dialog, ScreenshotFile("open_file_dialog.bmp")));
    // The box is a combo box, under Wine wrapped in a ComboBoxEx32: its edit field lies one
    // or two levels down.
    HWND nameEdit = FindDescendant(GetDlgItem(dialog, kFileNameComboId), L"Edit");
    ASSERT_NE(nameEdit, nullptr);
    SendMessageW(nameEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
    ASSERT_TRUE(AnswerMessageBox(dialog, IDOK));

    EXPECT_TRUE(WaitUntil([] { return ReadFileBytes(WebRootFolder() / L"import me.txt") == "new content from the dialog\n"; }));
    EXPECT_EQ(ReadFileBytes(chosen), "new content from the dialog\n");
    EXPECT_EQ(ListBoxItems(FileList(manager)), std::vector<std::wstring>{L"import me.txt"});
    CloseAndExpectExitZero();
}

// Several names typed at once, each in quotes, come back from the dialog as a folder and
// names; each is copied, and served at the address a browser makes for its name.
TEST_F(ToolWindowsUi, ImportCopiesEveryFileOfAMultipleChoice) {
    TempFolder source;
    const std::vector<std::wstring> names = {L"first.txt", L"second name.txt", L"caf\u00e9 menu.txt",
                                             L"\U0001F600 smile.txt", L"third.html"};
    for (const std::wstring& name : names) WriteFileBytes(source.path() / name, "copied\n");
    HWND main = nullptr;
    HWND manager = StartAndOpenFileManager(main);
    ASSERT_NE(manager, nullptr);

    PostClick(manager, kFmImportId);
    HWND dialog = WaitForMessageBox(app_.id(), L"Open");
    ASSERT_NE(dialog, nullptr);
    HWND nameEdit = FindDescendant(GetDlgItem(dialog, kFileNameComboId), L"Edit");
    ASSERT_NE(nameEdit, nullptr);
    // A folder typed and confirmed is entered, not returned.
    SendMessageW(nameEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(source.path().c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(nameEdit).empty() || !IsWindow(dialog); }));
    ASSERT_TRUE(IsWindow(dialog));
    std::wstring typed;
    for (const std::wstring& name : names) typed += L"\"" + name + L"\" ";
    SendMessageW(nameEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    ASSERT_TRUE(AnswerMessageBox(dialog, IDOK));

    EXPECT_TRUE(WaitUntil([&] { return WebRootFiles() == Sorted(names); }));
    EXPECT_TRUE(WaitUntil([&] { return Sorted(ListBoxItems(FileList(manager))) == Sorted(names); }));
    for (const std::wstring& name : names) EXPECT_EQ(ReadFileBytes(WebRootFolder() / name), "copied\n");
    for (const char* target : {"/first.txt", "/second%20name.txt", "/caf%C3%A9%20menu.txt", "/%F0%9F%98%80%20smile.txt"}) {
        EXPECT_EQ(TlsExchange(kPort, GetRequest(target)), TextFileResponse("copied\n")) << target;
    }
    CloseAndExpectExitZero();
}

// The ids of the running processes with this image name.
std::set<DWORD> ProcessesNamed(const wchar_t* image) {
    std::set<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, image) == 0) ids.insert(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

// Closes the other programs a scenario made start, by their windows, and waits for them.
void CloseProcessesByWindow(const std::set<DWORD>& ids) {
    for (DWORD id : ids) {
        for (HWND window : TopLevelWindows(id)) PostMessageW(window, WM_CLOSE, 0, 0);
        if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id)) {
            WaitForSingleObject(process, static_cast<DWORD>(kAppearLimit.count()));
            CloseHandle(process);
        }
    }
}

std::vector<std::wstring> VisibleTitlesOf(const std::set<DWORD>& ids) {
    std::vector<std::wstring> titles;
    for (DWORD id : ids) {
        for (HWND window : TopLevelWindows(id)) {
            if (IsWindowVisible(window)) titles.push_back(WindowText(window));
        }
    }
    return Sorted(titles);
}

TEST_F(ToolWindowsUi, NotepadStartsOneProcessPerAcceptableSelectedFile) {
    MakeWebRootFiles({L"one.txt", L"two words.txt", L"draft..old.txt"});
    HWND main = nullptr;
    HWND manager = StartAndOpenFileManager(main);
    ASSERT_NE(manager, nullptr);
    const std::set<DWORD> before = ProcessesNamed(L"notepad.exe");
    SelectRange(manager, 0, 2);

    PostClick(manager, kFmNotepadId);
    std::set<DWORD> started;
    auto newNotepads = [&] {
        started.clear();
        for (DWORD id : ProcessesNamed(L"notepad.exe")) {
            if (before.count(id) == 0) started.insert(id);
        }
        return started;
    };
    auto titlesShown = [&] {
        std::vector<std::wstring> titles = VisibleTitlesOf(newNotepads());
        return titles.size() == 2 && titles[0].find(L"one.txt") != std::wstring::npos &&
               titles[1].find(L"two words.txt") != std::wstring::npos;
    };
    EXPECT_TRUE(WaitUntil(titlesShown)) << "titles: " << testing::PrintToString(VisibleTitlesOf(newNotepads()));
    EXPECT_EQ(newNotepads().size(), 2u);
    CloseProcessesByWindow(newNotepads());
    CloseAndExpectExitZero();
}

// The Explorer names the folder it shows by its last component only; that its view holds
// as many entries as the Web Root (files and folders) tells it is that folder.
TEST_F(ToolWindowsUi, ExplorerOpensTheWebRoot) {
    MakeWebRootFiles({L"a.txt", L"b.txt", L"c.txt"});
    fs::create_directory(WebRootFolder() / L"folder");
    HWND main = nullptr;
    HWND manager = StartAndOpenFileManager(main);
    ASSERT_NE(manager, nullptr);
    const std::set<DWORD> before = ProcessesNamed(L"explorer.exe");

    PostClick(manager, kFmExplorerId);
    std::set<DWORD> started;
    HWND explorer = nullptr;
    auto webRootShown = [&] {
        started.clear();
        for (DWORD id : ProcessesNamed(L"explorer.exe")) {
            if (before.count(id) == 0) started.insert(id);
        }
        for (DWORD id : started) {
            explorer = FindTopLevel(id, kExplorerClass, L"Web");
            HWND view = FindDescendant(explorer, L"SysListView32");
            if (view != nullptr && SendMessageW(view, LVM_GETITEMCOUNT, 0, 0) == 4) return true;
        }
        return false;
    };
    EXPECT_TRUE(WaitUntil(webRootShown)) << "new Explorer processes: " << started.size() << "\n"
                                         << (started.empty() ? "" : DescribeWindows(*started.begin()));
    CloseProcessesByWindow(started);
    CloseAndExpectExitZero();
}

}  // namespace
}  // namespace uitest
