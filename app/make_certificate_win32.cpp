// The process entry of MakeCertificate.exe: run by the installer (/S, /trust, /untrust)
// and double-clicked in the portable folder; it works in its own folder. What it does and
// its exit codes: app/make_certificate.h.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "certificates/certificate_maker.h"
#include "app/make_certificate.h"
#include "platform/folders.h"

namespace {

const wchar_t kCaption[] = L"Pellwick certificate";

void Tell(const std::wstring& text, Tone tone) {
    const UINT icon = tone == Tone::Information ? MB_ICONINFORMATION
                      : tone == Tone::Warning   ? MB_ICONWARNING
                                                : MB_ICONERROR;
    MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK | icon);
}

bool Ask(const std::wstring& textAndQuestion) {
    return MessageBoxW(nullptr, textAndQuestion.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
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
    const std::wstring folder = options.folder.empty() ? platform::ExecutableFolder() : options.folder;
    return RunMakeCertificate(options, folder, MakeCertificateDialogue{Tell, Ask});
}
