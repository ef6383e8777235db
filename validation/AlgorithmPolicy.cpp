#include "validation/AlgorithmPolicy.h"

#include <iterator>

namespace tolv::validation {
namespace {

// One table of dates, each with its source. A signature made with one of
// these after its date proves little: collisions (SHA-1) or factoring (short
// RSA keys) were within reach of a determined forger by then.
struct Limit {
    const char* what;
    bool (*uses)(const signature::SignatureReport&);
    std::int64_t until;
};
constexpr std::int64_t kEndOf2013 = 1388534399; // 2013-12-31T23:59:59Z
const Limit kLimits[] = {
    // NIST SP 800-131A Rev. 2 (2019), table 9: SHA-1 for digital signature
    // generation disallowed after 2013.
    {"SHA-1", [](const signature::SignatureReport& r) { return r.usesSha1; }, kEndOf2013},
    // NIST SP 800-131A Rev. 2, table 2: signature generation with less than
    // 112 bits of security (RSA under 2048 bits) disallowed after 2013.
    {"2048 bitten kısa RSA anahtarı",
     [](const signature::SignatureReport& r) { return r.rsaKey && r.keyBits > 0 && r.keyBits < 2048; },
     kEndOf2013},
};

} // namespace

std::optional<AlgorithmLimit> AlgorithmLimitOf(const signature::SignatureReport& report) {
    std::optional<AlgorithmLimit> earliest;
    for (const Limit& limit : kLimits)
        if (limit.uses(report) && (!earliest || limit.until < earliest->until))
            earliest = AlgorithmLimit{limit.what, limit.until};
    return earliest;
}

} // namespace tolv::validation
