#include "certificates/decision.h"

#include <algorithm>

#include "certificates/builder.h"

namespace {

using Action = CertificateAction;
using Reason = CertificateReason;

bool EndsWithinRenewal(std::time_t end, std::time_t now) {
    return end < now + static_cast<std::time_t>(kRenewalDays) * kSecondsPerDay;
}

// Whether the authority can sign a pair for the computer now (Reason::Sound), or why not.
// `namesCount`: a name outside its constraints counts as a reason.
Reason AuthorityProblem(const FolderFacts& facts, std::time_t now, bool namesCount) {
    if (!facts.hasAuthority || facts.authorityKey == AuthorityKeyState::Unusable) return Reason::AuthorityUnusable;
    if (facts.authorityEnd <= now) return Reason::AuthorityExpired;
    if (EndsWithinRenewal(facts.authorityEnd, now)) return Reason::AuthorityEnding;
    if (namesCount && !facts.namesOutside.empty()) return Reason::NamesOutside;
    return Reason::Sound;
}

bool Holds(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// A name or address of the computer that the authority permits and the pair lacks.
bool LacksPermittedName(const FolderFacts& facts, const ComputerNames& computer) {
    for (const std::string& name : computer.dnsNames) {
        if (!Holds(facts.namesOutside, name) && !Holds(facts.pairNames, name)) return true;
    }
    // Every private address lies in the authority's permitted ranges.
    return std::any_of(computer.addresses.begin(), computer.addresses.end(),
                       [&](const std::string& address) { return !Holds(facts.pairNames, address); });
}

// Why a pair of ours is due, or Reason::Sound.
Reason RenewalReason(const FolderFacts& facts, const ComputerNames& computer, std::time_t now, bool renew) {
    if (renew) return Reason::RenewAsked;
    if (EndsWithinRenewal(facts.pairEnd, now)) return Reason::PairEnding;
    if (LacksPermittedName(facts, computer)) return Reason::PairLacksNames;
    return Reason::Sound;
}

CertificateDecision DecideMissingPair(const FolderFacts& facts, std::time_t now, const CertificateAsk& ask) {
    if (ask.atStart && !ask.makeMissing) return {Action::Leave, Reason::NoPair};
    if (!facts.hasAuthorityFiles) return {Action::MakeAuthorityAndPair, Reason::NoAuthority};
    if (ask.newAuthority) return {Action::MakeAuthorityAndPair, Reason::NewAuthorityAsked};
    const Reason problem = AuthorityProblem(facts, now, !ask.atStart);
    if (problem != Reason::Sound) return {Action::Leave, problem};
    return {Action::MakePair, Reason::NoPairYet};
}

}  // namespace

CertificateDecision DecideCertificates(const FolderFacts& facts, const ComputerNames& computer, std::time_t now,
                                       const CertificateAsk& ask) {
    if (facts.hasCertificate != facts.hasKey) return {Action::Leave, Reason::HalfPair};
    if (!facts.hasCertificate) return DecideMissingPair(facts, now, ask);
    if (!IsPairOfOurs(facts)) return {Action::Leave, Reason::UserPair};
    const Reason due = RenewalReason(facts, computer, now, ask.renew);
    const Reason problem = AuthorityProblem(facts, now, !ask.atStart);
    if (problem == Reason::Sound) return {due == Reason::Sound ? Action::Leave : Action::MakePair, due};
    if (ask.newAuthority && !ask.atStart) return {Action::MakeAuthorityAndPair, Reason::NewAuthorityAsked};
    // A start leaves a pair that is not due alone, unless the authority is ending: that is
    // news at every start, since nothing it signs can outlast it.
    if (ask.atStart && due == Reason::Sound && problem == Reason::AuthorityUnusable) return {Action::Leave, due};
    return {Action::Leave, problem};
}

bool IsPairOfOurs(const FolderFacts& facts) {
    return facts.hasCertificate && facts.hasKey && facts.hasAuthority && facts.pairVerifies && facts.keyMatches;
}

bool NeedsNewAuthority(CertificateReason reason) {
    return reason == Reason::NamesOutside || reason == Reason::AuthorityUnusable ||
           reason == Reason::AuthorityEnding || reason == Reason::AuthorityExpired;
}
