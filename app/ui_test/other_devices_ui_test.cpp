// The window for other devices, driven from outside over a fixed list of adapters (two
// private addresses, a virtual adapter's, one that is down) and a pair made for all but one
// of them: which addresses it lists, in which order and with which mark, that a code is
// drawn exactly for those the pair holds (the pictures taken here at 100 and 150 % are
// decoded by a QR reader afterwards, see decode_codes.sh), the firewall's line as Wine
// reports it, and what its buttons do.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/ui_test/ui_scenario_win32.h"
#include "common/text.h"
#include "test_support/temp_folder.h"

namespace fs = std::filesystem;

namespace uitest {
namespace {

constexpr wchar_t kOtherDevicesClass[] = L"Pellwick_OtherDevices_Wnd";
constexpr wchar_t kOtherDevicesTitle[] = L"Pellwick - Other devices";
constexpr int kIntroId = 4001;
constexpr int kFirewallLineId = 4003;
constexpr int kFirewallSettingsId = 4004;
constexpr int kSaveCopyId = 4007;
constexpr int kShowInFolderId = 4008;
constexpr int kAddressUrlFirstId = 4100;
constexpr int kAddressNoteFirstId = 4300;
constexpr int kCodeCaptionFirstId = 4500;
constexpr int kFileNameComboId = 0x47C;

std::wstring Url(const std::string& host) {
    const std::wstring port = kPort == 443 ? L"" : L":" + std::to_wstring(kPort);
    return L"https://" + Utf8ToWide(host) + port + L"/";
}

struct AddressLine {
    std::wstring url;
    std::wstring note;
    std::wstring caption;  // the code's caption; empty when no code is drawn
};

std::vector<AddressLine> AddressLines(HWND window) {
    std::vector<AddressLine> lines;
    for (int i = 0; GetDlgItem(window, kAddressUrlFirstId + i) != nullptr; ++i) {
        lines.push_back({ControlText(window, kAddressUrlFirstId + i), ControlText(window, kAddressNoteFirstId + i),
                         GetDlgItem(window, kCodeCaptionFirstId + i) != nullptr
                             ? ControlText(window, kCodeCaptionFirstId + i)
                             : L""});
    }
    return lines;
}

class OtherDevicesUi : public ::testing::Test {
protected:
    HWND Open(const std::wstring& arguments = L"") {
        if (!app_.Start(folder_.exe(), arguments)) {
            ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
            return nullptr;
        }
        HWND window = WaitForTopLevel(app_.id(), kOtherDevicesClass, kOtherDevicesTitle);
        EXPECT_NE(window, nullptr) << "no window; the process has:\n" << DescribeWindows(app_.id())
                                   << (app_.HasExited() ? "and has ended" : "and runs");
        return window;
    }

    void CloseAndExpectExitZero(HWND window) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        ASSERT_EQ(WaitForSingleObject(app_.handle(), static_cast<DWORD>(kAppearLimit.count())), WAIT_OBJECT_0);
        DWORD exitCode = 1;
        GetExitCodeProcess(app_.handle(), &exitCode);
        EXPECT_EQ(exitCode, 0u);
    }

    std::string Started() const { return ReadFileBytes(folder_.folder() / L"started.txt"); }

