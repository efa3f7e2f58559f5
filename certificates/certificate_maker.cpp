#include "certificates/certificate_maker.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <ctime>
#include <utility>

#include "certificates/replacement.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/protected_data.h"

namespace {

// The computer's names without those the authority does not permit.
ComputerNames PermittedNames(const ComputerNames& computer, const std::vector<std::string>& outside) {
    ComputerNames permitted;
    permitted.addresses = computer.addresses;  // every private address lies in the permitted ranges
    for (const std::string& name : computer.dnsNames) {
        if (std::find(outside.begin(), outside.end(), name) == outside.end()) permitted.dnsNames.push_back(name);
    }
    return permitted;
}

int LifeInDays(X509* certificate) {
    const std::time_t span = CertificateTime(X509_get0_notAfter(certificate)) -
                             CertificateTime(X509_get0_notBefore(certificate));
    return static_cast<int>(span / kSecondsPerDay);
}

// What is made and then written in one replacement.
struct MadeFiles {
    SecretBytes authorityKey;  // as stored: encrypted for this account on Windows
    std::string authorityCertificate;
    SecretBytes key;
    std::string certificate;
};

// A new authority for all the computer's names into `files` and `authority`.
bool MakeAuthority(const CertificateRequest& request, MadeFiles& files, CertificatePtr& authority, KeyPtr& key,
                   std::wstring& detail) {
    key = NewKey();
    authority = key == nullptr ? nullptr : MakeAuthorityCertificate(key.get(), request.computer, request.now);
    SecretBytes pem;
    std::uint32_t error = 0;
    if (authority == nullptr || !KeyPem(key.get(), pem) ||
        (files.authorityCertificate = CertificatePem(authority.get())).empty()) {
        detail = OpenSslFailure(L"Making the authority");
        return false;
    }
    if (!platform::ProtectForCurrentUser(pem.bytes(), files.authorityKey.bytes(), error)) {
        detail = L"Could not encrypt the authority's key for this account:\n" + WindowsErrorText(error);
        return false;
    }
    return true;
}

// A new server pair signed by the authority into `files`; its life in days into `days`.
bool MakePair(X509* authority, EVP_PKEY* authorityKey, const ComputerNames& names, std::time_t now,
              MadeFiles& files, int& days, std::wstring& detail) {
    const KeyPtr key = NewKey();
    const CertificatePtr certificate =
        key == nullptr ? nullptr : MakeServerCertificate(key.get(), authority, authorityKey, names, now);
    if (certificate == nullptr || !KeyPem(key.get(), files.key) ||
        (files.certificate = CertificatePem(certificate.get())).empty()) {
        detail = OpenSslFailure(L"Making the server certificate");
        return false;
    }
    days = LifeInDays(certificate.get());
    return true;
}

// Carries out a decision to make: the files are made, then replace the old ones together.
// The server's key goes in before its certificate: a server that starts in between loads
// the old certificate with the new key and says that they do not match, rather than
// serving a stale pair.
void Make(const CertificateRequest& request, const CertificateDecision& decision, const FolderFacts& facts,
          KeyPtr authorityKey, CertificateResult& result) {
    MadeFiles files;
    CertificatePtr newAuthority;
    const bool withAuthority = decision.action == CertificateAction::MakeAuthorityAndPair;
    result.outcome = CertificateOutcome::Failed;
    if (withAuthority && !MakeAuthority(request, files, newAuthority, authorityKey, result.detail)) return;
    X509* signer = withAuthority ? newAuthority.get() : result.authority.certificate.get();
    const ComputerNames names = withAuthority ? request.computer : PermittedNames(request.computer, facts.namesOutside);
    if (!MakePair(signer, authorityKey.get(), names, request.now, files, result.pairDays, result.detail)) return;
    std::vector<ReplacementFile> set;
    if (withAuthority) {
        set.push_back({kAuthorityKeyFileName, files.authorityKey.bytes()});
        set.push_back({kAuthorityCertificateFileName, files.authorityCertificate});
    }
    set.push_back({kKeyFileName, files.key.bytes()});
    set.push_back({kCertificateFileName, files.certificate});
    if (!ReplaceFiles(request.folder, set, result.detail)) return;
    if (withAuthority) {
        result.replacedAuthority = result.authority.certificate != nullptr;
        result.replacedThumbprint = result.authority.thumbprint;
        result.authorityEnd = CertificateTime(X509_get0_notAfter(newAuthority.get()));
        TakeAuthority(std::move(newAuthority), result.authority);
    }
    result.madeAuthority = withAuthority;
    result.pairExpired = false;
    result.outcome = facts.hasCertificate ? CertificateOutcome::Renewed : CertificateOutcome::Made;
}

CertificateOutcome LeftOutcome(CertificateReason reason) {
    switch (reason) {
        case CertificateReason::HalfPair:
            return CertificateOutcome::HalfPair;
        case CertificateReason::NoPair:
            return CertificateOutcome::NoPair;
        case CertificateReason::UserPair:
            return CertificateOutcome::UserPair;
        default:
            return NeedsNewAuthority(reason) ? CertificateOutcome::NewAuthority : CertificateOutcome::Sound;
    }
}

std::wstring DateText(std::time_t time) {
    std::tm parts{};
    char text[16] = "";
    if (OPENSSL_gmtime(&time, &parts) == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d", &parts) == 0) {
        return L"?";
    }
    return Utf8ToWide(text);
}

// Why a new authority is needed, for the reasons that are not a list of names.
std::wstring AuthorityProblemText(const CertificateResult& result, const std::wstring& keyProblem) {
    switch (result.reason) {
        case CertificateReason::AuthorityExpired:
            return L"It expired on " + DateText(result.authorityEnd) + L": nothing it signs is valid.";
        case CertificateReason::AuthorityEnding:
            return L"It expires on " + DateText(result.authorityEnd) +
                   L", and a certificate it signs cannot outlast it.";
        default:
            return keyProblem;
    }
}

// What every run does first: completes a replacement that a run left undone, then reads
// the authority and the folder's facts.
bool ReadFolder(const std::wstring& folder, const ComputerNames& computer, AuthorityFile& authority,
                FolderFacts& facts, std::wstring& detail) {
    if (!CompleteInterruptedReplacement(folder, detail)) return false;
    std::wstring noAuthority;  // the facts say so
    ReadAuthorityFile(folder, authority, noAuthority);
    facts = ReadFolderFacts(folder, authority, computer);
    return true;
}

std::wstring JoinedNames(const std::vector<std::string>& names) {
    std::wstring text;
    for (const std::string& name : names) text += (text.empty() ? L"" : L", ") + Utf8ToWide(name);
    return text;
}

}  // namespace

