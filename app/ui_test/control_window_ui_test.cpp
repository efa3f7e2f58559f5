// The control window of the real Pellwick.exe, driven from outside as a user would: the
// automatic start, the start/stop button, the status panel, the lamp, the boxes of a failed
// start and the exit.
#include <gtest/gtest.h>

#include "app/ui_test/tls_client_win32.h"
#include "app/ui_test/ui_scenario_win32.h"
#include "test_support/temp_folder.h"

namespace uitest {
namespace {

constexpr int kSmallClientHeight = 66;
constexpr int kTallClientHeight = 348;
constexpr int kClientWidth = 680;

const std::string kBody = "Served by the control window's server.\n";

class ControlWindowUi : public UiScenario {
protected:
    void SetUp() override {
        UiScenario::SetUp();
        WriteFileBytes(WebRootFolder() / L"hello.txt", kBody);
    }

    // Opens the status panel and waits until the window has its tall form.
    bool OpenStatusPanel(HWND main) {
        PostClick(main, kStatusId);
        return WaitUntil([&] {
            return IsWindowVisible(GetDlgItem(main, kStatusTextId)) && ClientSize(main).cy == kTallClientHeight;
        });
    }

    std::vector<std::wstring> StatusLines(HWND main) { return SplitLines(ControlText(main, kStatusTextId)); }

    // The status text is rebuilt on every tick, each time with a port probe that has 200 ms:
    // one slow probe on a busy machine shows for one tick only, so wait for the expected text.
    void ExpectStatusLines(HWND main, const std::vector<std::wstring>& expected) {
        if (!WaitUntil([&] { return StatusLines(main) == expected; })) {
            EXPECT_EQ(StatusLines(main), expected);
        }
    }

    // Waits until the panel's first line reads `firstLine`; the panel follows the server
    // on the next click handling or timer tick.
    bool WaitForStatusFirstLine(HWND main, const std::wstring& firstLine) {
        return WaitUntil([&] { return StatusLines(main).front() == firstLine; });
    }
};

TEST_F(ControlWindowUi, OpensRunningServesTheWebRootAndShowsTheRunningPanel) {
    Launch();
    HWND main = WaitForMain();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(WindowText(main), kControlTitle);
    EXPECT_EQ(ControlText(main, kStartStopId), L"Stop server");
    EXPECT_EQ(ControlText(main, kFileManagerId), L"File Manager");
    EXPECT_EQ(ControlText(main, kLogId), L"Log");
    EXPECT_EQ(ControlText(main, kStatusId), L"Status");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(main, kStatusTextId)));
    EXPECT_EQ(ClientSize(main).cx, kClientWidth);
    EXPECT_EQ(ClientSize(main).cy, kSmallClientHeight);

    EXPECT_EQ(TlsExchange(kPort, GetRequest("/hello.txt")), TextFileResponse(kBody));
    EXPECT_TRUE(WaitForLamp(main, kLampGreen));
    EXPECT_TRUE(SaveScreenshot(main, ScreenshotFile("control_window_running.bmp")));

    RECT smallFrame;
    GetWindowRect(main, &smallFrame);
    ASSERT_TRUE(OpenStatusPanel(main));
    ExpectStatusLines(main, RunningStatusLines(folder_->folder(), L"LISTENING"));
    RECT tallFrame;
    GetWindowRect(main, &tallFrame);
    EXPECT_EQ(tallFrame.left, smallFrame.left);
    EXPECT_EQ(tallFrame.top, smallFrame.top);
    EXPECT_TRUE(WaitForLamp(main, kLampGreen));
    EXPECT_TRUE(SaveScreenshot(main, ScreenshotFile("control_window_running_status.bmp")));

    // A second "Status" brings back the small form at the same place.
    // The window shrinks first and hides the text as it lays itself out for the new size.
    PostClick(main, kStatusId);
    EXPECT_TRUE(WaitUntil([&] {
        return ClientSize(main).cy == kSmallClientHeight && !IsWindowVisible(GetDlgItem(main, kStatusTextId));
    }));
    RECT backFrame;
    GetWindowRect(main, &backFrame);
    EXPECT_EQ(backFrame.left, smallFrame.left);
    EXPECT_EQ(backFrame.top, smallFrame.top);

    CloseAndExpectExitZero();
    const std::vector<std::string> log = LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(WithoutStamp(log.back()), " [INFO] Server stopped");
    EXPECT_EQ(CountLogLines(" [INFO] Server started"), 1);
}

