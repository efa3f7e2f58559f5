// The certificate pair Pellwick.exe reads from its own folder, made for this machine: by
// the installer (MakeCertificate.exe /S) and by a double-click on MakeCertificate.exe in
// the portable folder, where Windows has no openssl command to make it by hand.
#pragma once

#include <string>

// A self-signed RSA certificate for the names a browser on this machine uses. Browsers
// look only at the subjectAltName entries, never at the common name. 825 days is the
// longest validity that browsers still accept for a server certificate.
inline constexpr int kCertificateKeyBits = 2048;
inline constexpr int kCertificateDays = 825;
inline constexpr char kCertificateAltNames[] = "DNS:localhost,IP:127.0.0.1,IP:::1";
inline constexpr wchar_t kCertificateFileName[] = L"server.crt";
inline constexpr wchar_t kKeyFileName[] = L"server.key";

enum class CertificateOutcome {
    Made,           // both files were written
    PairExists,     // both were already there: nothing was touched
    OneFileExists,  // only one of them was there: nothing was touched
    Failed,         // nothing was made; `detail` says why
};

struct CertificateResult {
    CertificateOutcome outcome = CertificateOutcome::Failed;
    std::wstring certPath;  // folder + separator + "server.crt"
    std::wstring keyPath;   // folder + separator + "server.key"
    std::wstring detail;    // for Failed: the step that failed and the system's or OpenSSL's text
};

// Makes server.crt and server.key in `folder` (no trailing separator) unless either is
// there already; never replaces or removes a file it did not write. The key is written
// first and removed again when the certificate cannot be written, so a failure leaves no
// half pair behind.
CertificateResult MakeCertificatePair(const std::wstring& folder);

// The message that tells the user the outcome, naming the files.
std::wstring CertificateOutcomeText(const CertificateResult& result);

// The exit code of MakeCertificate.exe for the outcome, which the installer reads:
// 0 made, 1 failed, 2 the pair was there, 3 only one file was there.
int CertificateExitCode(CertificateOutcome outcome);
