#include "validation/Validation.h"

namespace tolv::validation {

ValidationReport Validate(const signature::SignatureReport& report, const Anchors& anchors,
                          std::int64_t now) {
    ValidationReport result;
    ValidationFacts facts;
    facts.integrity = report.status;
    facts.cause = report.cause;
    facts.mismatch = report.mismatch;
    // Time-stamps and the report's revocation values are not weighed yet: a
    // time-stamp not checked proves nothing, and revocation data not read
    // shows nothing, so both leave the conclusion where the rest puts it.
    result.bestSignatureTime = now;
    result.revocation = report.carriesRevocationData ? Revocation::Unknown : Revocation::None;
    facts.revocation = result.revocation;
    facts.algorithmLimit = AlgorithmLimitOf(report);
    if (!report.signerCertificate.empty()) {
        result.chain = ValidateChain(report.signerCertificate, report.otherCertificates, anchors,
                                     result.bestSignatureTime);
        result.qualified = QualifiedClaimOf(report.signerCertificate);
    }
    facts.chain = result.chain.outcome;
    result.conclusion = Conclude(facts);
    return result;
}

} // namespace tolv::validation
