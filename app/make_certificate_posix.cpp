// make-certificate: the Linux build of MakeCertificate.exe, for tools/run.sh and the
// benchmarks. It talks on the terminal where the Windows program shows boxes.
#include <iostream>
#include <string>
#include <vector>

#include "certificates/certificate_maker.h"
#include "app/make_certificate.h"
#include "common/text.h"
#include "platform/console.h"
#include "platform/folders.h"

namespace {

void Tell(const std::wstring& text, Tone tone) {
    const std::string line = WideToUtf8(text) + "\n";
    if (tone == Tone::Information) {
        platform::WriteStdout(line);
    } else {
        platform::WriteStderr(line);
    }
}

// Yes only for a "y" typed on standard input; no input (a script) is No.
bool Ask(const std::wstring& textAndQuestion) {
    platform::WriteStdout(WideToUtf8(textAndQuestion) + " [y/N] ");
    std::string answer;
    const bool yes = std::getline(std::cin, answer) && (answer == "y" || answer == "Y" || answer == "yes");
    if (!yes) platform::WriteStdout("\n");
    return yes;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(Utf8ToWide(argv[i]));
    const MakeCertificateOptions options = ParseMakeCertificateArguments(arguments);
    if (!options.badArgument.empty()) {
        Tell(MakeCertificateUsage(options.badArgument) + L" [--folder DIR]", Tone::Error);
        return kExitFailed;
    }
    if (options.otherDevices) {
        Tell(L"The window for other devices is MakeCertificate.exe's on Windows; here the console host prints the "
             L"addresses other devices can open, with their QR codes, when it starts.",
             Tone::Information);
        return kExitNotSupported;
    }
    const std::wstring folder = options.folder.empty() ? platform::ExecutableFolder() : options.folder;
    return RunMakeCertificate(options, folder, MakeCertificateDialogue{Tell, Ask});
}
