#include "validation/Validation.h"

#include "signature/Summary.h"
#include "validation/ChainOutcome.h"
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
                                             const Anchors& anchors, std::int64_t now,
                                             const RevocationData& data) {
    std::optional<TimeStampFacts> best;
    const auto& tokens = report.unsignedData.signatureTimeStamps;
    for (auto token = tokens.begin(); token != tokens.end(); ++token) {
        // A copy of a token before it proves nothing more.
        if (std::any_of(tokens.begin(), token, [&](const signature::TimeStampToken& earlier) {
                return earlier.token == token->token && earlier.covered == token->covered;
            }))
            continue;
        TimeStampFacts facts =
            VerifyTimeStamp(token->token, token->covered, others, anchors, now, data);
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
    // Each once, in the order found: a report padded with copies of one
    // certificate would make every chain and issuer search try each copy.
    std::vector<Bytes> others;
    for (const auto* from : {&report.otherCertificates, &report.unsignedData.certificates})
        for (const Bytes& certificate : *from)
            if (std::find(others.begin(), others.end(), certificate) == others.end())
                others.push_back(certificate);
    return others;
}

SignerRevoked RevokedBeforeSigning(const signature::SignatureReport& report, const Anchors& anchors,
                                   std::int64_t now) {
    const RevocationData data =
        WithoutRepeats(report.unsignedData.ocspResponses, report.unsignedData.crls);
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
        const auto proof = ProveExistence(report, others, anchors, now, data);
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
    // Revoked, the signer's certificate or a CA's of its chain, and nothing
    // proves the signature older: where the issuer is a system root the report
    // does not carry, only the chain finds it.
    if (validation.conclusion.sub == SubIndication::RevokedNoPoe ||
        validation.conclusion.sub == SubIndication::RevokedCaNoPoe)
        return FileModeQuestion{signature::kRevokedUnprovenWarning, true};
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
    // A revocation counts however old the answer that says so (CheckRevocation
    // sees to that); "good" holds only while the answer is current. A few
    // minutes' grace for the clocks of responder and user.
    constexpr std::int64_t kSkew = 300;
    RevocationFacts facts = CheckRevocation(
        certificate, issuer, data, others,
        JudgedAt{std::max(provenTime.value_or(0), now - kOnlineAnswerLife), true, now});
    if (facts.status == Revocation::Good && facts.nextUpdate != 0 &&
        facts.nextUpdate < now - kSkew) {
        facts.status = Revocation::Unknown;
        facts.reason = "çevrimiçi alınan yanıt güncel değil (bir sonraki yayımlanma zamanı geçmiş)";
    }
    return facts;
}

namespace {

// Revocation of the path's certificate at index, issued by issuer: the
// report's own data first; where it settles nothing, what was fetched online
// for it.
RevocationFacts RevocationOf(const Bytes& certificate, const Bytes& issuer,
                             const RevocationData& data, const std::vector<Bytes>& others,
                             std::size_t index, const FetchedRevocation* fetched,
                             std::optional<std::int64_t> provenTime, std::int64_t now) {
    RevocationFacts own =
        CheckRevocation(certificate, issuer, data, others,
                        JudgedAt{provenTime.value_or(now), provenTime.has_value(), std::nullopt});
    if (fetched == nullptr || own.status == Revocation::Good || own.status == Revocation::Revoked)
        return own;
    if (index < fetched->path.size() &&
        (!fetched->path[index].ocspResponses.empty() || !fetched->path[index].crls.empty())) {
        RevocationFacts online =
            JudgeFetched(certificate, issuer, fetched->path[index], others, provenTime, now);
        online.online = true;
        online.askedAt = fetched->askedAt;
        return online;
    }
    if (!fetched->failure.empty())
        own.reason = fetched->failure;
    return own;
}

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

    const RevocationData data =
        WithoutRepeats(report.unsignedData.ocspResponses, report.unsignedData.crls);
    // A time-stamp only counts over a signature whose value is the one signed.
    if (report.status == signature::Status::Intact)
        result.timeStamp = ProveExistence(report, others, anchors, now, data);
    if (result.timeStamp && result.timeStamp->valid)
        facts.provenTime = result.timeStamp->time;
    result.bestSignatureTime = facts.provenTime.value_or(now);

    if (!report.signerCertificate.empty()) {
        result.chain =
            ValidateChain(report.signerCertificate, others, anchors, result.bestSignatureTime);
        result.qualified = QualifiedClaimOf(report.signerCertificate);
        facts.signingKey = FitForSignatures(report.signerCertificate);
    }
    facts.chain = result.chain.outcome;

    const std::vector<Bytes>& path = result.chain.chain;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        RevocationFacts judged =
            RevocationOf(path[i], path[i + 1], data, others, i, fetched, facts.provenTime, now);
        if (i == 0) {
            result.revocation = std::move(judged);
            continue;
        }
        if (judged.status == Revocation::Revoked && judged.revokedAt)
            facts.caRevokedAt =
                std::min(facts.caRevokedAt.value_or(*judged.revokedAt), *judged.revokedAt);
        else if (judged.status != Revocation::Good && facts.caUnsettled.empty())
            facts.caUnsettled = detail::NameOf(path[i]);
        result.caRevocation.push_back(std::move(judged));
    }
    if (path.size() < 2 && (!data.ocspResponses.empty() || !data.crls.empty())) {
        result.revocation.status = Revocation::Unknown;
        result.revocation.reason = "imzalayanın sertifikasını vereni bilinmiyor";
    }
    facts.revocation = result.revocation.status;
    facts.revokedAt = result.revocation.revokedAt;
    if (!path.empty())
        facts.algorithmLimit = Earliest(facts.algorithmLimit, ChainAlgorithmLimit(path));
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
