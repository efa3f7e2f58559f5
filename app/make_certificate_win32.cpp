// The process entry of MakeCertificate.exe: makes server.crt and server.key next to itself
// and tells the user the outcome in a message box. With "/S" (the installer's call) it
// shows nothing and answers only with its exit code (CertificateExitCode).
#include <windows.h>

#include <string>

#include "app/certificate_maker.h"
#include "platform/folders.h"

namespace {

const wchar_t kCaption[] = L"Pellwick certificate";

bool IsSilent(const wchar_t* commandLine) {
    std::wstring arguments = commandLine;
    const auto first = arguments.find_first_not_of(L' ');
    const auto last = arguments.find_last_not_of(L' ');
    arguments = first == std::wstring::npos ? L"" : arguments.substr(first, last - first + 1);
    return lstrcmpiW(arguments.c_str(), L"/S") == 0;
}

UINT BoxIcon(CertificateOutcome outcome) {
    switch (outcome) {
        case CertificateOutcome::Made:
        case CertificateOutcome::PairExists:
            return MB_ICONINFORMATION;
        case CertificateOutcome::OneFileExists:
            return MB_ICONWARNING;
        case CertificateOutcome::Failed:
            break;
    }
    return MB_ICONERROR;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    const CertificateResult result = MakeCertificatePair(platform::ExecutableFolder());
    if (!IsSilent(commandLine)) {
        MessageBoxW(nullptr, CertificateOutcomeText(result).c_str(), kCaption, MB_OK | BoxIcon(result.outcome));
    }
    return CertificateExitCode(result.outcome);
}
