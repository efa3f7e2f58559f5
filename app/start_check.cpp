#include "app/start_check.h"

#include <ctime>

#include "app/certificate_maker.h"
#include "platform/folders.h"

void CheckCertificatesBeforeStart(const std::wstring& folder, platform::WindowHandle owner,
                                  CertificateNoticeFunction notify) {
    CertificateRequest request;
    request.folder = folder;
    request.now = std::time(nullptr);
    request.atStart = true;
    // Without an authority no pair is ours, and the names are not needed.
    if (platform::PathExists(folder + platform::kPathSeparator + kAuthorityCertificateFileName)) {
        request.computer = CurrentComputerNames();
    }
    const CertificateResult result = CheckCertificates(request);
    if (!result.pairExpired) return;
    notify(owner, ExpiredCertificateText(result.certPath, result.outcome != CertificateOutcome::UserPair, result.detail),
           L"Certificate expired");
}

std::wstring ExpiredCertificateText(const std::wstring& certPath, bool ours, const std::wstring& detail) {
    const std::wstring head = L"The certificate " + certPath + L" has expired: every browser will refuse it.\n\n";
    if (ours) {
        return head + L"Pellwick could not make it again:\n" + detail +
               L"\n\nRun MakeCertificate.exe in Pellwick's folder to repair it.";
    }
    return head + L"Pellwick did not make this certificate, so it leaves it as it is. Put a new certificate and key in "
                  L"its place, or delete server.crt and server.key and run MakeCertificate.exe to let Pellwick make "
                  L"them.";
}
