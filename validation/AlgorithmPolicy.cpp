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
     [](const signature::SignatureReport& r) {
         return r.rsaKey && r.keyBits > 0 && r.keyBits < 2048;
     },
     kEndOf2013},
};

} // namespace

std::optional<AlgorithmLimit> AlgorithmLimitOf(const signature::SignatureReport& report) {
    std::optional<AlgorithmLimit> earliest;
    for (const Limit& limit : kLimits)
        if (limit.uses(report))
            earliest = Earliest(earliest, AlgorithmLimit{limit.what, limit.until});
    return earliest;
}

std::optional<AlgorithmLimit> ChainAlgorithmLimit(const std::vector<signature::Bytes>& chain) {
    std::optional<AlgorithmLimit> earliest;
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
        const auto info = signature::ReadCertificate(chain[i]);
        if (!info)
            continue;
        const std::string whose = "sertifika zincirindeki “" + info->subject + "” sertifikasının ";
        // MD5 signatures have been forged outright; SHA-1's limit is the table's.
        if (info->signatureDigest == "MD5")
            earliest = Earliest(earliest, AlgorithmLimit{whose + "MD5 ile atılmış imzası", 0});
        if (info->signatureDigest == "SHA1")
            earliest =
                Earliest(earliest, AlgorithmLimit{whose + "SHA-1 ile atılmış imzası", kEndOf2013});
        if (signature::IsRsaKey(*info) && info->keyBits > 0 && info->keyBits < 2048)
            earliest = Earliest(
                earliest, AlgorithmLimit{whose + "2048 bitten kısa RSA anahtarı", kEndOf2013});
        // The same table's 112 bits for elliptic curves: 224 bits at least.
        if (signature::IsEcKey(*info) && info->keyBits > 0 && info->keyBits < 224)
            earliest =
                Earliest(earliest, AlgorithmLimit{whose + "224 bitten kısa eliptik eğri anahtarı",
                                                  kEndOf2013});
    }
    return earliest;
}

std::optional<AlgorithmLimit> Earliest(std::optional<AlgorithmLimit> a,
                                       std::optional<AlgorithmLimit> b) {
    if (!a || (b && b->until < a->until))
        return b;
    return a;
}

} // namespace tolv::validation