// The tall window may be resized freely; the status text follows its height within 60 and
// 260 pixels, the buttons stay put.
TEST_F(ControlWindowUi, StatusTextFollowsTheWindowHeightWithinItsLimits) {
    Launch();
    HWND main = WaitForMain();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(OpenStatusPanel(main));
    const struct {
        int clientHeight;
        int textHeight;
    } cases[] = {{100, 60}, {125, 60}, {126, 60}, {127, 61}, {200, 134}, {326, 260}, {327, 260}, {500, 260}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clientHeight);
        RECT frame = {0, 0, kClientWidth, c.clientHeight};
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(main, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(main, GWL_EXSTYLE)));
        SetWindowPos(main, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        HWND text = GetDlgItem(main, kStatusTextId);
        EXPECT_TRUE(WaitUntil([&] {
            RECT shown;
            GetWindowRect(text, &shown);
            return ClientSize(main).cy == c.clientHeight && shown.bottom - shown.top == c.textHeight &&
                   shown.right - shown.left == kClientWidth - 24;
        }));
        RECT button;
        GetWindowRect(GetDlgItem(main, kStatusId), &button);
        EXPECT_EQ(button.right - button.left, 170);
    }
    CloseAndExpectExitZero();
}

TEST_F(ControlWindowUi, StopRefusesThePortAndStartServesAgain) {
    Launch();
    HWND main = WaitForMain();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(OpenStatusPanel(main));

    ASSERT_TRUE(ClickStartStopUntil(main, L"Start server"));
    EXPECT_FALSE(PortAccepts(kPort));
    EXPECT_EQ(TlsExchange(kPort, GetRequest("/hello.txt")), "");
    ASSERT_TRUE(WaitForStatusFirstLine(main, L"Server:            STOPPED"));
    EXPECT_EQ(StatusLines(main), StoppedStatusLines(folder_->folder(), L"FREE"));
    EXPECT_TRUE(WaitForLamp(main, kLampRed));
    EXPECT_TRUE(SaveScreenshot(main, ScreenshotFile("control_window_stopped_status.bmp")));
    EXPECT_EQ(CountLogLines(" [INFO] Server stopped"), 1);

    ASSERT_TRUE(ClickStartStopUntil(main, L"Stop server"));
    EXPECT_EQ(TlsExchange(kPort, GetRequest("/hello.txt")), TextFileResponse(kBody));
    ASSERT_TRUE(WaitForStatusFirstLine(main, L"Server:            RUNNING"));
    ExpectStatusLines(main, RunningStatusLines(folder_->folder(), L"LISTENING"));
    EXPECT_TRUE(WaitForLamp(main, kLampGreen));
    EXPECT_EQ(CountLogLines(" [INFO] Server started"), 2);

    CloseAndExpectExitZero();
    EXPECT_EQ(WithoutStamp(LogLines().back()), " [INFO] Server stopped");
    EXPECT_EQ(CountLogLines(" [INFO] Server stopped"), 2);
}

TEST_F(ControlWindowUi, ClosingWhileStoppedWritesNoSecondStopLine) {
    Launch();
    HWND main = WaitForMain();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(ClickStartStopUntil(main, L"Start server"));
    EXPECT_TRUE(WaitForLamp(main, kLampRed));
    EXPECT_TRUE(SaveScreenshot(main, ScreenshotFile("control_window_stopped.bmp")));
    CloseAndExpectExitZero();
    EXPECT_EQ(CountLogLines(" [INFO] Server stopped"), 1);
}

TEST_F(ControlWindowUi, PortHeldByAnotherListenerShowsTheBindBoxThenInUse) {
    PortBlocker blocker(kPort);
    ASSERT_TRUE(blocker.listening());
    Launch();
    HWND box = WaitForMessageBox(app_.id(), L"Error");
    ASSERT_NE(box, nullptr);
    HWND hidden = app_.FindMainWindow();
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(IsWindowVisible(hidden)) << "the box must come before the window";
    const std::wstring text = MessageBoxText(box);
    const std::wstring head = L"bind() to port " + std::to_wstring(kPort) + L" failed:\n";
    const std::wstring note =
        L"\n\nNote: port 443 usually requires admin privileges, or the port is already in use.\n"
        L"Try HTTPS_PORT = 8443 for testing.";
    EXPECT_EQ(text.substr(0, head.size()), head) << "box text: " << testing::PrintToString(text);
    ASSERT_GE(text.size(), head.size() + note.size());
    EXPECT_EQ(text.substr(text.size() - note.size()), note);
    EXPECT_TRUE(SaveScreenshot(box, ScreenshotFile("box_bind_failed.bmp")));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));

    HWND main = WaitForMain();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ControlText(main, kStartStopId), L"Start server");
    EXPECT_TRUE(WaitForLamp(main, kLampRed));
    ASSERT_TRUE(OpenStatusPanel(main));
    ExpectStatusLines(main, StoppedStatusLines(folder_->folder(), L"IN USE (other app?)"));

    // With the port free again the next start tries everything anew and succeeds.
    blocker.Release();
    ASSERT_TRUE(ClickStartStopUntil(main, L"Stop server"));
    EXPECT_EQ(TlsExchange(kPort, GetRequest("/hello.txt")), TextFileResponse(kBody));
    EXPECT_TRUE(WaitForStatusFirstLine(main, L"Server:            RUNNING"));
    CloseAndExpectExitZero();
}

