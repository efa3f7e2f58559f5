#include "app/start_check.h"

#include <ctime>

#include "app/make_certificate.h"
#include "certificates/certificate_maker.h"
#include "platform/folders.h"
#include "platform/trust_store.h"

namespace {

const wchar_t kNewAuthorityQuestion[] =
    L"\n\nBrowsers warn about Pellwick's pages until this authority is trusted. Trust it in this account's "
    L"browsers now? Windows will ask you to confirm.";

// A new authority made at this start: browsers warn until it is trusted, so the trust step
// is offered at once.
void OfferTrust(platform::WindowHandle owner, const CertificateResult& result, const StartCheckDialogue& dialogue) {
    if (!platform::HasUserRootStore() ||
        !dialogue.ask(owner, CertificateOutcomeText(result) + kNewAuthorityQuestion, L"New certificate authority")) {
        return;
    }
    std::wstring text;
    const int code = TrustAuthority(result.authority, text);
    if (code != kExitDone && code != kExitTrustDeclined) dialogue.notify(owner, text, L"Certificate authority");
}

}  // namespace

void CheckCertificatesBeforeStart(const std::wstring& folder, platform::WindowHandle owner,
                                  const StartCheckDialogue& dialogue) {
    CertificateRequest request;
    request.folder = folder;
    request.now = std::time(nullptr);
    request.atStart = true;
    request.makeMissing = dialogue.ask != nullptr;
    // Without an authority no pair is ours, and only a pair to be made needs the names.
    if (request.makeMissing || platform::PathExists(folder + platform::kPathSeparator + kAuthorityCertificateFileName)) {
        request.computer = CurrentComputerNames();
    }
    const CertificateResult result = CheckCertificates(request);
    if (result.outcome == CertificateOutcome::Made && result.madeAuthority) {
        OfferTrust(owner, result, dialogue);
    } else if (result.reason == CertificateReason::AuthorityEnding ||
               result.reason == CertificateReason::AuthorityExpired) {
        dialogue.notify(owner,
                        CertificateOutcomeText(result) +
                            L"\n\nRun MakeCertificate with /newauthority in Pellwick's folder to make it.",
                        L"Certificate authority expiring");
    } else if (result.pairExpired) {
        dialogue.notify(owner,
                        ExpiredCertificateText(result.certPath, result.outcome != CertificateOutcome::UserPair,
                                               result.detail),
                        L"Certificate expired");
    }
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
