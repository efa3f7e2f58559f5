#include "ui/other_devices_win32.h"

#include <commdlg.h>

#include <algorithm>

#include "certificates/certificate_files.h"
#include "common/text.h"
#include "platform/error_text.h"
#include "platform/firewall.h"
#include "platform/folders.h"
#include "ui/firewall_state.h"
#include "ui/other_devices.h"
#include "ui/qr_code.h"
#include "ui/ui_shared_win32.h"

namespace {

constexpr wchar_t kOtherDevicesClass[] = L"Pellwick_OtherDevices_Wnd";
constexpr wchar_t kTitle[] = L"Pellwick - Other devices";

enum OtherDevicesId {
    IDC_DEVICES_INTRO = 4001,
    IDC_FIREWALL_TITLE = 4002,
    IDC_FIREWALL_LINE = 4003,
    IDC_FIREWALL_SETTINGS = 4004,
    IDC_TRUST_TITLE = 4005,
    IDC_TRUST_TEXT = 4006,
    IDC_SAVE_COPY = 4007,
    IDC_SHOW_IN_FOLDER = 4008,
    IDC_TRUST_STEPS = 4009,
    IDC_DEVICES_CLOSE = 4010,
    IDC_ADDRESS_URL_FIRST = 4100,   // + the address's index
    IDC_ADDRESS_NOTE_FIRST = 4300,  // + the address's index
    IDC_CODE_CAPTION_FIRST = 4500,  // + the address's index, for an address with a code
};

// Every layout number of the window, in pixels at 96 DPI; the window scales them by its
// DPI. The window is as tall as what it shows: the rows follow one another from the top.
constexpr struct {
    int clientWidth = 960;
    int margin = 12;
    int sectionGap = 14;
    int introHeight = 36;
    int addressHeight = 22;
    int urlWidth = 320;
    int modulePixels = 4;  // a phone's camera reads a code of 4 pixels a module from a screen
    int codeColumnWidth = 224;  // room for an address of 15 digits and a port under its code
    int codeColumnGap = 8;
    int captionHeight = 22;
    int titleHeight = 22;
    int lineHeight = 38;
    int buttonHeight = 28;
    int wideButtonWidth = 300;
    int buttonWidth = 150;
    int buttonGap = 10;
    int stepsHeight = 128;
} kLayout;

// What the open window shows and is scaled for; one window at a time, touched only on its
// thread, cleared when it is destroyed.
struct {
    OtherDevicesScene scene;
    std::wstring authorityPath;
    std::vector<DeviceAddress> addresses;
    std::vector<QrModules> codes;  // one per address; size 0 where no code is drawn
    std::vector<RECT> codePlaces;  // one per address: where its code and quiet zone are painted
    UINT dpi = kBaseDpi;
    HFONT font = nullptr;       // the controls': "Segoe UI", 10 points
    HFONT titleFont = nullptr;  // the sections' titles: the same, bold
} shown;

void StartProgram(const std::wstring& commandLine) {
    if (StartCommandLine(commandLine)) return;
    const DWORD error = GetLastError();
    MessageBoxW(nullptr, (L"Could not start " + commandLine + L":\n" + platform::SystemErrorText(error)).c_str(),
                kTitle, MB_OK | MB_ICONERROR);
}

ProgramStarter startProgram = StartProgram;

bool FileExists(const std::wstring& path) {
    return platform::KindOfPath(path) == platform::PathKind::File;
}

// The addresses, what the certificate holds of them and the QR codes, as of now.
void GatherAddresses() {
    shown.addresses = CurrentAddressesForOtherDevices(shown.scene.folder, shown.scene.adapters, shown.scene.port);
    shown.codes.clear();
    for (const DeviceAddress& address : shown.addresses) {
        // Only an address the pair holds gets a code: a phone would meet a name mismatch at the others.
        shown.codes.push_back(address.cover == CertificateCover::Holds ? EncodeQr(WideToUtf8(address.url)) : QrModules{});
    }
    shown.codePlaces.assign(shown.addresses.size(), RECT{});
}

std::wstring IntroText() {
    if (!AnyNetworkAdapterUp(shown.scene.adapters)) {
        return L"No network adapter is up, so no other device can reach this computer now. Once it is on a network, "
               L"another device opens Pellwick at:";
    }
    return L"Another device on this network (a phone, a tablet, another computer) opens Pellwick at one of these "
           L"addresses. Scan a code with the device's camera:";
}

std::wstring TrustText() {
    if (!FileExists(shown.authorityPath)) {
        return L"Pellwick-authority.crt is not there yet: run MakeCertificate.exe in " + shown.scene.folder +
               L" first.";
    }
    return L"Trust on the device, once: copy Pellwick-authority.crt to it and install it as a certificate authority "
           L"(never the .key file beside it).";
}

HWND AddChild(HWND window, const wchar_t* className, const std::wstring& text, DWORD style, int id) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    return CreateChildControl(className, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, window, id,
                              instance, nullptr);
}

