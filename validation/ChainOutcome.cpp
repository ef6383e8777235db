#include "validation/ChainOutcome.h"

#include <utility>

namespace tolv::validation::detail {
namespace {

using Outcome = ChainFacts::Outcome;

std::string Quoted(const Bytes& certificate) {
    return "“" + NameOf(certificate) + "”";
}

// Chain and anchor, as every outcome that reached an anchor reports them.
ChainFacts Reached(Outcome outcome, std::vector<Bytes> chain, std::string reason) {
    ChainFacts facts;
    facts.outcome = outcome;
    facts.anchor = NameOf(chain.back());
    facts.chain = std::move(chain);
    facts.reason = std::move(reason);
    return facts;
}

} // namespace

std::string NameOf(const Bytes& certificate) {
    const auto info = signature::ReadCertificate(certificate);
    return info ? info->subject : "?";
}

ChainFacts Found(std::vector<Bytes> chain) {
    return Reached(Outcome::Found, std::move(chain), {});
}

ChainFacts OutOfBoundsAt(std::vector<Bytes> chain, std::size_t index) {
    const std::string reason =
        Quoted(chain[index]) +
        " sertifikası değerlendirilen tarihte geçerlilik süresinin dışındaydı";
    const auto info = signature::ReadCertificate(chain[index]);
    ChainFacts facts = Reached(Outcome::OutOfBounds, std::move(chain), reason);
    if (info) {
        facts.outOfBounds = info->subject;
        facts.notBefore = info->notBefore;
        facts.notAfter = info->notAfter;
    }
    return facts;
}

ChainFacts BadSignatureAt(std::vector<Bytes> chain, std::size_t index) {
    const std::string reason = Quoted(chain[index]) + " sertifikasının imzası doğrulanmıyor";
    return Reached(Outcome::Broken, std::move(chain), reason);
}

ChainFacts NotCaAt(std::vector<Bytes> chain, std::size_t index) {
    const std::string reason = Quoted(chain[index]) +
                               " bir sertifika makamı (CA) sertifikası değil, başka sertifika "
                               "düzenleyemez";
    return Reached(Outcome::Broken, std::move(chain), reason);
}

ChainFacts DefectAt(std::vector<Bytes> chain, std::size_t index, const std::string& detail) {
    const std::string reason = Quoted(chain[index]) + " sertifikası kusurlu (" + detail + ")";
    return Reached(Outcome::Broken, std::move(chain), reason);
}

ChainFacts IssuerMissing(const Bytes& certificate) {
    return NoChainBecause(Quoted(certificate) + " sertifikasını düzenleyen sertifika bulunamadı");
}

ChainFacts SelfSignedSigner(const Bytes& signer) {
    return NoChainBecause(Quoted(signer) +
                          " kendinden imzalı bir sertifika ve güvenilen köklerden biri değil");
}

ChainFacts UntrustedRoot(const Bytes& root) {
    return NoChainBecause("zincir " + Quoted(root) +
                          " köküne ulaşıyor, ama bu kök güvenilen köklerden biri değil");
}

ChainFacts NoChainBecause(std::string reason) {
    ChainFacts facts;
    facts.outcome = Outcome::NoChain;
    facts.reason = std::move(reason);
    return facts;
}

} // namespace tolv::validation::detail
