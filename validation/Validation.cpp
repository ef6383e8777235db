#include "validation/Validation.h"

#include "signature/Summary.h"
#include "validation/KeyPurpose.h"
#include "validation/OpenSsl.h"

#include <openssl/x509v3.h>

#include <algorithm>

namespace tolv::validation {
namespace {

// Proof of existence: of the signature time-stamps, the valid one with the
// earliest time; the first that failed where none is valid.
std::optional<TimeStampFacts> ProveExistence(const signature::SignatureReport& report,
                                             const std::vector<Bytes>& others,
                                             const Anchors& anchors, std::int64_t now) {
    std::optional<TimeStampFacts> best;
    for (const signature::TimeStampToken& token : report.unsignedData.signatureTimeStamps) {
        TimeStampFacts facts = VerifyTimeStamp(token.token, token.covered, others, anchors, now,
                                               {report.unsignedData.ocspResponses,
                                                report.unsignedData.crls});
        if (!best || (facts.valid && (!best->valid || facts.time < best->time)))
            best = std::move(facts);
    }
    return best;
}

// Whether issuer issued certificate: its key verifies the certificate's
// signature. A matching name proves nothing: anyone can copy it into a
// certificate of their own.
bool Issued(const Bytes& issuer, const Bytes& certificate) {
    const detail::UniqueX509 ca = detail::ParseCertificate(issuer);
    const detail::UniqueX509 issued = detail::ParseCertificate(certificate);
    return ca && issued && X509_check_issued(ca.get(), issued.get()) == X509_V_OK &&
           X509_verify(issued.get(), X509_get0_pubkey(ca.get())) == 1;
}

} // namespace

bool AnchorVouches(const ChainFacts& chain) {
    return chain.outcome == ChainFacts::Outcome::Found ||
           chain.outcome == ChainFacts::Outcome::OutOfBounds;
}

bool ValidationReport::Qualified() const {
    return AnchorVouches(chain) && qualified.Claimed();
}

std::vector<Bytes> OtherCertificates(const signature::SignatureReport& report) {
    std::vector<Bytes> others = report.otherCertificates;
    others.insert(others.end(), report.unsignedData.certificates.begin(),
                  report.unsignedData.certificates.end());
    return others;
}

SignerRevoked RevokedBeforeSigning(const signature::SignatureReport& report, const Anchors& anchors,
                                   std::int64_t now) {
    const RevocationData data{report.unsignedData.ocspResponses, report.unsignedData.crls};
    if (report.status != signature::Status::Intact || report.signerCertificate.empty() ||
        (data.ocspResponses.empty() && data.crls.empty()))
        return SignerRevoked::No;
    const std::vector<Bytes> others = OtherCertificates(report);
    // Every certificate that issued the signer's is tried, the report's and
    // the institution's anchors: an answer counts only when the issuer it was
    // checked against signed it.
    std::vector<Bytes> candidates = others;
    candidates.insert(candidates.end(), anchors.Added().begin(), anchors.Added().end());
    for (const Bytes& candidate : candidates) {
        if (!Issued(candidate, report.signerCertificate))
            continue;
        // A revocation stays a revocation: any answer that says so counts,
        // however old.
        const RevocationFacts facts =
            CheckRevocation(report.signerCertificate, candidate, data, others, 0);
        if (facts.status != Revocation::Revoked || !facts.revokedAt)
            continue;
        const auto proof = ProveExistence(report, others, anchors, now);
        if (!proof || !proof->valid)
            return SignerRevoked::NotProvenOlder;
        return proof->time < *facts.revokedAt ? SignerRevoked::No : SignerRevoked::BeforeSigning;
    }
    return SignerRevoked::No;
}

const char* RevocationWarning(const signature::SignatureReport& report, const Anchors& anchors,
                              std::int64_t now) {
    switch (RevokedBeforeSigning(report, anchors, now)) {
    case SignerRevoked::BeforeSigning:
        return signature::kRevokedWarning;
    case SignerRevoked::NotProvenOlder:
        return signature::kRevokedUnprovenWarning;
    case SignerRevoked::No:
        break;
    }
    return nullptr;
}

std::optional<FileModeQuestion> QuestionFor(const signature::SignatureReport& report,
                                            const ValidationReport& validation,
                                            bool warnUntrusted) {
    if (validation.conclusion.indication == Indication::Invalid)
        return FileModeQuestion{
            signature::InvalidWarning(report.signer, validation.conclusion.reason), true};
    // A forger re-signs a changed report with a certificate of his own that
    // names the real signer: intact, and only the chain tells.
    if (warnUntrusted && !AnchorVouches(validation.chain))
        return FileModeQuestion{signature::UntrustedQuestion(report.signer), false};
    return std::nullopt;
}

std::optional<FileModeQuestion> IntactReportQuestion(const signature::SignatureReport& report,
                                                     const Anchors& anchors, std::int64_t now,
                                                     bool warnUntrusted) {
    if (report.status != signature::Status::Intact)
        return std::nullopt;
    if (const char* revoked = RevocationWarning(report, anchors, now))
        return FileModeQuestion{revoked, true};
    return QuestionFor(report, Validate(report, anchors, now), warnUntrusted);
}

RevocationFacts JudgeFetched(const Bytes& certificate, const Bytes& issuer,
                             const RevocationData& data, const std::vector<Bytes>& others,
                             std::optional<std::int64_t> provenTime, std::int64_t now) {
    // A revocation stays a revocation, however old the answer that says so;
    // "good" holds only while the answer is current.
    if (RevocationFacts revoked = CheckRevocation(certificate, issuer, data, others, 0);
        revoked.status == Revocation::Revoked)
        return revoked;
    // A few minutes' grace for the clocks of responder and user.
    constexpr std::int64_t kSkew = 300;
    RevocationFacts facts = CheckRevocation(certificate, issuer, data, others,
                                            std::max(provenTime.value_or(0), now - kOnlineAnswerLife));
    if (facts.status == Revocation::Good && facts.nextUpdate != 0 && facts.nextUpdate < now - kSkew) {
        facts.status = Revocation::Unknown;
        facts.reason = "çevrimiçi alınan yanıt güncel değil (bir sonraki yayımlanma zamanı geçmiş)";
    }
    return facts;
}

namespace {

ValidationReport ValidateWith(const signature::SignatureReport& report, const Anchors& anchors,
                              std::int64_t now, const FetchedRevocation* fetched) {
    ValidationReport result;
    ValidationFacts facts;
    facts.integrity = report.status;
    facts.cause = report.cause;
    facts.mismatch = report.mismatch;
    facts.algorithmLimit = AlgorithmLimitOf(report);
    // Certificates from KeyInfo and CertificateValues alike.
    const std::vector<Bytes> others = OtherCertificates(report);

    // A time-stamp only counts over a signature whose value is the one signed.
    if (report.status == signature::Status::Intact)
        result.timeStamp = ProveExistence(report, others, anchors, now);
    if (result.timeStamp && result.timeStamp->valid)
        facts.provenTime = result.timeStamp->time;
    result.bestSignatureTime = facts.provenTime.value_or(now);

    if (!report.signerCertificate.empty()) {
        result.chain = ValidateChain(report.signerCertificate, others, anchors, result.bestSignatureTime);
        result.qualified = QualifiedClaimOf(report.signerCertificate);
        facts.signingKey = FitForSignatures(report.signerCertificate);
    }
    facts.chain = result.chain.outcome;

    const RevocationData data{report.unsignedData.ocspResponses, report.unsignedData.crls};
    if (result.chain.chain.size() >= 2 && fetched != nullptr &&
        (!fetched->data.ocspResponses.empty() || !fetched->data.crls.empty())) {
        result.revocation = JudgeFetched(report.signerCertificate, result.chain.chain[1],
                                         fetched->data, others, facts.provenTime, now);
        result.revocation.online = true;
        result.revocation.askedAt = fetched->askedAt;
    } else if (result.chain.chain.size() >= 2) {
        result.revocation = CheckRevocation(report.signerCertificate, result.chain.chain[1], data,
                                            others, result.bestSignatureTime);
        if (fetched != nullptr && result.revocation.status != Revocation::Good &&
            result.revocation.status != Revocation::Revoked)
            result.revocation.reason = fetched->failure;
    } else if (!data.ocspResponses.empty() || !data.crls.empty()) {
        result.revocation.status = Revocation::Unknown;
        result.revocation.reason = "imzalayanın sertifikasını vereni bilinmiyor";
    }
    facts.revocation = result.revocation.status;
    facts.revokedAt = result.revocation.revokedAt;
    // The intermediate CAs, from the same data: one the report shows revoked
    // is named; one it says nothing of is not held against the signature.
    for (std::size_t i = 1; i + 1 < result.chain.chain.size(); ++i) {
        const RevocationFacts ca = CheckRevocation(result.chain.chain[i], result.chain.chain[i + 1],
                                                   data, others, result.bestSignatureTime);
        if (ca.status == Revocation::Revoked && ca.revokedAt)
            facts.caRevokedAt = std::min(facts.caRevokedAt.value_or(*ca.revokedAt), *ca.revokedAt);
    }
    result.conclusion = Conclude(facts);
    // Asked online and still nothing: say why rather than that the report has none.
    if (fetched != nullptr && result.conclusion.sub == SubIndication::TryLater &&
        !result.revocation.reason.empty())
        result.conclusion.reason = result.revocation.reason;
    return result;
}

} // namespace

ValidationReport Validate(const signature::SignatureReport& report, const Anchors& anchors,
                          std::int64_t now) {
    return ValidateWith(report, anchors, now, nullptr);
}

ValidationReport Validate(const signature::SignatureReport& report, const Anchors& anchors,
                          std::int64_t now, const FetchedRevocation& fetched) {
    return ValidateWith(report, anchors, now, &fetched);
}

} // namespace tolv::validation
