// What the scenario tests share: where the program, the throwaway TLS files and the
// screenshots are, the control ids they press, and a fixture that starts Pellwick.exe
// from a folder of its own and makes sure it is gone afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/ui_test/ui_driver_win32.h"

namespace uitest {

inline constexpr std::uint16_t kPort = PELLWICK_HTTPS_PORT;

// Control ids of the control window.
inline constexpr int kStartStopId = 1001;
inline constexpr int kFileManagerId = 1005;
inline constexpr int kLogId = 1006;
inline constexpr int kStatusId = 1007;
inline constexpr int kStatusTextId = 1010;
inline constexpr int kLampId = 1011;

inline constexpr COLORREF kLampGreen = RGB(0, 200, 0);
inline constexpr COLORREF kLampRed = RGB(220, 0, 0);

std::filesystem::path GuiExe();
std::filesystem::path TestCertificate(const std::string& name);  // server.crt, server.key, other.key, ...
std::filesystem::path ScreenshotFile(const std::string& name);

// "GET <target> HTTP/1.1" with a Host line, as a browser sends it.
std::string GetRequest(const std::string& target);

// The whole 200 response to a GET of a ".txt" file with that body.
std::string TextFileResponse(const std::string& body);

// The lines of a text split at "\n" (the last piece too, even when empty).
std::vector<std::wstring> SplitLines(const std::wstring& text);

// The log's lines, split at "\r\n"; empty when there is no log file.
std::vector<std::string> LogLines();

// The length of a log line's time stamp, "2026-01-16 09:30:12.045".
inline constexpr size_t kStampLength = 23;

// A log line without its 23-character time stamp.
std::string WithoutStamp(const std::string& line);

// How many log lines carry this text after their stamp.
int CountLogLines(const std::string& afterStamp);

// The 15 lines of the status panel as they must read for this folder of the executable.
std::vector<std::wstring> RunningStatusLines(const std::filesystem::path& exeFolder, const std::wstring& portStatus);
std::vector<std::wstring> StoppedStatusLines(const std::filesystem::path& exeFolder, const std::wstring& portStatus);

// True once the lamp's centre shows the colour on the screen (the window is raised first).
bool WaitForLamp(HWND main, COLORREF colour);

// The control window's client size.
SIZE ClientSize(HWND window);

// Starts Pellwick.exe with the chosen TLS files beside it. Every scenario starts from an
// empty data folder, and refuses to run in a profile not made for tests (it would be the
// user's own Web Root): all programs of the prefix share it, as they share the port, so
// the scenarios run one at a time.
class UiScenario : public ::testing::Test {
protected:
    void SetUp() override;

    // Copies the named throwaway files in as server.crt and server.key (nullptr: leave that
    // one out) and starts the program.
    void Launch(const char* certificate = "server.crt", const char* key = "server.key");

    // The control window once visible; a failure is recorded and null returned.
    HWND WaitForMain();

    // Closes the control window and expects the process to end with 0.
    void CloseAndExpectExitZero();

    // Posts a click to the control window and waits until the start/stop button reads `text`.
    bool ClickStartStopUntil(HWND main, const wchar_t* text);

    std::unique_ptr<ExeFolder> folder_;
    AppProcess app_;
};

}  // namespace uitest
