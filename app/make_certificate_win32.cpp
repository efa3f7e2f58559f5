// The process entry of MakeCertificate.exe: run by the installer (/S, /trust, /untrust),
// double-clicked in the portable folder, and the Start-menu entry's window for other
// devices (/otherdevices); it works in its own folder. What it does and its exit codes:
// app/make_certificate.h.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "certificates/certificate_maker.h"
#include "app/make_certificate.h"
#include "common/port.h"
#include "platform/folders.h"
#include "ui/other_devices_win32.h"

namespace {

const wchar_t kCaption[] = L"Pellwick certificate";

// The folder the program works in, for the window for other devices.
std::wstring workFolder;

void Tell(const std::wstring& text, Tone tone) {
    const UINT icon = tone == Tone::Information ? MB_ICONINFORMATION
                      : tone == Tone::Warning   ? MB_ICONWARNING
                                                : MB_ICONERROR;
    MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK | icon);
}

bool Ask(const std::wstring& textAndQuestion) {
    return MessageBoxW(nullptr, textAndQuestion.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

int ShowOtherDevices() {
    return RunOtherDevicesWindow(GetModuleHandleW(nullptr), {workFolder, platform::NetworkAdapters(), HTTPS_PORT});
}

// The authority is trusted here now; other devices are the next step.
void OfferOtherDevices(const std::wstring& trustText) {
    if (Ask(trustText + L"\n\nShow the addresses that phones and other computers open, and how they trust "
                        L"Pellwick too?")) {
        ShowOtherDevices();
    }
}

std::vector<std::wstring> Arguments() {
    std::vector<std::wstring> arguments;
    int count = 0;
    wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; list != nullptr && i < count; ++i) arguments.emplace_back(list[i]);
    LocalFree(list);
    return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const MakeCertificateOptions options = ParseMakeCertificateArguments(Arguments());
    if (!options.badArgument.empty()) {
        if (!options.silent) Tell(MakeCertificateUsage(options.badArgument), Tone::Error);
        return kExitFailed;
    }
    workFolder = options.folder.empty() ? platform::ExecutableFolder() : options.folder;
    if (options.otherDevices) return ShowOtherDevices();
    return RunMakeCertificate(options, workFolder, MakeCertificateDialogue{Tell, Ask, OfferOtherDevices});
}