void CreateControls(HWND window) {
    AddChild(window, L"STATIC", IntroText(), 0, IDC_DEVICES_INTRO);
    for (std::size_t i = 0; i < shown.addresses.size(); ++i) {
        const int index = static_cast<int>(i);
        AddChild(window, L"EDIT", shown.addresses[i].url, ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP,
                 IDC_ADDRESS_URL_FIRST + index);
        AddChild(window, L"STATIC", AddressNote(shown.addresses[i]), SS_ENDELLIPSIS, IDC_ADDRESS_NOTE_FIRST + index);
        if (shown.codes[i].size > 0) {
            AddChild(window, L"STATIC", shown.addresses[i].url, SS_CENTER, IDC_CODE_CAPTION_FIRST + index);
        }
    }
    const std::wstring exe = shown.scene.folder + L"\\Pellwick.exe";
    const FirewallVerdict verdict = JudgeFirewall(platform::ReadFirewallPolicy(), exe, shown.scene.port);
    AddChild(window, L"STATIC", L"Windows Firewall", 0, IDC_FIREWALL_TITLE);
    AddChild(window, L"STATIC", FirewallLine(verdict), 0, IDC_FIREWALL_LINE);
    AddChild(window, L"BUTTON", L"Allow an app through Windows Firewall...", WS_TABSTOP, IDC_FIREWALL_SETTINGS);
    AddChild(window, L"STATIC", L"Pellwick's certificate authority", 0, IDC_TRUST_TITLE);
    AddChild(window, L"STATIC", TrustText(), 0, IDC_TRUST_TEXT);
    AddChild(window, L"BUTTON", L"Save a copy...", WS_TABSTOP, IDC_SAVE_COPY);
    AddChild(window, L"BUTTON", L"Show in folder", WS_TABSTOP, IDC_SHOW_IN_FOLDER);
    AddChild(window, L"EDIT", kTrustStepsText, WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | WS_TABSTOP,
             IDC_TRUST_STEPS);
    AddChild(window, L"BUTTON", L"Close", WS_TABSTOP | BS_DEFPUSHBUTTON, IDC_DEVICES_CLOSE);
    const BOOL haveAuthority = FileExists(shown.authorityPath) ? TRUE : FALSE;
    EnableWindow(GetDlgItem(window, IDC_SAVE_COPY), haveAuthority);
    EnableWindow(GetDlgItem(window, IDC_SHOW_IN_FOLDER), haveAuthority);
}

void Place(HWND window, int id, int x, int y, int width, int height) {
    MoveWindow(GetDlgItem(window, id), x, y, width, height, TRUE);
}

// The codes' grid: as many columns as fit, each as wide as the widest code or its caption.
// Returns the y below the last row.
int PlaceCodes(HWND window, int top, int width) {
    const UINT dpi = shown.dpi;
    const int module = Scaled(kLayout.modulePixels, dpi);
    int side = 0;
    for (const QrModules& code : shown.codes) side = std::max(side, (code.size + 2 * kQrQuietZone) * module);
    const int column = std::max(side, Scaled(kLayout.codeColumnWidth, dpi));
    const int gap = Scaled(kLayout.codeColumnGap, dpi);
    const int columns = std::max(1, (width + gap) / (column + gap));
    const int rowHeight = side + Scaled(kLayout.captionHeight, dpi) + gap;
    int drawn = 0;
    for (std::size_t i = 0; i < shown.codes.size(); ++i) {
        const QrModules& code = shown.codes[i];
        if (code.size == 0) continue;
        const int x = Scaled(kLayout.margin, dpi) + (drawn % columns) * (column + gap);
        const int y = top + (drawn / columns) * rowHeight;
        const int codeSide = (code.size + 2 * kQrQuietZone) * module;
        const int codeX = x + (column - codeSide) / 2;
        shown.codePlaces[i] = RECT{codeX, y, codeX + codeSide, y + codeSide};
        Place(window, IDC_CODE_CAPTION_FIRST + static_cast<int>(i), x, y + side, column,
              Scaled(kLayout.captionHeight, dpi));
        ++drawn;
    }
    if (drawn == 0) return top;
    return top + ((drawn + columns - 1) / columns) * rowHeight;
}

