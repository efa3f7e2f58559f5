#include "app/status_text.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<std::wstring> SplitAtLineFeeds(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Labels are padded by counted spaces here, so a lost or extra space in the panel shows.
std::wstring Label(const wchar_t* label, std::size_t spaces, const std::wstring& value) {
    return label + std::wstring(spaces, L' ') + value;
}

StatusInputs Inputs(bool running, bool portAnswered) {
    return {running, portAnswered, L"8443", L"C:\\Users\\Ann\\AppData\\Local\\Pellwick\\Web\\",
            L"D:\\Tools\\server.crt", L"D:\\Tools\\server.key", L"C:\\Users\\Ann\\AppData\\Local\\Pellwick\\Log\\Pellwick.log"};
}

std::vector<std::wstring> ExpectedLines(bool running, const std::wstring& portStatus) {
    std::vector<std::wstring> lines = {
        Label(L"Server:", 12, running ? L"RUNNING" : L"STOPPED"),
        Label(L"Port:", 15, L"8443"),
        Label(L"Port Status:", 5, portStatus),
        running ? Label(L"URL:", 15, L"https://localhost/") : L"",
        L"",
        L"Web Root:",
        L"     C:\\Users\\Ann\\AppData\\Local\\Pellwick\\Web\\",
        running ? L"TLS files (key and certificate):" : L"TLS expected (EXE folder):",
        L"     D:\\Tools\\server.crt",
        L"     D:\\Tools\\server.key",
        L"Log:",
        L"     C:\\Users\\Ann\\AppData\\Local\\Pellwick\\Log\\Pellwick.log",
        L"",
        Label(L"Developer:", 11, kPublisher),
        Label(L"Developer URL:", 4, kDeveloperUrl),
    };
    return lines;
}

TEST(StatusText, BothFormsLineByLine) {
    const struct {
        bool running;
        bool portAnswered;
        const wchar_t* portStatus;
    } cases[] = {
        {true, true, L"LISTENING"},
        {true, false, L"NOT LISTENING"},
        {false, true, L"IN USE (other app?)"},
        {false, false, L"FREE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.portStatus);
        std::wstring text = BuildStatusText(Inputs(c.running, c.portAnswered));
        EXPECT_EQ(text.find(L'\r'), std::wstring::npos);
        EXPECT_NE(text.back(), L'\n');
        std::vector<std::wstring> lines = SplitAtLineFeeds(text);
        ASSERT_EQ(lines.size(), 15u);
        EXPECT_EQ(lines, ExpectedLines(c.running, c.portStatus));
        EXPECT_EQ(lines[5], L"Web Root:");
    }
}

TEST(StatusText, PathsAreShownAsGivenEvenWhenEmptyOrWide) {
    StatusInputs inputs{false, false, L"443", L"", L"C:\\Übung\\server.crt", L"C:\\日本\\server.key", L""};
    std::vector<std::wstring> lines = SplitAtLineFeeds(BuildStatusText(inputs));
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[1], Label(L"Port:", 15, L"443"));
    EXPECT_EQ(lines[6], L"     ");
    EXPECT_EQ(lines[8], L"     C:\\Übung\\server.crt");
    EXPECT_EQ(lines[9], L"     C:\\日本\\server.key");
    EXPECT_EQ(lines[11], L"     ");
}

}  // namespace
