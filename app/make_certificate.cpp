#include "app/make_certificate.h"

#include <ctime>

#include "certificates/certificate_maker.h"
#include "common/text.h"
#include "platform/console.h"
#include "platform/trust_store.h"

namespace {

Tone ToneOf(int exitCode) {
    switch (exitCode) {
        case kExitDone:
            return Tone::Information;
        case kExitFailed:
            return Tone::Error;
        default:
            return Tone::Warning;
    }
}

const wchar_t kTrustQuestion[] =
    L"Trust Pellwick's certificate in this account's browsers? Windows will ask you to confirm the new "
    L"certificate authority.\n\nOther devices trust it once each: copy Pellwick-authority.crt from this folder to "
    L"them (never the .key file).";

}  // namespace

int TrustAuthority(const AuthorityFile& authority, std::wstring& text) {
    std::uint32_t error = 0;
    switch (platform::TrustInUserRootStore(authority.der, error)) {
        case platform::TrustStoreOutcome::Done:
            text = L"This account's browsers now trust Pellwick's certificate authority (thumbprint " +
                   Utf8ToWide(ThumbprintText(authority.thumbprint)) + L"). A browser that is open may need a restart.";
            return kExitDone;
        case platform::TrustStoreOutcome::Declined:
            text = L"Pellwick's certificate authority is not trusted: the confirmation was answered No. Browsers "
                   L"will warn about Pellwick's pages until it is trusted.";
            return kExitTrustDeclined;
        case platform::TrustStoreOutcome::NotSupported:
            text = L"This system has no certificate store for this account's browsers; each browser trusts the "
                   L"authority in its own certificate database (certutil).";
            return kExitNotSupported;
        case platform::TrustStoreOutcome::Failed:
            break;
    }
    text = L"Could not add Pellwick's certificate authority to this account's trusted authorities:\n" +
           WindowsErrorText(error);
    return kExitFailed;
}

namespace {

int Untrust(const std::wstring& folder, std::wstring& text) {
    AuthorityFile authority;
    std::wstring detail;
    if (!ReadAuthorityFile(folder, authority, detail)) {
        text = detail;
        return kExitFailed;
    }
    std::uint32_t error = 0;
    switch (platform::UntrustInUserRootStore(authority.thumbprint, error)) {
        case platform::TrustStoreOutcome::Done:
            text = L"This account no longer trusts Pellwick's certificate authority (thumbprint " +
                   Utf8ToWide(ThumbprintText(authority.thumbprint)) + L").";
            return kExitDone;
        case platform::TrustStoreOutcome::Declined:
            text = L"Pellwick's certificate authority is still trusted: the confirmation was answered No.";
            return kExitTrustDeclined;
        case platform::TrustStoreOutcome::NotSupported:
            text = L"This system has no certificate store for this account's browsers.";
            return kExitNotSupported;
        case platform::TrustStoreOutcome::Failed:
            break;
    }
    text = L"Could not remove Pellwick's certificate authority from this account's trusted authorities:\n" +
           WindowsErrorText(error);
    return kExitFailed;
}

// An authority that a new one replaced leaves this account's store with it, so that only
// the one in the folder stays trusted.
void ForgetReplacedAuthority(const CertificateResult& result) {
    std::uint32_t error = 0;
    if (result.replacedAuthority && platform::IsInUserRootStore(result.replacedThumbprint)) {
        platform::UntrustInUserRootStore(result.replacedThumbprint, error);
    }
}

// The authority's thumbprint on standard output, one line, for the installer to record.
int PrintThumbprint(const std::wstring& folder, std::wstring& text) {
    AuthorityFile authority;
    if (!ReadAuthorityFile(folder, authority, text)) return kExitFailed;
    platform::WriteStdout(ThumbprintText(authority.thumbprint) + "\n");
    return kExitDone;
}

}  // namespace