CertificateResult CheckCertificates(const CertificateRequest& request) {
    CertificateResult result;
    result.certPath = InFolder(request.folder, kCertificateFileName);
    result.keyPath = InFolder(request.folder, kKeyFileName);
    result.authorityPath = InFolder(request.folder, kAuthorityCertificateFileName);
    FolderFacts facts;
    if (!ReadFolder(request.folder, request.computer, result.authority, facts, result.detail)) return result;
    result.authorityEnd = facts.authorityEnd;
    result.pairExpired = facts.pairEnd != 0 && facts.pairEnd < request.now;
    const CertificateAsk ask{request.atStart, request.makeMissing, request.renew, request.newAuthority};
    CertificateDecision decision = DecideCertificates(facts, request.computer, request.now, ask);
    // The authority's key is opened only when it is to sign; one that cannot be opened is
    // a fact the decision is asked again with.
    KeyPtr authorityKey;
    std::wstring keyProblem =
        facts.hasAuthority ? L"" : L"The authority's certificate " + result.authorityPath + L" is missing or damaged.";
    if (decision.action == CertificateAction::MakePair) {
        authorityKey = OpenAuthorityKey(request.folder, result.authority.certificate.get(), keyProblem);
        facts.authorityKey = authorityKey != nullptr ? AuthorityKeyState::Usable : AuthorityKeyState::Unusable;
        if (authorityKey == nullptr) decision = DecideCertificates(facts, request.computer, request.now, ask);
    }
    result.reason = decision.reason;
    if (decision.action != CertificateAction::Leave) {
        Make(request, decision, facts, std::move(authorityKey), result);
        return result;
    }
    result.outcome = LeftOutcome(decision.reason);
    if (result.outcome == CertificateOutcome::NewAuthority) {
        if (decision.reason == CertificateReason::NamesOutside) result.namesOutside = facts.namesOutside;
        result.detail = AuthorityProblemText(result, keyProblem);
    }
    return result;
}

