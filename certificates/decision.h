// The one make-or-renew decision for Pellwick's certificates. The check before a server
// start, MakeCertificate and the installer all ask it; nothing else decides.
#pragma once

#include <ctime>

#include "certificates/folder_facts.h"

// What was asked.
struct CertificateAsk {
    bool atStart = false;      // the check before a server start
    bool makeMissing = false;  // at start: make a missing pair as MakeCertificate would (Pellwick.exe)
    bool renew = false;        // /renew: renew a pair of ours even when it is not due
    bool newAuthority = false;  // /newauthority: replace an authority that cannot serve
};

enum class CertificateAction {
    Leave,                 // change nothing
    MakePair,              // a new pair signed by the authority there, for the names it permits
    MakeAuthorityAndPair,  // a new authority for all the computer's names, and a pair signed by it
};

// Why: one reason for each rule below.
enum class CertificateReason {
    HalfPair,              // only one of server.crt and server.key
    NoPair,                // neither, at a start that makes nothing: the start's own hint follows
    UserPair,              // a pair that is not the authority's, or no authority
    Sound,                 // a pair of ours that needs nothing
    NoAuthority,           // no pair and no authority: both are made
    NoPairYet,             // no pair, an authority that can sign: the pair is made
    RenewAsked,            // /renew
    PairEnding,            // the pair has expired or ends within kRenewalDays
    PairLacksNames,        // the pair lacks a name or address of the computer that the authority permits
    NamesOutside,          // the computer has names outside the authority's constraints
    AuthorityUnusable,     // the authority's certificate is damaged or its key cannot be used
    AuthorityEnding,       // the authority ends within kRenewalDays: a pair signed now would too
    AuthorityExpired,      // the authority has ended: nothing it signs is valid
    NewAuthorityAsked,     // /newauthority where the authority cannot serve
};

struct CertificateDecision {
    CertificateAction action = CertificateAction::Leave;
    CertificateReason reason = CertificateReason::Sound;
};

// The rules, in this order:
// 1. Only one of server.crt and server.key: leave (HalfPair).
// 2. Neither: at a start that makes nothing, leave (NoPair). With /newauthority, or when
//    there is no authority file, make both (NoAuthority, or NewAuthorityAsked). Otherwise
//    the authority must be able to sign (rule 5); then the pair is made (NoPairYet).
// 3. A pair that does not verify against the authority, or whose key is another's, or no
//    authority: leave (UserPair), whatever was asked.
// 4. A pair of ours: renewed when /renew, when it ends within kRenewalDays, or when it
//    lacks a name or address that the authority permits; otherwise Sound.
// 5. Before anything is signed, the authority must be able to: an authority that is
//    damaged, whose key cannot be used, that has ended or ends within kRenewalDays, or
//    that does not permit all the computer's names, gives "a new authority is needed"
//    (leave, with that reason). With /newauthority it is replaced, and the pair with it.
//    At a start, names outside the authority are left out of the pair instead, and a pair
//    of ours that is not due stays Sound unless the authority ends.
CertificateDecision DecideCertificates(const FolderFacts& facts, const ComputerNames& computer, std::time_t now,
                                       const CertificateAsk& ask);

// True when both files of the pair are there, the certificate verifies against the
// authority in the folder and the key is its own: a pair that Pellwick made (rule 3).
bool IsPairOfOurs(const FolderFacts& facts);

// True when the reason means that only a new authority (and a new trust step) can help.
bool NeedsNewAuthority(CertificateReason reason);
