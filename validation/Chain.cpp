// The chain through OpenSSL's verifier, every error of it collected and then
// judged: no anchor first, then a defect, then a time.

#include "validation/Chain.h"

#include "validation/ChainOutcome.h"
#include "validation/OpenSsl.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace tolv::validation {
namespace {

using detail::Owner;
using detail::UniqueX509;
using UniqueStoreCtx = Owner<X509_STORE_CTX, X509_STORE_CTX_free>;
inline void FreeCertificates(STACK_OF(X509) * stack) noexcept {
    sk_X509_pop_free(stack, X509_free);
}
using UniqueCertificates = Owner<STACK_OF(X509), FreeCertificates>;

struct Problem {
    int error;
    int depth;
};

// Goes on after every error, so that all of them are known.
int Collect(int ok, X509_STORE_CTX* context) {
    if (!ok)
        static_cast<std::vector<Problem>*>(X509_STORE_CTX_get_app_data(context))
            ->push_back(
                {X509_STORE_CTX_get_error(context), X509_STORE_CTX_get_error_depth(context)});
    return 1;
}

bool NoAnchor(int error) {
    switch (error) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_CERT_CHAIN_TOO_LONG:
        return true;
    }
    return false;
}

bool OutOfTime(int error) {
    return error == X509_V_ERR_CERT_NOT_YET_VALID || error == X509_V_ERR_CERT_HAS_EXPIRED;
}

std::vector<Bytes> ChainOf(X509_STORE_CTX* context) {
    std::vector<Bytes> chain;
    STACK_OF(X509)* built = X509_STORE_CTX_get0_chain(context);
    for (int i = 0; built && i < sk_X509_num(built); ++i) {
        unsigned char* der = nullptr;
        const int length = i2d_X509(sk_X509_value(built, i), &der);
        chain.emplace_back(der, der + (length > 0 ? length : 0));
        OPENSSL_free(der);
    }
    return chain;
}

ChainFacts NoChainAt(const Problem& problem, const std::vector<Bytes>& chain) {
    const auto at = static_cast<std::size_t>(problem.depth);
    if (at >= chain.size())
        return detail::NoChainBecause("zincir güvenilen bir köke ulaşmıyor");
    if (problem.error == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT)
        return detail::SelfSignedSigner(chain[at]);
    if (problem.error == X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN)
        return detail::UntrustedRoot(chain[at]);
    return detail::IssuerMissing(chain[at]);
}

ChainFacts DefectAt(const Problem& problem, std::vector<Bytes> chain) {
    const auto at = std::min(static_cast<std::size_t>(problem.depth), chain.size() - 1);
    switch (problem.error) {
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
        return detail::BadSignatureAt(std::move(chain), at);
    case X509_V_ERR_INVALID_CA:
    case X509_V_ERR_KEYUSAGE_NO_CERTSIGN:
        return detail::NotCaAt(std::move(chain), at);
    }
    return detail::DefectAt(std::move(chain), at, X509_verify_cert_error_string(problem.error));
}

} // namespace

ChainFacts ValidateChain(const Bytes& signer, const std::vector<Bytes>& intermediates,
                         const Anchors& anchors, std::int64_t time) {
    Anchors::Platform& platform = anchors.PlatformState();
    const UniqueX509 leaf = detail::ParseCertificate(signer);
    UniqueCertificates untrusted(sk_X509_new_null());
    UniqueStoreCtx context(X509_STORE_CTX_new());
    if (!leaf)
        return detail::NoChainBecause("imzacının sertifikası okunamadı");
    if (!untrusted || !context || !platform.store)
        return detail::NoChainBecause("sertifika zinciri kurulamadı");
    for (const Bytes& der : intermediates) {
        UniqueX509 other = detail::ParseCertificate(der);
        if (other && sk_X509_push(untrusted.get(), other.get()) > 0)
            other.release();
    }
    if (X509_STORE_CTX_init(context.get(), platform.store.get(), leaf.get(), untrusted.get()) != 1)
        return detail::NoChainBecause("sertifika zinciri kurulamadı");
    X509_VERIFY_PARAM* parameters = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_time(parameters, static_cast<time_t>(time)); // sets USE_CHECK_TIME
    if (platform.partialChain)
        X509_VERIFY_PARAM_set_flags(parameters, X509_V_FLAG_PARTIAL_CHAIN);
    std::vector<Problem> problems;
    X509_STORE_CTX_set_app_data(context.get(), &problems);
    X509_STORE_CTX_set_verify_cb(context.get(), Collect);
    const int verified = X509_verify_cert(context.get());

    std::vector<Bytes> chain = ChainOf(context.get());
    // A failure the callback never saw (no memory, a lookup that broke off)
    // leaves a chain half built: no chain at all.
    if (chain.empty() || (verified != 1 && problems.empty()))
        return detail::NoChainBecause("sertifika zinciri kurulamadı");
    for (const Problem& problem : problems)
        if (NoAnchor(problem.error))
            return NoChainAt(problem, chain);
    for (const Problem& problem : problems)
        if (!OutOfTime(problem.error))
            return DefectAt(problem, std::move(chain));
    for (std::size_t i = 0; i < chain.size(); ++i)
        if (std::binary_search(platform.distrusted.begin(), platform.distrusted.end(), chain[i]))
            return detail::DefectAt(std::move(chain), i,
                                    "bu bilgisayarda güvenilmeyenler arasında");
    std::optional<int> outOfTime; // the one nearest the signer
    for (const Problem& problem : problems)
        if (!outOfTime || problem.depth < *outOfTime)
            outOfTime = problem.depth;
    if (outOfTime && static_cast<std::size_t>(*outOfTime) < chain.size())
        return detail::OutOfBoundsAt(std::move(chain), static_cast<std::size_t>(*outOfTime));
    return detail::Found(std::move(chain));
}

} // namespace tolv::validation