// A folder with no certificate at all: the start makes the authority and the pair, offers
// the trust step in one box, and serves with the pair whatever the answer.
TEST_F(ControlWindowUi, AnEmptyFolderGetsAnAuthorityAndAPairAndTheTrustStepIsOffered) {
    Launch(nullptr, nullptr);
    HWND box = WaitForMessageBox(app_.id(), L"New certificate authority");
    ASSERT_NE(box, nullptr) << DescribeWindows(app_.id());
    const std::wstring text = MessageBoxText(box);
    const std::wstring head = L"Made Pellwick's certificate authority for this computer, " +
                              (folder_->folder() / L"Pellwick-authority.crt").wstring();
    EXPECT_EQ(text.substr(0, head.size()), head) << testing::PrintToString(text);
    EXPECT_NE(text.find(L"Trust it in this account's browsers now?"), std::wstring::npos);
    EXPECT_TRUE(SaveScreenshot(box, ScreenshotFile("box_new_authority.bmp")));
    ASSERT_TRUE(AnswerMessageBox(box, IDNO));

    HWND main = WaitForMain();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(WaitForLamp(main, kLampGreen));
    EXPECT_EQ(TlsExchange(kPort, GetRequest("/hello.txt")), TextFileResponse(kBody));
    for (const wchar_t* name : {L"server.crt", L"server.key", L"Pellwick-authority.crt", L"Pellwick-authority.key"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(folder_->folder() / name)) << testing::PrintToString(name);
    }
    CloseAndExpectExitZero();
}

// A start that fails on its TLS files: which files lie beside the program, and the box
// that must come up before the window does.
struct FailedStartCase {
    const char* name;
    const char* certificate;  // copied in as server.crt; nullptr: none
    const char* key;          // copied in as server.key; nullptr: none
    const wchar_t* caption;
    const wchar_t* textHead;  // the box text begins with this
    bool wholeText;           // ... and is exactly this followed by the folder and the hint
};

std::wstring MissingFilesText(const std::filesystem::path& exeFolder) {
    return L"Certificate/key not found in EXE folder:\n" + exeFolder.wstring() +
           L"\n\nCreate them next to the EXE:\nopenssl genrsa -out server.key 2048\n"
           L"openssl req -new -x509 -key server.key -out server.crt -days 3650 -subj \"/CN=localhost\"";
}

void PrintTo(const FailedStartCase& c, std::ostream* out) {
    *out << c.name;
}

class FailedStartUi : public UiScenario, public testing::WithParamInterface<FailedStartCase> {};

TEST_P(FailedStartUi, ShowsItsBoxBeforeTheWindowThenOffersStart) {
    const FailedStartCase& c = GetParam();
    Launch(c.certificate, c.key);
    HWND box = WaitForMessageBox(app_.id(), c.caption);
    ASSERT_NE(box, nullptr) << "no box captioned " << testing::PrintToString(std::wstring(c.caption));
    HWND hidden = app_.FindMainWindow();
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(IsWindowVisible(hidden)) << "the box must come before the window";

    const std::wstring text = MessageBoxText(box);
    if (c.wholeText) {
        EXPECT_EQ(text, MissingFilesText(folder_->folder()));
    } else {
        const std::wstring head = c.textHead;
        EXPECT_EQ(text.substr(0, head.size()), head) << "box text: " << testing::PrintToString(text);
        EXPECT_GT(text.size(), head.size()) << "the library's own error text is missing";
    }
    EXPECT_TRUE(SaveScreenshot(box, ScreenshotFile(std::string("box_") + c.name + ".bmp")));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));

    HWND main = WaitForMain();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ControlText(main, kStartStopId), L"Start server");
    EXPECT_TRUE(WaitForLamp(main, kLampRed));
    EXPECT_FALSE(PortAccepts(kPort));
    CloseAndExpectExitZero();
    EXPECT_EQ(CountLogLines(" [INFO] Server started"), 0);
    EXPECT_EQ(CountLogLines(" [INFO] Server stopped"), 0);
}

const FailedStartCase kFailedStarts[] = {
    {"missing_certificate", nullptr, "server.key", L"Error", nullptr, true},
    {"missing_key", "server.crt", nullptr, L"Error", nullptr, true},
    {"key_of_another_type", "server.crt", "ec.key", L"TLS Error",
     L"Private key does not match certificate.\nOpenSSL: ", false},
    {"key_of_another_certificate", "server.crt", "other.key", L"TLS Error",
     L"Failed to load private key (server.key).\nOpenSSL: ", false},
    {"certificate_not_pem", "garbage.pem", "server.key", L"TLS Error",
     L"Failed to load certificate (server.crt).\nOpenSSL: ", false},
};

INSTANTIATE_TEST_SUITE_P(TlsFiles, FailedStartUi, testing::ValuesIn(kFailedStarts),
                         [](const testing::TestParamInfo<FailedStartCase>& tested) { return tested.param.name; });

}  // namespace
}  // namespace uitest
