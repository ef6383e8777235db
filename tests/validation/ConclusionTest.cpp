// The conclusion from the building blocks' facts, by the rules a clerk relies
// on: what a proven time does for an expired or revoked certificate and for
// an algorithm past its time, and what the lack of each proof leaves open.

#include "validation/Conclusion.h"

#include <gtest/gtest.h>

#include <string>

namespace tolv::validation {
namespace {

using signature::SignatureReport;
using signature::Status;
using signature::UnknownCause;

constexpr std::int64_t k2012 = 1325376000, k2020 = 1577836800, k2021 = 1609459200;

ValidationFacts Intact(ChainFacts::Outcome chain, Revocation revocation) {
    ValidationFacts facts;
    facts.integrity = Status::Intact;
    facts.chain = chain;
    facts.revocation = revocation;
    return facts;
}

TEST(ConclusionTest, FollowsTheRules) {
    using Chain = ChainFacts::Outcome;
    const AlgorithmLimit sha1{"SHA-1", 1388534399};
    struct Row {
        const char* name;
        ValidationFacts facts;
        Indication indication;
        SubIndication sub;
    };
    auto with = [](ValidationFacts facts, auto change) {
        change(facts);
        return facts;
    };
    const Row rows[] = {
        {"chain to an anchor, revocation good", Intact(Chain::Found, Revocation::Good),
         Indication::Valid, SubIndication::None},
        {"no revocation data", Intact(Chain::Found, Revocation::None), Indication::Indeterminate,
         SubIndication::TryLater},
        {"revocation data that says nothing", Intact(Chain::Found, Revocation::Unknown),
         Indication::Indeterminate, SubIndication::TryLater},
        {"no anchor reached", Intact(Chain::NoChain, Revocation::Good), Indication::Indeterminate,
         SubIndication::NoCertificateChainFound},
        {"expired at the best signature time", Intact(Chain::OutOfBounds, Revocation::Good),
         Indication::Indeterminate, SubIndication::OutOfBoundsNoPoe},
        {"revoked after a proven time",
         with(Intact(Chain::Found, Revocation::Revoked),
              [](auto& f) { f.provenTime = k2020, f.revokedAt = k2021; }),
         Indication::Valid, SubIndication::None},
        {"revoked, no proven time",
         with(Intact(Chain::Found, Revocation::Revoked), [](auto& f) { f.revokedAt = k2020; }),
         Indication::Indeterminate, SubIndication::RevokedNoPoe},
        {"an intermediate CA revoked, no proven time",
         with(Intact(Chain::Found, Revocation::Good), [](auto& f) { f.caRevokedAt = k2020; }),
         Indication::Indeterminate, SubIndication::RevokedCaNoPoe},
        {"an intermediate CA revoked after a proven time",
         with(Intact(Chain::Found, Revocation::Good),
              [](auto& f) { f.provenTime = k2020, f.caRevokedAt = k2021; }),
         Indication::Valid, SubIndication::None},
        {"revoked before the proven time",
         with(Intact(Chain::Found, Revocation::Revoked),
              [](auto& f) { f.provenTime = k2021, f.revokedAt = k2020; }),
         Indication::Invalid, SubIndication::Revoked},
        {"SHA-1, nothing proves its age",
         with(Intact(Chain::Found, Revocation::Good), [&](auto& f) { f.algorithmLimit = sha1; }),
         Indication::Indeterminate, SubIndication::CryptoConstraintsFailureNoPoe},
        {"SHA-1, proven to be from 2012",
         with(Intact(Chain::Found, Revocation::Good),
              [&](auto& f) { f.algorithmLimit = sha1, f.provenTime = k2012; }),
         Indication::Valid, SubIndication::None},
        {"a web server's key",
         with(Intact(Chain::Found, Revocation::Good), [](auto& f) { f.signingKey = false; }),
         Indication::Indeterminate, SubIndication::SigConstraintsFailure},
        {"a digest that does not match",
         with(ValidationFacts{}, [](auto& f) { f.integrity = Status::Altered, f.mismatch = SignatureReport::Mismatch::Digest; }),
         Indication::Invalid, SubIndication::HashFailure},
        {"a signature value that does not verify",
         with(ValidationFacts{},
              [](auto& f) { f.integrity = Status::Altered, f.mismatch = SignatureReport::Mismatch::SignatureValue; }),
         Indication::Invalid, SubIndication::SigCryptoFailure},
        {"integrity unknown: a DOCTYPE",
         with(ValidationFacts{}, [](auto& f) { f.cause = UnknownCause::Structure; }),
         Indication::Indeterminate, SubIndication::FormatFailure},
        {"integrity unknown: no certificate",
         with(ValidationFacts{}, [](auto& f) { f.cause = UnknownCause::NoCertificate; }),
         Indication::Indeterminate, SubIndication::NoSigningCertificateFound},
    };
    for (const Row& row : rows) {
        const Conclusion conclusion = Conclude(row.facts);
        EXPECT_EQ(IndicationName(conclusion.indication), std::string(IndicationName(row.indication)))
            << row.name;
        EXPECT_EQ(SubIndicationName(conclusion.sub), std::string(SubIndicationName(row.sub))) << row.name;
        EXPECT_EQ(conclusion.reason.empty(), row.indication == Indication::Valid) << row.name;
    }
}

TEST(ConclusionTest, AlgorithmLimits) {
    const struct {
        bool sha1;
        bool rsa;
        unsigned bits;
        const char* limit; // nullptr: none applies
    } rows[] = {
        {false, true, 2048, nullptr},
        {false, false, 256, nullptr},
        {false, true, 1024, "2048 bitten kısa RSA anahtarı"},
        {true, true, 1024, "SHA-1"}, // the same date: the first in the table
    };
    for (const auto& row : rows) {
        SignatureReport report;
        report.usesSha1 = row.sha1;
        report.rsaKey = row.rsa;
        report.keyBits = row.bits;
        const auto limit = AlgorithmLimitOf(report);
        EXPECT_EQ(limit ? limit->what : "", row.limit ? row.limit : "") << row.bits;
    }
}

} // namespace
} // namespace tolv::validation
