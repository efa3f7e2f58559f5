// The certificates Pellwick serves with, made for this computer by an authority of its own.
//
// Four files lie in the program's folder (never in the Web Root):
//   Pellwick-authority.crt  the authority: the one file a user trusts, on this PC and on
//                           other devices
//   Pellwick-authority.key  its private key: on Windows encrypted for the current user
//                           (DPAPI), on Linux readable by its owner alone
//   server.crt, server.key  the server pair that the authority signs and the server loads
// The authority is kept so that the server certificate can be made again (it expires, the
// computer gets a new address) without a new trust step on any device.
#pragma once

#include <openssl/types.h>

#include <array>
#include <ctime>
#include <string>
#include <vector>

inline constexpr wchar_t kCertificateFileName[] = L"server.crt";
inline constexpr wchar_t kKeyFileName[] = L"server.key";
inline constexpr wchar_t kAuthorityCertificateFileName[] = L"Pellwick-authority.crt";
inline constexpr wchar_t kAuthorityKeyFileName[] = L"Pellwick-authority.key";

// The authority lives 10 years. The server certificate lives 397 days, the public limit for
// server certificates, so that no client's policy can refuse it; no device trusts it itself,
// and it is made again once fewer than 30 days are left, so its short life costs nothing. Its validity starts a day before it is made, so that a device whose
// clock is a few hours behind accepts it at once.
inline constexpr int kAuthorityDays = 3652;
inline constexpr int kCertificateDays = 397;
inline constexpr int kRenewalDays = 30;
inline constexpr int kBackdateSeconds = 24 * 60 * 60;

// The address ranges the authority may vouch for, in OpenSSL's "address/mask" notation:
// loopback, and the whole private ranges, so that a new address on another network needs
// a new server certificate but no new trust step.
inline constexpr const char* kPermittedAddressRanges[] = {
    "127.0.0.0/255.0.0.0",       "::1/ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff",
    "10.0.0.0/255.0.0.0",        "172.16.0.0/255.240.0.0",
    "192.168.0.0/255.255.0.0",   "fc00::/fe00::",
};

// The exit codes of MakeCertificate.exe and make-certificate, which the installer reads.
inline constexpr int kExitDone = 0;           // made, renewed, trusted, untrusted, or a sound pair of ours
inline constexpr int kExitFailed = 1;         // nothing usable was made; the box or stderr says why
inline constexpr int kExitUserPair = 2;       // a pair placed by the user is there: untouched
inline constexpr int kExitHalfPair = 3;       // only one file of the pair is there: untouched
inline constexpr int kExitTrustDeclined = 4;  // the user answered No to Windows' trust box
inline constexpr int kExitNewAuthority = 5;   // a new authority, and a new trust step, is needed: nothing changed
inline constexpr int kExitNotSupported = 6;   // /trust or /untrust where there is no user store (Linux)

// What the certificates name besides localhost, 127.0.0.1 and ::1.
struct ComputerNames {
    std::vector<std::string> dnsNames;   // lower case ASCII: the system's names, then NAME.local
    std::vector<std::string> addresses;  // dotted private IPv4 addresses (10/8, 172.16/12, 192.168/16)
};

// The certificate names for what the system reports: each name lower-cased, the names that
// are not plain ASCII host names (non-ASCII letters, underscores, spaces) left out, a name
// without a dot also as NAME.local (its multicast DNS name), no name twice; of the
// addresses, only the private IPv4 ones, each once, in the order given.
ComputerNames CertificateNamesFor(const std::vector<std::wstring>& systemNames,
                                  const std::vector<std::string>& systemAddresses);

// This computer's names and private addresses now (platform calls plus the rule above).
ComputerNames CurrentComputerNames();

struct CertificateRequest {
    std::wstring folder;     // the program's folder, no trailing separator
    ComputerNames computer;  // what the server certificate should name now
    std::time_t now = 0;     // the current time, for validity and the renewal rules
    bool renew = false;      // renew a pair of ours even when it is not due
    bool newAuthority = false;  // replace an authority that cannot serve the computer's names
    bool atStart = false;  // the check before a server start: renews ours when due, makes nothing new
};

enum class CertificateOutcome {
    Made,          // the pair (and, when there was none, the authority) was made
    Renewed,       // a pair of ours was made again with the same authority
    Sound,         // a pair of ours that needs nothing
    UserPair,      // a pair that is not ours: untouched
    HalfPair,      // only one file of the pair (at start: not both): untouched
    NewAuthority,  // the authority cannot serve the computer's names, or its key is unusable
    Failed,        // nothing was changed; `detail` says why
};

struct CertificateResult {
    CertificateOutcome outcome = CertificateOutcome::Failed;
    std::wstring certPath;       // folder + separator + "server.crt"
    std::wstring keyPath;        // folder + separator + "server.key"
    std::wstring authorityPath;  // folder + separator + "Pellwick-authority.crt"
    bool madeAuthority = false;  // the authority was made (or replaced) by this call
    bool pairExpired = false;    // the pair left in place has expired: every browser refuses it
    std::vector<std::string> namesOutside;  // the computer's names the authority does not permit
    bool replacedAuthority = false;         // newAuthority replaced an authority with this SHA-1:
    std::array<unsigned char, 20> replacedThumbprint{};
    std::wstring detail;                    // Failed, NewAuthority: why
};

// Makes, renews or leaves the certificates in `request.folder` by these rules:
// - only one of server.crt and server.key: HalfPair, untouched;
// - a pair that is not ours (its certificate does not verify against the authority in the
//   folder, or its key does not match): UserPair, untouched, with pairExpired when expired;
// - a pair of ours: renewed when `renew`, when it has expired or expires within 30 days,
//   or when it lacks one of the computer's names or addresses that the authority permits;
//   otherwise Sound;
// - no pair: the authority is made when there is none, then the pair (Made); not atStart.
// A name outside the authority's constraints, or an authority whose key cannot be read,
// gives NewAuthority and changes nothing, unless `newAuthority` (then the authority is
// made anew, and the pair with it). At start such names are left out of a renewal instead.
// Every file is written under a temporary name first and renamed into place once all are
// written, so a failure in writing leaves the files as they were. A rename that fails after
// another succeeded is not undone: the pair (or the authority) may then not match.
CertificateResult CheckCertificates(const CertificateRequest& request);

// The text that tells the user the outcome, naming the files.
std::wstring CertificateOutcomeText(const CertificateResult& result);

// The exit code for the outcome (kExit* above).
int CertificateExitCode(CertificateOutcome outcome);

// The authority's certificate as the system store takes it: DER bytes and their SHA-1
// (the thumbprint). False, with `detail`, when the file is missing or no certificate.
struct AuthorityForStore {
    std::string der;
    std::array<unsigned char, 20> thumbprint{};
};
bool ReadAuthorityForStore(const std::wstring& folder, AuthorityForStore& authority, std::wstring& detail);

// The thumbprint as Windows shows it: 40 upper-case hex digits.
std::string ThumbprintText(const std::array<unsigned char, 20>& thumbprint);

// Signs the certificate with the key (ECDSA P-256, SHA-256) so that r and s of the signature
// both take their full 32 bytes. About one signature in 128 has a shorter integer: sound
// DER, which Windows accepts, but Wine's verifier refuses it as a bad signature, and a
// Pellwick.exe tried under Wine would then be refused once in a while at random.
bool SignCertificate(X509* certificate, EVP_PKEY* key);
