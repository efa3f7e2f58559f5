#include "app/ui_test/ui_scenario_win32.h"

#include <fstream>
#include <sstream>

#include "app/status_text.h"
#include "app/ui_test/tls_client_win32.h"
#include "test_support/app_data.h"

namespace fs = std::filesystem;

namespace uitest {

namespace {

std::wstring Padded(const wchar_t* label, size_t spaces, const std::wstring& value) {
    return label + std::wstring(spaces, L' ') + value;
}

std::wstring Indented(const fs::path& path) {
    return L"     " + path.wstring();
}

// Lines 6 to 15: the same in both forms but for the TLS heading.
void AppendPathLines(std::vector<std::wstring>& lines, const fs::path& exeFolder, const wchar_t* tlsHeading) {
    lines.push_back(L"Web Root:");
    lines.push_back(Indented(WebRootFolder()) + L"\\");
    lines.push_back(tlsHeading);
    lines.push_back(Indented(exeFolder / L"server.crt"));
    lines.push_back(Indented(exeFolder / L"server.key"));
    lines.push_back(L"Log:");
    lines.push_back(Indented(LogFilePath()));
    lines.push_back(L"");
    lines.push_back(Padded(L"Developer:", 11, kPublisher));
    lines.push_back(Padded(L"Developer URL:", 4, kDeveloperUrl));
}

}  // namespace

fs::path GuiExe() {
    return FromBuildPath(PELLWICK_GUI_EXE);
}

fs::path TestCertificate(const std::string& name) {
    return FromBuildPath(PELLWICK_TEST_CERTIFICATES) / name;
}

fs::path ScreenshotFile(const std::string& name) {
    return FromBuildPath(PELLWICK_SCREENSHOTS) / name;
}

std::string GetRequest(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
}

std::string TextFileResponse(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string> LogLines() {
    std::ifstream in(LogFilePath(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    const std::string text = content.str();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::string WithoutStamp(const std::string& line) {
    return line.size() >= kStampLength ? line.substr(kStampLength) : line;
}

int CountLogLines(const std::string& afterStamp) {
    int count = 0;
    for (const std::string& line : LogLines()) {
        if (WithoutStamp(line) == afterStamp) ++count;
    }
    return count;
}

std::vector<std::wstring> RunningStatusLines(const fs::path& exeFolder, const std::wstring& portStatus) {
    std::vector<std::wstring> lines = {
        Padded(L"Server:", 12, L"RUNNING"),
        Padded(L"Port:", 15, std::to_wstring(kPort)),
        Padded(L"Port Status:", 5, portStatus),
        Padded(L"URL:", 15, L"https://localhost/"),
        L"",
    };
    AppendPathLines(lines, exeFolder, L"TLS files (key and certificate):");
    return lines;
}

std::vector<std::wstring> StoppedStatusLines(const fs::path& exeFolder, const std::wstring& portStatus) {
    std::vector<std::wstring> lines = {
        Padded(L"Server:", 12, L"STOPPED"),
        Padded(L"Port:", 15, std::to_wstring(kPort)),
        Padded(L"Port Status:", 5, portStatus),
        L"",
        L"",
    };
    AppendPathLines(lines, exeFolder, L"TLS expected (EXE folder):");
    return lines;
}

bool WaitForLamp(HWND main, COLORREF colour) {
    HWND lamp = GetDlgItem(main, kLampId);
    return WaitUntil([&] {
        RaiseWindow(main);
        return ScreenPixel(lamp, POINT{11, 11}) == colour;
    });
}

SIZE ClientSize(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

void UiScenario::SetUp() {
    const std::string refusal = ClearAppDataForTest();
    if (!refusal.empty()) GTEST_FAIL() << refusal;
    ASSERT_FALSE(fs::exists(PellwickDataFolder()));
    ASSERT_FALSE(PortAccepts(kPort)) << "port " << kPort
                                     << " is held by another program; build the tests with another -DHTTPS_PORT";
    folder_ = std::make_unique<ExeFolder>(GuiExe());
}

void UiScenario::Launch(const char* certificate, const char* key) {
    if (certificate != nullptr) folder_->Add(TestCertificate(certificate), L"server.crt");
    if (key != nullptr) folder_->Add(TestCertificate(key), L"server.key");
    ASSERT_TRUE(app_.Start(folder_->exe())) << "CreateProcessW failed: " << GetLastError();
}

HWND UiScenario::WaitForMain() {
    HWND main = app_.WaitForVisibleMainWindow();
    EXPECT_NE(main, nullptr) << "no visible control window; the process has:\n" << DescribeWindows(app_.id())
                             << (app_.HasExited() ? "and has ended" : "and runs");
    return main;
}

void UiScenario::CloseAndExpectExitZero() {
    DWORD exitCode = 1;
    ASSERT_TRUE(app_.CloseAndWait(exitCode)) << "the program did not end after WM_CLOSE";
    EXPECT_EQ(exitCode, 0u);
}

bool UiScenario::ClickStartStopUntil(HWND main, const wchar_t* text) {
    PostClick(main, kStartStopId);
    return WaitUntil([&] { return ControlText(main, kStartStopId) == text; });
}

}  // namespace uitest
