#pragma once
// A signature's validation: what the signature check found, the proof of
// existence its time-stamps give, the signer's chain at the best signature
// time, revocation from the report's own data, the algorithms, and what the
// certificate claims of itself; one conclusion from all of it.

#include "signature/Verifier.h"
#include "validation/Anchors.h"
#include "validation/Chain.h"
#include "validation/Conclusion.h"
#include "validation/Qualified.h"
#include "validation/Revocation.h"
#include "validation/TimeStamp.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tolv::validation {

struct ValidationReport {
    Conclusion conclusion;
    ChainFacts chain;
    QualifiedClaim qualified;
    RevocationFacts revocation; // of the signer's certificate
    // Of each CA certificate of the chain but the anchor, the signer's issuer
    // first.
    std::vector<RevocationFacts> caRevocation;
    // The signature time-stamp that proves the earliest time, else the first
    // that failed; nothing when the report carries none.
    std::optional<TimeStampFacts> timeStamp;
    // The time the chain was judged at: a valid time-stamp's, else now.
    std::int64_t bestSignatureTime = 0;

    // The certificate's qualified claim, counted only where an anchor vouches
    // for the certificate: anyone can write the claim into one of their own.
    bool Qualified() const;
};

// Whether an anchor vouches for what the signer's certificate says of its
// holder (name, organisation, identity number, qualified claim): the chain
// reached one. A certificate outside its validity at the time judged was
// still issued by it.
bool AnchorVouches(const ChainFacts& chain);

// The certificates a report carries besides the signer's: KeyInfo's and
// CertificateValues'.
std::vector<Bytes> OtherCertificates(const signature::SignatureReport& report);

// now: the current time, seconds since 1970 (UTC).
ValidationReport Validate(const signature::SignatureReport& report, const Anchors& anchors,
                          std::int64_t now);

// Revocation data fetched online, judged where the report's own settles
// nothing: one entry for each certificate of the chain but the anchor, the
// signer's first.
struct FetchedRevocation {
    std::vector<RevocationData> path;
    std::int64_t askedAt = 0;
    std::string failure; // in Turkish, why nothing could be fetched
};
ValidationReport Validate(const signature::SignatureReport& report, const Anchors& anchors,
                          std::int64_t now, const FetchedRevocation& fetched);

// How an answer fetched online is judged: as the report's own would be, and
// current besides, since it carries no proof of when it was fetched: issued
// within the last week, after the proven signing time where there is one,
// and not past its next update.
inline constexpr std::int64_t kOnlineAnswerLife = 7 * 24 * 3600;
RevocationFacts JudgeFetched(const Bytes& certificate, const Bytes& issuer,
                             const RevocationData& data, const std::vector<Bytes>& others,
                             std::optional<std::int64_t> provenTime, std::int64_t now);

// For file mode, which must stay fast: whether the report's own revocation
// data shows the signer's certificate revoked before the signature's proven
// time (a valid time-stamp's, else now), and whether a time-stamp proves the
// signature came after the revocation or nothing proves it came before. No
// chain is built: the issuer is the certificate among the report's and the
// added anchors whose key verifies the signer's certificate; the system's
// anchors serve only for a time-stamp, and only when the certificate is
// revoked.
enum class SignerRevoked {
    No,
    BeforeSigning,  // a valid time-stamp after the revocation
    NotProvenOlder, // no valid time-stamp shows the signature older
};
SignerRevoked RevokedBeforeSigning(const signature::SignatureReport& report, const Anchors& anchors,
                                   std::int64_t now);

// File mode's warning for such a report (signature::kRevokedWarning or
// kRevokedUnprovenWarning), or nullptr.
const char* RevocationWarning(const signature::SignatureReport& report, const Anchors& anchors,
                              std::int64_t now);

// What file mode asks before it shows an intact report, the text without the
// report's name.
struct FileModeQuestion {
    std::string text;
    bool warning = false; // a report to distrust (the warning icon), else a question
};

// For an intact report, validated offline with the machine's anchors: the
// revocation warning above; else a warning when the conclusion is invalid;
// else, unless warnUntrusted is off, a question when no anchor vouches for
// the signer. Nothing for a report to show without a word (TRY_LATER among
// them: file mode never asks online).
std::optional<FileModeQuestion> IntactReportQuestion(const signature::SignatureReport& report,
                                                     const Anchors& anchors, std::int64_t now,
                                                     bool warnUntrusted);
// The part after the revocation warning, from a validation already made.
std::optional<FileModeQuestion> QuestionFor(const signature::SignatureReport& report,
                                            const ValidationReport& validation, bool warnUntrusted);

} // namespace tolv::validation
