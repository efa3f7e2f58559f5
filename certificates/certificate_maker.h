// Makes, renews or leaves Pellwick's certificates in the program's folder: the authority
// of this computer (Pellwick-authority.crt and its key) and the server pair it signs
// (server.crt and server.key). DecideCertificates says what is to be done; this carries it
// out, all or nothing (ReplaceFiles), after completing any replacement a run left undone.
#pragma once

#include <array>
#include <ctime>
#include <string>
#include <vector>

#include "certificates/builder.h"
#include "certificates/certificate_files.h"
#include "certificates/decision.h"
#include "certificates/folder_facts.h"
#include "certificates/names.h"
#include "pellwick_names.h"

struct CertificateRequest {
    std::wstring folder;     // the program's folder, no trailing separator
    ComputerNames computer;  // what the server certificate should name now
    std::time_t now = 0;     // the current time, for validity and the renewal rules
    bool renew = false;      // renew a pair of ours even when it is not due
    bool newAuthority = false;  // replace an authority that cannot serve the computer's names
    bool atStart = false;  // the check before a server start: renews ours when due
    bool makeMissing = false;  // at start: make a missing pair, and the authority when there is none
};

enum class CertificateOutcome {
    Made,          // the pair (and, when there was none, the authority) was made
    Renewed,       // a pair of ours was made again (with a new authority when `madeAuthority`)
    Sound,         // a pair of ours that needs nothing
    UserPair,      // a pair that is not ours: untouched
    HalfPair,      // only one file of the pair: untouched
    NoPair,        // neither file, at a start that makes none: the start's own hint follows
    NewAuthority,  // the authority cannot serve (`reason` says why): nothing changed
    Failed,        // nothing was changed; `detail` says why
};

struct CertificateResult {
    CertificateOutcome outcome = CertificateOutcome::Failed;
    CertificateReason reason = CertificateReason::Sound;  // the decision's
    std::wstring certPath;       // folder + separator + "server.crt"
    std::wstring keyPath;        // folder + separator + "server.key"
    std::wstring authorityPath;  // folder + separator + "Pellwick-authority.crt"
    AuthorityFile authority;     // the authority in the folder afterwards (its certificate null: none)
    std::time_t authorityEnd = 0;  // its last moment
    bool madeAuthority = false;  // the authority was made (or replaced) by this call
    bool pairExpired = false;    // the pair left in place has expired: every browser refuses it
    int pairDays = 0;            // Made, Renewed: the new pair's life in days
    std::vector<std::string> namesOutside;  // NewAuthority: the computer's names the authority does not permit
    bool replacedAuthority = false;         // a new authority replaced one with this SHA-1:
    std::array<unsigned char, 20> replacedThumbprint{};
    std::wstring detail;                    // Failed, NewAuthority: why
};

// Completes an interrupted replacement, reads the folder, asks DecideCertificates and does
// what it says. A failure in writing or moving leaves the files as they were.
CertificateResult CheckCertificates(const CertificateRequest& request);

// The text that tells the user the outcome, naming the files.
std::wstring CertificateOutcomeText(const CertificateResult& result);

// The exit code for the outcome (kExit* of pellwick_names.h).
int CertificateExitCode(CertificateOutcome outcome);

// What the server certificate in `folder` holds of the computer's names, for the addresses
// shown to other devices: the names the pair holds (none without a readable pair), the
// computer's names its authority does not permit, whether the check at Pellwick.exe's next
// start makes or renews the pair for what it lacks, and whether the pair is the user's own.
// Reads only: nothing is made or renewed, and a replacement left undone stays for the next
// start to complete.
CertificateNames CertificateNamesForDevices(const std::wstring& folder, const ComputerNames& computer,
                                            std::time_t now);

// Removes server.crt and server.key when they are a pair of ours (as an uninstallation
// does); a pair the user placed, or half of one, stays. The exit code: kExitDone when they
// are gone (or were not there), kExitUserPair, kExitHalfPair, or kExitFailed.
int RemovePairIfOurs(const std::wstring& folder, std::wstring& text);