std::wstring CertificateOutcomeText(const CertificateResult& result) {
    const std::wstring files = L"\n\n" + result.certPath + L"\n" + result.keyPath + L"\n\n";
    const std::wstring validity = L"The certificate is valid for " + std::to_wstring(result.pairDays) +
                                  L" days and is made again before it expires.";
    switch (result.outcome) {
        case CertificateOutcome::Made:
            return (result.madeAuthority ? L"Made Pellwick's certificate authority for this computer, " +
                                               result.authorityPath + L", and with it a certificate for this "
                                               L"computer and its key:"
                                         : L"Made a certificate for this computer and its key:") +
                   files + validity;
        case CertificateOutcome::Renewed:
            return std::wstring(result.madeAuthority ? L"Made a new certificate authority, " + result.authorityPath +
                                                           L", and with it a new certificate:"
                                                     : L"Made the certificate again with the same authority:") +
                   files + validity;
        case CertificateOutcome::Sound:
            return L"The certificate and its key are in order; nothing was changed:" + files;
        case CertificateOutcome::UserPair:
            return L"The certificate and its key were not made by Pellwick; nothing was changed:" + files +
                   (result.pairExpired ? L"The certificate has expired: every browser will refuse it. " : L"") +
                   L"To let Pellwick make them, delete both files and run MakeCertificate again.";
        case CertificateOutcome::HalfPair:
            return L"Only one of the two files is there; nothing was changed:" + files +
                   L"Put the missing one next to it, or delete the one that is there and run "
                   L"MakeCertificate again.";
        case CertificateOutcome::NoPair:
            return L"There is no certificate and no key; nothing was made:" + files +
                   L"Run MakeCertificate to make them.";
        case CertificateOutcome::NewAuthority:
            return L"Pellwick's certificate authority " + result.authorityPath + L" cannot serve this computer " +
                   (result.namesOutside.empty() ? L"any longer.\n\n" + result.detail
                                                : L"under its present names: " + JoinedNames(result.namesOutside) +
                                                      L".") +
                   L"\n\nA new authority is needed, and every device that trusts the old one must be given the "
                   L"new one. Nothing was changed.";
        case CertificateOutcome::Failed:
            break;
    }
    return L"No certificate was made.\n\n" + result.detail;
}

int CertificateExitCode(CertificateOutcome outcome) {
    switch (outcome) {
        case CertificateOutcome::Made:
        case CertificateOutcome::Renewed:
        case CertificateOutcome::Sound:
            return kExitDone;
        case CertificateOutcome::UserPair:
            return kExitUserPair;
        case CertificateOutcome::HalfPair:
            return kExitHalfPair;
        case CertificateOutcome::NewAuthority:
            return kExitNewAuthority;
        case CertificateOutcome::NoPair:
        case CertificateOutcome::Failed:
            break;
    }
    return kExitFailed;
}

CertificateNames CertificateNamesForDevices(const std::wstring& folder, const ComputerNames& computer,
                                            std::time_t now) {
    AuthorityFile authority;
    std::wstring noAuthority;  // the facts say so
    ReadAuthorityFile(folder, authority, noAuthority);
    const FolderFacts facts = ReadFolderFacts(folder, authority, computer);
    // Pellwick.exe's start: it makes a missing pair and renews one of ours that lacks a name.
    const CertificateDecision atStart = DecideCertificates(facts, computer, now, {true, true, false, false});
    const bool userPair =
        atStart.reason == CertificateReason::UserPair || atStart.reason == CertificateReason::HalfPair;
    return {facts.pairNames, facts.namesOutside, !userPair && !NeedsNewAuthority(atStart.reason), userPair};
}

int RemovePairIfOurs(const std::wstring& folder, std::wstring& text) {
    AuthorityFile authority;
    FolderFacts facts;
    if (!ReadFolder(folder, {}, authority, facts, text)) return kExitFailed;
    const std::wstring certPath = InFolder(folder, kCertificateFileName);
    const std::wstring keyPath = InFolder(folder, kKeyFileName);
    if (!facts.hasCertificate && !facts.hasKey) {
        text = L"There is no certificate to remove.";
        return kExitDone;
    }
    if (facts.hasCertificate != facts.hasKey) {
        text = L"Only one of the two files is there; it stays.";
        return kExitHalfPair;
    }
    if (!IsPairOfOurs(facts)) {
        text = L"The certificate and its key were not made by Pellwick; they stay.";
        return kExitUserPair;
    }
    if (!platform::DeleteFileAt(certPath) || !platform::DeleteFileAt(keyPath)) {
        text = L"Could not remove " + certPath + L" and " + keyPath + L".";
        return kExitFailed;
    }
    text = L"Removed Pellwick's certificate and its key.";
    return kExitDone;
}
