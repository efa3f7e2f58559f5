// The make-or-renew decision as a table: one row for each rule, on facts written out.
#include "certificates/decision.h"

#include <gtest/gtest.h>

#include "certificates/builder.h"

namespace {

constexpr std::time_t kNow = 1'800'000'000;
constexpr std::time_t kDay = 24 * 60 * 60;

const ComputerNames kComputer = {{"pc-7", "pc-7.local"}, {"192.168.1.20"}};

// A sound pair of ours for kComputer, and an authority years from its end.
FolderFacts OurPair() {
    FolderFacts facts;
    facts.hasCertificate = facts.hasKey = facts.hasAuthorityFiles = facts.hasAuthority = true;
    facts.pairVerifies = facts.keyMatches = true;
    facts.pairEnd = kNow + 300 * kDay;
    facts.authorityEnd = kNow + 3000 * kDay;
    facts.pairNames = {"localhost", "pc-7", "pc-7.local", "127.0.0.1", "192.168.1.20"};
    return facts;
}

FolderFacts NoPair(bool authority) {
    FolderFacts facts = OurPair();
    facts.hasCertificate = facts.hasKey = facts.pairVerifies = facts.keyMatches = false;
    facts.pairEnd = 0;
    facts.pairNames.clear();
    facts.hasAuthorityFiles = facts.hasAuthority = authority;
    facts.authorityEnd = authority ? facts.authorityEnd : 0;
    return facts;
}

template <typename Change>
FolderFacts With(FolderFacts facts, Change change) {
    change(facts);
    return facts;
}

TEST(CertificateDecision, OneActionAndOneReasonForEachRule) {
    using A = CertificateAction;
    using R = CertificateReason;
    const CertificateAsk check{};
    const CertificateAsk consoleStart{true, false, false, false};
    const CertificateAsk windowStart{true, true, false, false};
    const CertificateAsk renew{false, false, true, false};
    const CertificateAsk newAuthority{false, false, false, true};
    const auto keyOnly = [](FolderFacts& f) { f.hasCertificate = false; };
    const auto notOurs = [](FolderFacts& f) { f.pairVerifies = false; };
    const auto otherKey = [](FolderFacts& f) { f.keyMatches = false; };
    const auto noAuthority = [](FolderFacts& f) { f.hasAuthority = f.hasAuthorityFiles = false; };
    const auto pairIn29Days = [](FolderFacts& f) { f.pairEnd = kNow + 29 * kDay; };
    const auto pairIn31Days = [](FolderFacts& f) { f.pairEnd = kNow + 31 * kDay; };
    const auto pairExpired = [](FolderFacts& f) { f.pairEnd = kNow - kDay; };
    const auto lacksAddress = [](FolderFacts& f) { f.pairNames.pop_back(); };
    const auto renamed = [](FolderFacts& f) { f.namesOutside = {"pc-7"}; };
    const auto renamedAndLacking = [](FolderFacts& f) {
        f.namesOutside = {"pc-7"};
        f.pairNames = {"localhost", "pc-7.local"};  // without the address it permits
    };
    const auto keyUnusable = [](FolderFacts& f) { f.authorityKey = AuthorityKeyState::Unusable; };
    const auto damagedAuthority = [](FolderFacts& f) { f.hasAuthority = false; };
    // The authority's end: a year away, 20 days away, a day past (the pair capped at it).
    const auto authorityInAYear = [](FolderFacts& f) { f.authorityEnd = f.pairEnd = kNow + 365 * kDay; };
    const auto authorityIn20Days = [](FolderFacts& f) { f.authorityEnd = f.pairEnd = kNow + 20 * kDay; };
    const auto authorityEnded = [](FolderFacts& f) { f.authorityEnd = f.pairEnd = kNow - kDay; };
    struct Case {
        const char* what;
        FolderFacts facts;
        CertificateAsk ask;
        CertificateAction action;
        CertificateReason reason;
    };
    const Case cases[] = {
        {"1: key only", With(OurPair(), keyOnly), check, A::Leave, R::HalfPair},
        {"1: key only, /newauthority", With(OurPair(), keyOnly), newAuthority, A::Leave, R::HalfPair},
        {"2: console start, nothing", NoPair(false), consoleStart, A::Leave, R::NoPair},
        {"2: console start, authority only", NoPair(true), consoleStart, A::Leave, R::NoPair},
        {"2: nothing", NoPair(false), check, A::MakeAuthorityAndPair, R::NoAuthority},
        {"2: Pellwick.exe's start, nothing", NoPair(false), windowStart, A::MakeAuthorityAndPair, R::NoAuthority},
        {"2: an authority", NoPair(true), check, A::MakePair, R::NoPairYet},
        {"2: Pellwick.exe's start, an authority", NoPair(true), windowStart, A::MakePair, R::NoPairYet},
        {"2: an authority, /newauthority", NoPair(true), newAuthority, A::MakeAuthorityAndPair, R::NewAuthorityAsked},
        {"2+5: an authority ending", With(NoPair(true), authorityIn20Days), check, A::Leave, R::AuthorityEnding},
        {"2+5: a damaged authority", With(NoPair(true), damagedAuthority), check, A::Leave, R::AuthorityUnusable},
        {"2+5: renamed", With(NoPair(true), renamed), check, A::Leave, R::NamesOutside},
        {"2+5: renamed, at start", With(NoPair(true), renamed), windowStart, A::MakePair, R::NoPairYet},
        {"3: not signed by the authority", With(OurPair(), notOurs), renew, A::Leave, R::UserPair},
        {"3: another key", With(OurPair(), otherKey), newAuthority, A::Leave, R::UserPair},
        {"3: no authority", With(OurPair(), noAuthority), windowStart, A::Leave, R::UserPair},
        {"4: sound", OurPair(), check, A::Leave, R::Sound},
        {"4: sound at start", OurPair(), consoleStart, A::Leave, R::Sound},
        {"4: /renew", OurPair(), renew, A::MakePair, R::RenewAsked},
        {"4: 31 days left", With(OurPair(), pairIn31Days), check, A::Leave, R::Sound},
        {"4: 29 days left", With(OurPair(), pairIn29Days), consoleStart, A::MakePair, R::PairEnding},
        {"4: expired", With(OurPair(), pairExpired), check, A::MakePair, R::PairEnding},
        {"4: a new address", With(OurPair(), lacksAddress), check, A::MakePair, R::PairLacksNames},
        {"5: renamed", With(OurPair(), renamed), check, A::Leave, R::NamesOutside},
        {"5: renamed, /newauthority", With(OurPair(), renamed), newAuthority, A::MakeAuthorityAndPair,
         R::NewAuthorityAsked},
        {"5: renamed, at start: left out", With(OurPair(), renamed), consoleStart, A::Leave, R::Sound},
        {"5: renamed and due, at start", With(OurPair(), renamedAndLacking), consoleStart, A::MakePair,
         R::PairLacksNames},
        {"5: key unusable", With(With(OurPair(), pairExpired), keyUnusable), check, A::Leave, R::AuthorityUnusable},
        {"5: key unusable, at start, not due", With(OurPair(), keyUnusable), consoleStart, A::Leave, R::Sound},
        {"5: key unusable, /newauthority", With(With(OurPair(), pairExpired), keyUnusable), newAuthority,
         A::MakeAuthorityAndPair, R::NewAuthorityAsked},
        {"5: authority a year from its end", With(OurPair(), authorityInAYear), check, A::Leave, R::Sound},
        {"5: authority 20 days from its end", With(OurPair(), authorityIn20Days), check, A::Leave,
         R::AuthorityEnding},
        {"5: the same at start", With(OurPair(), authorityIn20Days), consoleStart, A::Leave, R::AuthorityEnding},
        {"5: authority a day past its end", With(OurPair(), authorityEnded), windowStart, A::Leave,
         R::AuthorityExpired},
        {"5: the same, /renew", With(OurPair(), authorityEnded), renew, A::Leave, R::AuthorityExpired},
        {"5: the same, /newauthority", With(OurPair(), authorityEnded), newAuthority, A::MakeAuthorityAndPair,
         R::NewAuthorityAsked},
    };
    for (const Case& c : cases) {
        const CertificateDecision decision = DecideCertificates(c.facts, kComputer, kNow, c.ask);
        EXPECT_EQ(decision.action, c.action) << c.what;
        EXPECT_EQ(decision.reason, c.reason) << c.what;
    }
}

}  // namespace