MakeCertificateOptions ParseMakeCertificateArguments(const std::vector<std::wstring>& arguments) {
    MakeCertificateOptions options;
    for (std::size_t i = 0; i < arguments.size() && options.badArgument.empty(); ++i) {
        std::wstring word = AsciiLowerCaseText(arguments[i]);
        std::size_t start = 0;
        if (word.rfind(L"--", 0) == 0) {
            start = 2;
        } else if (!word.empty() && (word[0] == L'/' || word[0] == L'-')) {
            start = 1;
        }
        word = word.substr(start);
        if (word == L"s" || word == L"silent") {
            options.silent = true;
        } else if (word == L"renew") {
            options.renew = true;
        } else if (word == L"trust") {
            options.trust = true;
        } else if (word == L"untrust") {
            options.untrust = true;
        } else if (word == L"newauthority" || word == L"new-authority") {
            options.newAuthority = true;
        } else if (word == L"thumbprint") {
            options.thumbprint = true;
        } else if (word == L"removepair" || word == L"remove-pair") {
            options.removePair = true;
        } else if (word == L"otherdevices" || word == L"other-devices") {
            options.otherDevices = true;
        } else if (start > 0 && word == L"folder" && i + 1 < arguments.size()) {
            options.folder = arguments[++i];
        } else {
            options.badArgument = arguments[i];
        }
    }
    return options;
}

std::wstring MakeCertificateUsage(const std::wstring& badArgument) {
    return L"Unknown argument: " + badArgument +
           L"\n\nUsage: MakeCertificate [/S] [/renew] [/trust] [/untrust] [/newauthority] [/thumbprint] [/removepair] [/otherdevices]";
}

int RunMakeCertificate(const MakeCertificateOptions& options, const std::wstring& folder,
                       const MakeCertificateDialogue& dialogue) {
    std::wstring text;
    int code = kExitDone;
    if (options.untrust || options.thumbprint || options.removePair) {
        code = options.untrust ? Untrust(folder, text)
               : options.thumbprint ? PrintThumbprint(folder, text)
                                    : RemovePairIfOurs(folder, text);
        if (!options.silent && !(options.thumbprint && code == kExitDone)) dialogue.tell(text, ToneOf(code));
        return code;
    }
    CertificateRequest request;
    request.folder = folder;
    request.computer = CurrentComputerNames();
    request.now = std::time(nullptr);
    request.renew = options.renew;
    request.newAuthority = options.newAuthority;
    CertificateResult result = CheckCertificates(request);
    if (result.outcome == CertificateOutcome::NewAuthority && !options.silent &&
        dialogue.ask(CertificateOutcomeText(result) + L"\n\nMake a new certificate authority now?")) {
        request.newAuthority = true;
        result = CheckCertificates(request);
    }
    ForgetReplacedAuthority(result);
    code = CertificateExitCode(result.outcome);
    text = CertificateOutcomeText(result);
    const AuthorityFile& authority = result.authority;
    const bool hasAuthority = authority.certificate != nullptr;
    if (code == kExitDone && !options.trust && !options.silent && platform::HasUserRootStore() && hasAuthority &&
        !platform::IsInUserRootStore(authority.thumbprint)) {
        if (!dialogue.ask(text + L"\n\n" + kTrustQuestion)) return code;
        std::wstring trustText;
        code = TrustAuthority(authority, trustText);
        if (code == kExitDone && dialogue.offerOtherDevices != nullptr) {
            dialogue.offerOtherDevices(trustText);
        } else {
            dialogue.tell(trustText, ToneOf(code));
        }
        return code;
    }
    if (code == kExitDone && options.trust) {
        std::wstring trustText;
        code = hasAuthority ? TrustAuthority(authority, trustText) : kExitFailed;
        if (!hasAuthority) trustText = L"There is no certificate authority in " + result.authorityPath + L".";
        text += L"\n\n" + trustText;
    }
    if (!options.silent) dialogue.tell(text, ToneOf(code));
    return code;
}
