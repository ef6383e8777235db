// The chain through crypt32's chain engine, whose root this file judges
// itself: one the system trusts (when the system's anchors take part), or the
// first certificate of the chain that is an added anchor, byte for byte.

#include "validation/Chain.h"

#include "validation/ChainOutcome.h"
#include "validation/Crypt32_win.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

namespace tolv::validation {
namespace {

constexpr DWORD kDefects =
    CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_INVALID_BASIC_CONSTRAINTS |
    CERT_TRUST_INVALID_EXTENSION | CERT_TRUST_INVALID_POLICY_CONSTRAINTS |
    CERT_TRUST_INVALID_NAME_CONSTRAINTS | CERT_TRUST_HAS_NOT_SUPPORTED_NAME_CONSTRAINT |
    CERT_TRUST_HAS_NOT_DEFINED_NAME_CONSTRAINT | CERT_TRUST_HAS_NOT_PERMITTED_NAME_CONSTRAINT |
    CERT_TRUST_HAS_EXCLUDED_NAME_CONSTRAINT | CERT_TRUST_IS_EXPLICIT_DISTRUST;

FILETIME FileTime(std::int64_t seconds) {
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(seconds) * 10000000 + 116444736000000000ULL;
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

// Where the chain ends in an anchor, or chain.size() when it does not.
std::size_t AnchorIndex(const CERT_SIMPLE_CHAIN& simple, const std::vector<Bytes>& chain,
                        const Anchors& anchors) {
    const std::vector<Bytes>& added = anchors.Added();
    for (std::size_t i = 0; i < chain.size(); ++i)
        if (std::find(added.begin(), added.end(), chain[i]) != added.end())
            return i;
    const CERT_TRUST_STATUS& root = simple.rgpElement[simple.cElement - 1]->TrustStatus;
    const bool systemRoot =
        (root.dwInfoStatus & CERT_TRUST_IS_SELF_SIGNED) &&
        !(root.dwErrorStatus & CERT_TRUST_IS_UNTRUSTED_ROOT) &&
        !(simple.TrustStatus.dwErrorStatus & (CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC));
    return anchors.WithSystem() && systemRoot ? chain.size() - 1 : chain.size();
}

ChainFacts NoAnchor(const CERT_SIMPLE_CHAIN& simple, const std::vector<Bytes>& chain) {
    const bool selfSigned = simple.rgpElement[simple.cElement - 1]->TrustStatus.dwInfoStatus &
                            CERT_TRUST_IS_SELF_SIGNED;
    if (selfSigned && chain.size() == 1)
        return detail::SelfSignedSigner(chain.front());
    if (selfSigned)
        return detail::UntrustedRoot(chain.back());
    return detail::IssuerMissing(chain.back());
}

// The chain up to its anchor at end, judged: a defect first, then a time.
ChainFacts Judge(const CERT_SIMPLE_CHAIN& simple, std::vector<Bytes> chain, std::size_t end) {
    chain.resize(end + 1);
    for (std::size_t i = 0; i <= end; ++i) {
        DWORD errors = simple.rgpElement[i]->TrustStatus.dwErrorStatus & kDefects;
        // An anchor is trusted as it is: its own signature does not count.
        if (i == end)
            errors &= ~CERT_TRUST_IS_NOT_SIGNATURE_VALID;
        if (errors & CERT_TRUST_IS_NOT_SIGNATURE_VALID)
            return detail::BadSignatureAt(std::move(chain), i);
        if (errors & CERT_TRUST_INVALID_BASIC_CONSTRAINTS)
            return detail::NotCaAt(std::move(chain), i);
        if (errors)
            return detail::DefectAt(std::move(chain), i, "durum " + Hex(errors));
    }
    for (std::size_t i = 0; i <= end; ++i)
        if (simple.rgpElement[i]->TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_TIME_VALID)
            return detail::OutOfBoundsAt(std::move(chain), i);
    return detail::Found(std::move(chain));
}

} // namespace

ChainFacts ValidateChain(const Bytes& signer, const std::vector<Bytes>& intermediates,
                         const Anchors& anchors, std::int64_t time) {
    Anchors::Platform& platform = anchors.PlatformState();
    const detail::UniqueCertificate leaf = detail::ParseCertificate(signer);
    if (!leaf)
        return detail::NoChainBecause("imzacının sertifikası okunamadı");
    detail::UniqueStore carried = detail::NewMemoryStore();
    detail::UniqueStore world(CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
    if (!platform.engine || !platform.added || !carried || !world)
        return detail::NoChainBecause("sertifika zinciri kurulamadı (hata " + Hex(GetLastError()) +
                                      ")");
    for (const Bytes& der : intermediates)
        CertAddEncodedCertificateToStore(carried.get(), X509_ASN_ENCODING, der.data(),
                                         static_cast<DWORD>(der.size()),
                                         CERT_STORE_ADD_USE_EXISTING, nullptr);
    CertAddStoreToCollection(world.get(), carried.get(), 0, 0);
    CertAddStoreToCollection(world.get(), platform.added.get(), 0, 0);

    FILETIME at = FileTime(time);
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    detail::UniqueChain chain;
    // Only what is here: no revocation, no fetching of issuers or of roots.
    if (!CertGetCertificateChain(platform.engine.get(), leaf.get(), &at, world.get(), &parameters,
                                 CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL |
                                     CERT_CHAIN_DISABLE_AUTH_ROOT_AUTO_UPDATE,
                                 nullptr, chain.put()) ||
        chain.get()->cChain == 0 || chain.get()->rgpChain[0]->cElement == 0)
        return detail::NoChainBecause("sertifika zinciri kurulamadı (hata " + Hex(GetLastError()) +
                                      ")");
    const CERT_SIMPLE_CHAIN& simple = *chain.get()->rgpChain[0];
    std::vector<Bytes> certificates;
    for (DWORD i = 0; i < simple.cElement; ++i) {
        const CERT_CONTEXT& element = *simple.rgpElement[i]->pCertContext;
        certificates.emplace_back(element.pbCertEncoded,
                                  element.pbCertEncoded + element.cbCertEncoded);
    }
    const std::size_t end = AnchorIndex(simple, certificates, anchors);
    if (end == certificates.size())
        return NoAnchor(simple, certificates);
    return Judge(simple, std::move(certificates), end);
}

} // namespace tolv::validation