// Places every control for the window's DPI from the top down; returns the client height
// that shows them all.
int LayoutOtherDevices(HWND window) {
    const UINT dpi = shown.dpi;
    const auto s = [dpi](int pixels) { return Scaled(pixels, dpi); };
    const int left = s(kLayout.margin);
    const int width = s(kLayout.clientWidth) - 2 * left;
    int y = left;
    Place(window, IDC_DEVICES_INTRO, left, y, width, s(kLayout.introHeight));
    y += s(kLayout.introHeight);
    for (std::size_t i = 0; i < shown.addresses.size(); ++i) {
        const int index = static_cast<int>(i);
        Place(window, IDC_ADDRESS_URL_FIRST + index, left, y, s(kLayout.urlWidth), s(kLayout.addressHeight) - s(2));
        Place(window, IDC_ADDRESS_NOTE_FIRST + index, left + s(kLayout.urlWidth) + s(kLayout.buttonGap), y + s(2),
              width - s(kLayout.urlWidth) - s(kLayout.buttonGap), s(kLayout.addressHeight) - s(2));
        y += s(kLayout.addressHeight);
    }
    y = PlaceCodes(window, y + s(kLayout.sectionGap), width) + s(kLayout.sectionGap);
    Place(window, IDC_FIREWALL_TITLE, left, y, width, s(kLayout.titleHeight));
    y += s(kLayout.titleHeight);
    Place(window, IDC_FIREWALL_LINE, left, y, width, s(kLayout.lineHeight));
    y += s(kLayout.lineHeight);
    Place(window, IDC_FIREWALL_SETTINGS, left, y, s(kLayout.wideButtonWidth), s(kLayout.buttonHeight));
    y += s(kLayout.buttonHeight) + s(kLayout.sectionGap);
    Place(window, IDC_TRUST_TITLE, left, y, width, s(kLayout.titleHeight));
    y += s(kLayout.titleHeight);
    Place(window, IDC_TRUST_TEXT, left, y, width, s(kLayout.lineHeight));
    y += s(kLayout.lineHeight);
    Place(window, IDC_SAVE_COPY, left, y, s(kLayout.buttonWidth), s(kLayout.buttonHeight));
    Place(window, IDC_SHOW_IN_FOLDER, left + s(kLayout.buttonWidth) + s(kLayout.buttonGap), y, s(kLayout.buttonWidth),
          s(kLayout.buttonHeight));
    y += s(kLayout.buttonHeight) + s(kLayout.buttonGap);
    Place(window, IDC_TRUST_STEPS, left, y, width, s(kLayout.stepsHeight));
    y += s(kLayout.stepsHeight) + s(kLayout.sectionGap);
    Place(window, IDC_DEVICES_CLOSE, left + width - s(kLayout.buttonWidth), y, s(kLayout.buttonWidth),
          s(kLayout.buttonHeight));
    y += s(kLayout.buttonHeight) + left;
    InvalidateRect(window, nullptr, TRUE);
    return y;
}

// Lays the window out and sizes its frame around what it shows, keeping its top-left
// corner, inside its monitor's work area.
void FitFrameToContent(HWND window) {
    RECT frame{0, 0, Scaled(kLayout.clientWidth, shown.dpi), LayoutOtherDevices(window)};
    const DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, shown.dpi);
    RECT now;
    GetWindowRect(window, &now);
    OffsetRect(&frame, now.left - frame.left, now.top - frame.top);
    frame = ClampToWorkArea(frame);
    SetWindowPos(window, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool IsTitle(HWND control) {
    const int id = GetDlgCtrlID(control);
    return id == IDC_FIREWALL_TITLE || id == IDC_TRUST_TITLE;
}

// Makes the fonts for `dpi` and gives them to the controls; the previous fonts are deleted
// only once no control holds them any more.
void ScaleFonts(HWND window, UINT dpi) {
    HFONT previous = shown.font;
    HFONT previousTitle = shown.titleFont;
    shown.dpi = dpi;
    shown.font = CreateUiFont(dpi);
    shown.titleFont = CreateUiFont(dpi, FW_BOLD);
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        SetControlFont(child, IsTitle(child) ? shown.titleFont : shown.font);
    }
    DeleteFontSlot(previous);
    DeleteFontSlot(previousTitle);
}