    ExeFolder folder_{FromBuildPath(PELLWICK_OTHER_DEVICES_HOST)};
    AppProcess app_;
};

class OtherDevicesAtDpi : public OtherDevicesUi, public ::testing::WithParamInterface<UINT> {};

TEST_P(OtherDevicesAtDpi, EveryAddressIsListedAndOnlyThoseThePairHoldsGetACode) {
    const UINT dpi = GetParam();
    ScreenDpi screen(dpi);
    HWND window = Open();
    ASSERT_NE(window, nullptr);

    const std::vector<AddressLine> lines = AddressLines(window);
    ASSERT_GE(lines.size(), 4u);
    // The computer's names come first; then the addresses of the adapters that are up, the
    // virtual one last; loopback and the adapter that is down are left out.
    const std::size_t names = lines.size() - 3;
    EXPECT_NE(lines[0].url.find(L".local"), std::wstring::npos) << WideToUtf8(lines[0].url);
    for (std::size_t i = 0; i < names; ++i) EXPECT_EQ(lines[i].caption, lines[i].url);
    EXPECT_EQ(lines[names].url, Url("192.168.1.20"));
    EXPECT_EQ(lines[names].note, L"Wi-Fi");
    EXPECT_EQ(lines[names].caption, lines[names].url);
    EXPECT_EQ(lines[names + 1].url, Url("10.0.0.7"));
    EXPECT_EQ(lines[names + 1].note, L"Ethernet; not in the certificate yet: after the next server start");
    EXPECT_EQ(lines[names + 1].caption, L"");
    EXPECT_EQ(lines[names + 2].url, Url("172.20.16.1"));
    EXPECT_EQ(lines[names + 2].note, L"vEthernet (WSL); virtual adapter, usually not reachable from a phone");
    EXPECT_EQ(lines[names + 2].caption, lines[names + 2].url);

    // Wine's firewall objects answer the profile query with "not implemented".
    EXPECT_EQ(ControlText(window, kFirewallLineId), L"Windows Firewall: its settings could not be read.");

    // What a reader must find in the picture: exactly the captioned addresses.
    const std::string name = "other_devices_" + std::to_string(dpi);
    std::ofstream urls(ScreenshotFile(name + ".urls"), std::ios::binary | std::ios::trunc);
    for (const AddressLine& line : lines) {
        if (!line.caption.empty()) urls << WideToUtf8(line.caption) << "\n";
    }
    urls.close();
    EXPECT_TRUE(SaveScreenshot(window, ScreenshotFile(name + ".bmp")));
    if (dpi == 96) {
        // Moved to a monitor at 150 %: the window grows and draws its codes anew for it.
        RECT frame;
        GetWindowRect(window, &frame);
        ASSERT_TRUE(SendDpiChanged(app_.handle(), window, 144, frame));
        EXPECT_EQ(ClientSize(window).cx, 1440);
        WriteFileBytes(ScreenshotFile("other_devices_moved_to_144.urls"), ReadFileBytes(ScreenshotFile(name + ".urls")));
        EXPECT_TRUE(SaveScreenshot(window, ScreenshotFile("other_devices_moved_to_144.bmp")));
    }
    CloseAndExpectExitZero(window);
}

INSTANTIATE_TEST_SUITE_P(Scaling, OtherDevicesAtDpi, testing::Values(96u, 144u),
                         [](const testing::TestParamInfo<UINT>& dpi) { return std::to_string(dpi.param); });

// MakeCertificate.exe double-clicked in a fresh folder: it makes the authority and the pair,
// offers the trust step, and once that is done offers the window for other devices, which
// then lists what the new pair holds with codes.
TEST_F(OtherDevicesUi, TheTrustStepOffersTheWindow) {
    ExeFolder maker(FromBuildPath(PELLWICK_MAKE_CERTIFICATE_EXE));
    AppProcess untrust;
    ASSERT_TRUE(app_.Start(maker.exe()));
    HWND box = WaitForMessageBox(app_.id(), L"Pellwick certificate");
    ASSERT_NE(box, nullptr) << DescribeWindows(app_.id());
    EXPECT_NE(MessageBoxText(box).find(L"Trust Pellwick's certificate"), std::wstring::npos);
    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
    box = WaitForMessageBox(app_.id(), L"Pellwick certificate");
    ASSERT_NE(box, nullptr) << DescribeWindows(app_.id());
    const std::wstring offer = MessageBoxText(box);
    EXPECT_EQ(offer.rfind(L"This account's browsers now trust", 0), 0u) << WideToUtf8(offer);
    EXPECT_NE(offer.find(L"Show the addresses that phones and other computers open"), std::wstring::npos);
    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
    HWND window = WaitForTopLevel(app_.id(), kOtherDevicesClass, kOtherDevicesTitle);
    ASSERT_NE(window, nullptr) << DescribeWindows(app_.id());
    const std::vector<AddressLine> lines = AddressLines(window);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].caption, lines[0].url);
    CloseAndExpectExitZero(window);
    // The prefix's store is left as it was found.
    ASSERT_TRUE(untrust.Start(maker.exe(), L"/untrust /S"));
    EXPECT_EQ(WaitForSingleObject(untrust.handle(), static_cast<DWORD>(kAppearLimit.count())), WAIT_OBJECT_0);
}

// A computer without any network adapter: the window says so and still gives its names.
TEST_F(OtherDevicesUi, WithoutAnyAdapterTheWindowSaysSoAndListsTheNames) {
    HWND window = Open(L"/noadapters");
    ASSERT_NE(window, nullptr);
    const std::wstring intro = ControlText(window, kIntroId);
    EXPECT_EQ(intro.rfind(L"No network adapter is up", 0), 0u) << WideToUtf8(intro);
    const std::vector<AddressLine> lines = AddressLines(window);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].url.find(L".local"), std::wstring::npos) << WideToUtf8(lines[0].url);
    for (const AddressLine& line : lines) EXPECT_EQ(line.caption, line.url);
    CloseAndExpectExitZero(window);
}

// "Save a copy..." writes the authority's certificate, byte for byte, where the save dialog
// says; the firewall button and "Show in folder" start Windows' own pages for them.
TEST_F(OtherDevicesUi, TheButtonsSaveTheAuthorityAndOpenWindowsOwnPages) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    TempFolder target;
    const fs::path copy = target.path() / L"for the phone.crt";

    PostClick(window, kSaveCopyId);
    HWND dialog = WaitForMessageBox(app_.id(), L"Save a copy of Pellwick's certificate authority");
    ASSERT_NE(dialog, nullptr) << DescribeWindows(app_.id());
    HWND nameEdit = FindDescendant(GetDlgItem(dialog, kFileNameComboId), L"Edit");
    if (nameEdit == nullptr) nameEdit = GetDlgItem(dialog, 0x480);  // the dialog's plain name box
    ASSERT_NE(nameEdit, nullptr);
    SendMessageW(nameEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
    ASSERT_TRUE(AnswerMessageBox(dialog, IDOK));
    const std::string authority = ReadFileBytes(folder_.folder() / L"Pellwick-authority.crt");
    ASSERT_NE(authority.find("BEGIN CERTIFICATE"), std::string::npos);
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(copy) == authority; }));

    PostClick(window, kFirewallSettingsId);
    PostClick(window, kShowInFolderId);
    const std::string expected = "control.exe /name Microsoft.WindowsFirewall /page pageConfigureApps\n"
                                 "explorer.exe /select,\"" +
                                 WideToUtf8((folder_.folder() / L"Pellwick-authority.crt").wstring()) + "\"\n";
    EXPECT_TRUE(WaitUntil([&] { return Started() == expected; })) << Started();
    CloseAndExpectExitZero(window);
}

}  // namespace
}  // namespace uitest
