#include "validation/Conclusion.h"

namespace tolv::validation {
namespace {

using signature::SignatureReport;
using signature::Status;
using signature::UnknownCause;

Conclusion Indeterminate(SubIndication sub, std::string reason) {
    return {Indication::Indeterminate, sub, std::move(reason)};
}

Conclusion Invalid(SubIndication sub, std::string reason) {
    return {Indication::Invalid, sub, std::move(reason)};
}

// What the signature check found, as the model's format checking,
// identification of the signing certificate and cryptographic verification.
std::optional<Conclusion> FromIntegrity(const ValidationFacts& facts) {
    if (facts.integrity == Status::Altered) {
        switch (facts.mismatch) {
        case SignatureReport::Mismatch::SignatureValue:
            return Invalid(SubIndication::SigCryptoFailure, "imza değeri doğrulanmıyor");
        case SignatureReport::Mismatch::SigningCertificate:
            return Invalid(SubIndication::HashFailure,
                           "imzalayanın sertifikası imzalı özelliklerdekiyle uyuşmuyor");
        case SignatureReport::Mismatch::NotCovered:
            return Invalid(SubIndication::HashFailure, "gösterilen içerik imzalı değil");
        case SignatureReport::Mismatch::Digest:
        case SignatureReport::Mismatch::None:
            break;
        }
        return Invalid(SubIndication::HashFailure, "imzalanan içerik değiştirilmiş");
    }
    if (facts.integrity == Status::Unknown) {
        switch (facts.cause) {
        case UnknownCause::NoCertificate:
            return Indeterminate(SubIndication::NoSigningCertificateFound,
                                 "imzalayanın sertifikası bulunamadı");
        case UnknownCause::Method:
            return Indeterminate(SubIndication::CryptoConstraintsFailureNoPoe,
                                 "imza denetlenemeyen bir yöntemle yapılmış");
        default:
            return Indeterminate(SubIndication::FormatFailure,
                                 "imzanın biçimi denetime uygun değil");
        }
    }
    return std::nullopt;
}

// X.509 certificate validation: the chain, revocation, validity at the best
// signature time.
std::optional<Conclusion> FromCertificates(const ValidationFacts& facts) {
    switch (facts.chain) {
    case ChainFacts::Outcome::Found:
        break;
    case ChainFacts::Outcome::NoChain:
        return Indeterminate(SubIndication::NoCertificateChainFound,
                             "sertifika zinciri güvenilen bir köke ulaşmıyor");
    case ChainFacts::Outcome::Broken:
        return Indeterminate(SubIndication::ChainConstraintsFailure, "sertifika zinciri bozuk");
    case ChainFacts::Outcome::OutOfBounds:
        return Indeterminate(SubIndication::OutOfBoundsNoPoe,
                             "sertifika, imzanın yapıldığı kanıtlanan zamanda geçerli değil");
    }
    if (facts.revocation == Revocation::Revoked) {
        // Revoked after a proven signing time, the signature stands.
        const bool before =
            facts.provenTime && facts.revokedAt && *facts.provenTime < *facts.revokedAt;
        if (!before && facts.provenTime && facts.revokedAt)
            return Invalid(SubIndication::Revoked, "sertifika imzadan önce iptal edilmiş");
        if (!before)
            return Indeterminate(
                SubIndication::RevokedNoPoe,
                "sertifika iptal edilmiş; imzanın iptalden önce yapıldığı kanıtlanamıyor");
    }
    if (facts.caRevokedAt && !(facts.provenTime && *facts.provenTime < *facts.caRevokedAt))
        return Indeterminate(SubIndication::RevokedCaNoPoe,
                             "sertifikayı veren ara sertifika iptal edilmiş; imzanın iptalden önce "
                             "yapıldığı kanıtlanamıyor");
    if (facts.revocation == Revocation::None || facts.revocation == Revocation::Unknown)
        return Indeterminate(SubIndication::TryLater,
                             facts.revocation == Revocation::None
                                 ? "raporda iptal bilgisi yok"
                                 : "iptal bilgisi sertifika için bir şey söylemiyor");
    // Every certificate of the path but the anchor needs its own.
    if (!facts.caUnsettled.empty())
        return Indeterminate(SubIndication::TryLater, "ara sertifikanın (“" + facts.caUnsettled +
                                                          "”) iptal edilmediği bilinmiyor");
    return std::nullopt;
}

// Signature acceptance: the algorithms, unless the signature is proven to be
// older than their limit.
std::optional<Conclusion> FromAlgorithms(const ValidationFacts& facts) {
    if (!facts.signingKey)
        return Indeterminate(
            SubIndication::SigConstraintsFailure,
            "imzalayanın sertifikası imza için verilmemiş (anahtar kullanım amacı)");
    const auto& limit = facts.algorithmLimit;
    if (!limit || (facts.provenTime && *facts.provenTime <= limit->until))
        return std::nullopt;
    return Indeterminate(
        SubIndication::CryptoConstraintsFailureNoPoe,
        limit->what + " artık güvenli sayılmıyor ve imzanın daha önce yapıldığı kanıtlanamıyor");
}

} // namespace

Conclusion Conclude(const ValidationFacts& facts) {
    for (auto block : {FromIntegrity, FromCertificates, FromAlgorithms})
        if (std::optional<Conclusion> conclusion = block(facts))
            return *conclusion;
    return {Indication::Valid, SubIndication::None, {}};
}

} // namespace tolv::validation
