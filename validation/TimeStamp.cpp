// A time-stamp token judged from what the platform read of it: readable, its
// imprint, its signature, its authority's certificate and its chain, in that
// order, so that the first thing wrong is the reason.

#include "validation/TimeStamp.h"

#include "validation/Chain.h"
#include "validation/ChainOutcome.h"
#include "validation/TimeStampToken.h"

#include <optional>
#include <utility>

namespace tolv::validation {
namespace {

using detail::TokenContents;
using signature::HashAlgorithm;

std::optional<HashAlgorithm> DigestAlgorithm(const std::string& oid) {
    if (oid == "1.3.14.3.2.26")
        return HashAlgorithm::Sha1; // old tokens still carry it
    if (oid == "2.16.840.1.101.3.4.2.1")
        return HashAlgorithm::Sha256;
    if (oid == "2.16.840.1.101.3.4.2.2")
        return HashAlgorithm::Sha384;
    if (oid == "2.16.840.1.101.3.4.2.3")
        return HashAlgorithm::Sha512;
    return std::nullopt;
}

// Empty when the imprint is the digest of covered, else why not.
std::string ImprintFailure(const TokenContents& contents, const Bytes& covered) {
    const auto matches = detail::DigestMatches(contents.hashOid, covered, contents.imprint);
    if (!matches)
        return "zaman damgasının özet algoritması desteklenmiyor (" + contents.hashOid + ")";
    if (!*matches)
        return "zaman damgası bu imzaya ait değil: damgalanan özet, imza değerinin özetiyle "
               "aynı değil";
    return {};
}

TimeStampFacts Invalid(TimeStampFacts facts, std::string reason) {
    facts.valid = false;
    facts.reason = std::move(reason);
    return facts;
}

} // namespace

namespace detail {

std::optional<bool> DigestMatches(const std::string& oid, const Bytes& data, const Bytes& digest) {
    const auto algorithm = DigestAlgorithm(oid);
    if (!algorithm)
        return std::nullopt;
    const auto hasher = signature::NewHasher(*algorithm);
    hasher->Update(data.data(), data.size());
    return hasher->Finish() == digest;
}

} // namespace detail

TimeStampFacts VerifyTimeStamp(const Bytes& token, const Bytes& covered,
                               const std::vector<Bytes>& others, const Anchors& anchors,
                               std::int64_t now, const RevocationData& revocation) {
    TimeStampFacts facts;
    const TokenContents contents = detail::ReadToken(token, others);
    if (contents.reading == TokenContents::Reading::Unreadable)
        return Invalid(facts, "zaman damgası okunamadı (" + contents.detail + ")");
    facts.time = contents.time;
    if (!contents.signer.empty())
        facts.authority = detail::NameOf(contents.signer);

    if (std::string failure = ImprintFailure(contents, covered); !failure.empty())
        return Invalid(facts, failure);
    if (contents.signer.empty())
        return Invalid(facts, "zaman damgasını imzalayan birimin sertifikası ne damgada ne de "
                              "raporda bulunuyor");
    if (!contents.signatureVerifies)
        return Invalid(facts, "zaman damgasının imzası doğrulanmıyor");
    if (!detail::TimeStampingCritical(contents.signer))
        return Invalid(facts, "“" + facts.authority +
                                  "” sertifikası zaman damgası vermeye yetkili değil: kritik "
                                  "işaretli zaman damgalama kullanım amacı taşımıyor");
    std::vector<Bytes> intermediates = contents.certificates;
    intermediates.insert(intermediates.end(), others.begin(), others.end());
    const ChainFacts chain = ValidateChain(contents.signer, intermediates, anchors, contents.time);
    if (chain.outcome != ChainFacts::Outcome::Found)
        return Invalid(facts, "zaman damgası biriminin sertifika zinciri zaman damgasının "
                              "tarihinde geçerli değil: " +
                                  chain.reason);
    if (const ChainFacts today = ValidateChain(contents.signer, intermediates, anchors, now);
        today.outcome != ChainFacts::Outcome::Found)
        return Invalid(facts, "zaman damgası biriminin sertifika zinciri bugün geçerli değil: " +
                                  today.reason);
    if (chain.chain.size() >= 2) {
        const RevocationFacts status =
            CheckRevocation(contents.signer, chain.chain[1], revocation, intermediates, 0);
        if (status.status == Revocation::Revoked && status.revokedAt &&
            *status.revokedAt <= contents.time)
            return Invalid(facts, "“" + facts.authority +
                                      "” sertifikası zaman damgasından önce iptal edilmiş");
    }
    facts.valid = true;
    return facts;
}

} // namespace tolv::validation
