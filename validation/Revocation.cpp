#include "validation/Revocation.h"

#include "validation/RevocationAnswer.h"

#include <string>

namespace tolv::validation {

const char* RevocationName(Revocation revocation) {
    switch (revocation) {
    case Revocation::Good:
        return "good";
    case Revocation::Revoked:
        return "revoked";
    case Revocation::Unknown:
        return "unknown";
    case Revocation::None:
        break;
    }
    return "none";
}

namespace detail {

RevocationFacts Combine(const std::vector<RevocationAnswer>& ocsp,
                        const std::vector<RevocationAnswer>& crl) {
    using Says = RevocationAnswer::Says;
    RevocationFacts facts;
    if (ocsp.empty() && crl.empty())
        return facts;
    facts.status = Revocation::Unknown;
    struct Source {
        const std::vector<RevocationAnswer>& answers;
        const char* name;
        const char* label; // in the reason
    };
    const Source sources[] = {{ocsp, "ocsp", "OCSP yanıtı "}, {crl, "crl", "iptal listesi "}};
    // A revocation anywhere outweighs any good answer, and of several the
    // earliest counts: so revocations are looked at first, all of them.
    for (const Source& source : sources)
        for (const RevocationAnswer& answer : source.answers)
            if (answer.says == Says::Revoked &&
                (!facts.revokedAt || answer.revokedAt < *facts.revokedAt)) {
                facts.status = Revocation::Revoked;
                facts.revokedAt = answer.revokedAt;
                facts.source = source.name;
                facts.nextUpdate = answer.nextUpdate;
            }
    for (const Source& source : sources)
        for (const RevocationAnswer& answer : source.answers)
            if (answer.says == Says::Good && facts.status == Revocation::Unknown) {
                facts.status = Revocation::Good;
                facts.source = source.name;
                facts.nextUpdate = answer.nextUpdate;
            }
    if (facts.status != Revocation::Unknown)
        return facts;
    for (const Source& source : sources)
        for (std::size_t i = 0; i < source.answers.size(); ++i) {
            if (!facts.reason.empty())
                facts.reason += "; ";
            facts.reason += source.label + std::to_string(i + 1) + ": " + source.answers[i].reason;
        }
    return facts;
}

} // namespace detail
} // namespace tolv::validation