// Each code on white, its quiet zone included, dark modules black: what a reader expects.
void PaintCodes(HDC dc) {
    const int module = Scaled(kLayout.modulePixels, shown.dpi);
    HBRUSH dark = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    HBRUSH light = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    for (std::size_t i = 0; i < shown.codes.size(); ++i) {
        const QrModules& code = shown.codes[i];
        if (code.size == 0) continue;
        const RECT& place = shown.codePlaces[i];
        FillRect(dc, &place, light);
        const int originX = place.left + kQrQuietZone * module;
        const int originY = place.top + kQrQuietZone * module;
        for (int y = 0; y < code.size; ++y) {
            for (int x = 0; x < code.size; ++x) {
                if (!code.Dark(x, y)) continue;
                const RECT cell{originX + x * module, originY + y * module, originX + (x + 1) * module,
                                originY + (y + 1) * module};
                FillRect(dc, &cell, dark);
            }
        }
    }
}

void OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PaintCodes(dc);
    EndPaint(window, &paint);
}

// A copy of the authority's certificate wherever the user chooses: a USB stick, a cloud
// folder. The key is never offered.
void SaveCopy(HWND window) {
    wchar_t file[MAX_PATH] = L"Pellwick-authority.crt";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = window;
    dialog.lpstrFilter = L"Certificate (*.crt)\0*.crt\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"crt";
    dialog.lpstrTitle = L"Save a copy of Pellwick's certificate authority";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetSaveFileNameW(&dialog)) return;
    if (CopyFileW(shown.authorityPath.c_str(), file, FALSE)) return;
    const DWORD error = GetLastError();
    MessageBoxW(window, (L"Could not save " + std::wstring(file) + L":\n" + platform::SystemErrorText(error)).c_str(),
                kTitle, MB_OK | MB_ICONERROR);
}

LRESULT OnCreate(HWND window) {
    GatherAddresses();
    CreateControls(window);
    ScaleFonts(window, WindowDpi(window));
    FitFrameToContent(window);
    return 0;
}

void OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam) {
    ScaleFonts(window, DpiOfDpiChanged(wParam));
    TakeSuggestedRect(window, lParam);
    FitFrameToContent(window);
}

void OnDestroy() {
    DeleteFontSlot(shown.font);
    DeleteFontSlot(shown.titleFont);
    shown.addresses.clear();
    shown.codes.clear();
    shown.codePlaces.clear();
    PostQuitMessage(0);
}

LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDC_FIREWALL_SETTINGS: startProgram(kFirewallSettingsCommand); return 0;
        case IDC_SAVE_COPY: SaveCopy(window); return 0;
        case IDC_SHOW_IN_FOLDER: startProgram(L"explorer.exe /select,\"" + shown.authorityPath + L"\""); return 0;
        case IDC_DEVICES_CLOSE:
        case IDCANCEL: DestroyWindow(window); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK OtherDevicesProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnCreate(window);
        case WM_ERASEBKGND: EraseWithWindowColour(window, reinterpret_cast<HDC>(wParam)); return 1;
        case WM_PAINT: OnPaint(window); return 0;
        case WM_COMMAND: return OnCommand(window, message, wParam, lParam);
        case WM_CTLCOLORSTATIC: return ColourStaticControl(reinterpret_cast<HDC>(wParam));
        case WM_CLOSE: DestroyWindow(window); return 0;
        case WM_DPICHANGED: OnDpiChanged(window, wParam, lParam); return 0;
        case WM_DESTROY: OnDestroy(); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

void SetProgramStarterForTests(ProgramStarter starter) {
    startProgram = starter != nullptr ? starter : StartProgram;
}

int RunOtherDevicesWindow(HINSTANCE instance, const OtherDevicesScene& scene) {
    shown.scene = scene;
    shown.authorityPath = scene.folder + L"\\" + kAuthorityCertificateFileName;
    RegisterAppWindowClass(kOtherDevicesClass, OtherDevicesProc, instance);
    HWND window = CreateWindowExW(0, kOtherDevicesClass, kTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab and Enter move between and press the controls, as in a dialog.
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
