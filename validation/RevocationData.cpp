// OCSP responses and CRLs through OpenSSL's own parsers. OpenSSL's verifier
// only checks a response's signature here: who may sign for the issuer is
// judged below, against the issuer given, not against a store of anchors.

#include "validation/OpenSsl.h"
#include "validation/RevocationAnswer.h"

#include "validation/ChainOutcome.h"

#include <openssl/err.h>
#include <openssl/ocsp.h>

namespace tolv::validation {
namespace {

using detail::NotCounted;
using detail::Owner;
using detail::RevocationAnswer;
using detail::UniqueX509;
using UniqueResponse = Owner<OCSP_RESPONSE, OCSP_RESPONSE_free>;
using UniqueBasic = Owner<OCSP_BASICRESP, OCSP_BASICRESP_free>;
using UniqueCertId = Owner<OCSP_CERTID, OCSP_CERTID_free>;
using UniqueCrl = Owner<X509_CRL, X509_CRL_free>;
inline void FreeStack(STACK_OF(X509) * stack) noexcept {
    sk_X509_free(stack); // the certificates belong to their owners
}
using UniqueStack = Owner<STACK_OF(X509), FreeStack>;

// Seconds since 1970 (UTC); 0 when absent.
std::int64_t Seconds(const ASN1_TIME* time) {
    return detail::Seconds(time).value_or(0);
}

std::string Quoted(X509* certificate) {
    return "“" + detail::NameOf(detail::Der(certificate)) + "”";
}

// Why signer may not speak for issuer; empty when it may: the issuer itself, or
// a certificate the issuer signed for OCSP signing.
std::string Unauthorized(X509* signer, X509* issuer) {
    if (X509_cmp(signer, issuer) == 0)
        return {};
    if (X509_check_issued(issuer, signer) != X509_V_OK ||
        X509_verify(signer, X509_get0_pubkey(issuer)) != 1)
        return "yanıtı imzalayan " + Quoted(signer) +
               " sertifikasını, denetlenen sertifikayı düzenleyen düzenlememiş";
    if (!(X509_get_extension_flags(signer) & EXFLAG_XKUSAGE) ||
        !(X509_get_extended_key_usage(signer) & XKU_OCSP_SIGN))
        return "yanıtı imzalayan " + Quoted(signer) + " OCSP imzalama yetkisi taşımıyor";
    return {};
}

// The single response that names certificate, by the hash its own CertID uses.
OCSP_SINGLERESP* SingleFor(OCSP_BASICRESP* basic, X509* certificate, X509* issuer) {
    for (int i = 0; i < OCSP_resp_count(basic); ++i) {
        OCSP_SINGLERESP* single = OCSP_resp_get0(basic, i);
        ASN1_OBJECT* hash = nullptr;
        OCSP_id_get0_info(nullptr, &hash, nullptr, nullptr,
                          const_cast<OCSP_CERTID*>(OCSP_SINGLERESP_get0_id(single)));
        const EVP_MD* digest = hash ? EVP_get_digestbyobj(hash) : nullptr;
        const UniqueCertId id(digest ? OCSP_cert_to_id(digest, certificate, issuer) : nullptr);
        if (id && OCSP_id_cmp(id.get(), OCSP_SINGLERESP_get0_id(single)) == 0)
            return single;
    }
    return nullptr;
}

// The certificate whose key the response's signature verifies with, among
// those its responder id names: inside the response, the issuer, the others.
// Each is tried, since another certificate may bear the same name.
X509* FindSigner(OCSP_BASICRESP* basic, X509* issuer, const std::vector<UniqueX509>& others) {
    std::vector<X509*> candidates;
    const STACK_OF(X509)* inside = OCSP_resp_get0_certs(basic);
    for (int i = 0; inside && i < sk_X509_num(inside); ++i)
        candidates.push_back(sk_X509_value(inside, i));
    candidates.push_back(issuer);
    for (const UniqueX509& other : others)
        candidates.push_back(other.get());
    for (X509* candidate : candidates) {
        UniqueStack only(sk_X509_new_null());
        sk_X509_push(only.get(), candidate);
        // Only the signature: who may sign is judged by Unauthorized.
        if (OCSP_basic_verify(basic, only.get(), nullptr, OCSP_NOINTERN | OCSP_NOVERIFY) == 1)
            return candidate;
    }
    ERR_clear_error();
    return nullptr;
}

RevocationAnswer ReadOcsp(const Bytes& der, X509* certificate, X509* issuer,
                          const std::vector<UniqueX509>& others, std::int64_t notBefore) {
    const unsigned char* at = der.data();
    const UniqueResponse response(d2i_OCSP_RESPONSE(nullptr, &at, static_cast<long>(der.size())));
    if (!response)
        return NotCounted("okunamadı");
    const int status = OCSP_response_status(response.get());
    if (status != OCSP_RESPONSE_STATUS_SUCCESSFUL)
        return NotCounted("yanıt başarılı değil (" + std::string(OCSP_response_status_str(status)) +
                          ")");
    const UniqueBasic basic(OCSP_response_get1_basic(response.get()));
    if (!basic)
        return NotCounted("temel OCSP yanıtı okunamadı");

    X509* signer = FindSigner(basic.get(), issuer, others);
    if (!signer) {
        UniqueStack named(sk_X509_new_null());
        sk_X509_push(named.get(), issuer);
        for (const UniqueX509& other : others)
            sk_X509_push(named.get(), other.get());
        return NotCounted(OCSP_resp_get0_signer(basic.get(), &signer, named.get()) == 1
                              ? "imzası doğrulanmıyor"
                              : "yanıtı imzalayanın sertifikası bulunamadı");
    }
    if (std::string why = Unauthorized(signer, issuer); !why.empty())
        return NotCounted(std::move(why));

    OCSP_SINGLERESP* single = SingleFor(basic.get(), certificate, issuer);
    if (!single)
        return NotCounted("bu sertifika için değil");
    // The status as known at thisUpdate: a responder may sign a status it
    // cached before the signature, and that says nothing of the signature.
    ASN1_GENERALIZEDTIME* revokedAt = nullptr;
    ASN1_GENERALIZEDTIME* thisUpdate = nullptr;
    ASN1_GENERALIZEDTIME* nextUpdate = nullptr;
    const int certificateStatus =
        OCSP_single_get0_status(single, nullptr, &revokedAt, &thisUpdate, &nextUpdate);
    const std::int64_t next = nextUpdate != nullptr ? Seconds(nextUpdate) : 0;
    if (Seconds(OCSP_resp_get0_produced_at(basic.get())) < notBefore || thisUpdate == nullptr ||
        Seconds(thisUpdate) < notBefore)
        return NotCounted("imza zamanından önce üretilmiş");
    switch (certificateStatus) {
    case V_OCSP_CERTSTATUS_GOOD:
        return {RevocationAnswer::Says::Good, 0, {}, next};
    case V_OCSP_CERTSTATUS_REVOKED:
        return {RevocationAnswer::Says::Revoked, Seconds(revokedAt), {}, next};
    }
    return NotCounted("yanıtı veren sertifikanın durumunu bilmiyor");
}

RevocationAnswer ReadCrl(const Bytes& der, X509* certificate, X509* issuer,
                         std::int64_t notBefore) {
    const unsigned char* at = der.data();
    const UniqueCrl crl(d2i_X509_CRL(nullptr, &at, static_cast<long>(der.size())));
    if (!crl)
        return NotCounted("okunamadı");
    if (X509_NAME_cmp(X509_CRL_get_issuer(crl.get()), X509_get_subject_name(issuer)) != 0)
        return NotCounted("sertifikayı düzenleyenin listesi değil");
    if (X509_CRL_verify(crl.get(), X509_get0_pubkey(issuer)) != 1)
        return NotCounted("imzası sertifikayı düzenleyenin anahtarıyla doğrulanmıyor");
    // Only a complete list speaks for every certificate of its issuer: a delta
    // list or a partition (issuing distribution point), each marked critical,
    // or any other critical extension, may leave the certificate out.
    for (int i = 0; i < X509_CRL_get_ext_count(crl.get()); ++i)
        if (X509_EXTENSION_get_critical(X509_CRL_get_ext(crl.get(), i)))
            return NotCounted("tam bir iptal listesi değil (kritik uzantısı var)");
    if (Seconds(X509_CRL_get0_lastUpdate(crl.get())) < notBefore)
        return NotCounted("imza zamanından önce yayımlanmış");
    const ASN1_TIME* nextUpdate = X509_CRL_get0_nextUpdate(crl.get());
    const std::int64_t next = nextUpdate != nullptr ? Seconds(nextUpdate) : 0;
    X509_REVOKED* entry = nullptr;
    // 2: the entry only says the certificate was taken off the list again.
    if (X509_CRL_get0_by_serial(crl.get(), &entry, X509_get0_serialNumber(certificate)) == 1)
        return {RevocationAnswer::Says::Revoked,
                Seconds(X509_REVOKED_get0_revocationDate(entry)),
                {},
                next};
    return {RevocationAnswer::Says::Good, 0, {}, next};
}

} // namespace

RevocationFacts CheckRevocation(const Bytes& certificate, const Bytes& issuer,
                                const RevocationData& data, const std::vector<Bytes>& others,
                                std::int64_t bestSignatureTime) {
    const UniqueX509 subject = detail::ParseCertificate(certificate);
    const UniqueX509 authority = detail::ParseCertificate(issuer);
    std::vector<UniqueX509> extra;
    for (const Bytes& der : others)
        if (UniqueX509 other = detail::ParseCertificate(der))
            extra.push_back(std::move(other));
    std::vector<RevocationAnswer> ocsp, crl;
    for (const Bytes& der : data.ocspResponses)
        ocsp.push_back(subject && authority
                           ? ReadOcsp(der, subject.get(), authority.get(), extra, bestSignatureTime)
                           : NotCounted("sertifika ya da düzenleyeni okunamadı"));
    for (const Bytes& der : data.crls)
        crl.push_back(subject && authority
                          ? ReadCrl(der, subject.get(), authority.get(), bestSignatureTime)
                          : NotCounted("sertifika ya da düzenleyeni okunamadı"));
    return detail::Combine(ocsp, crl);
}

} // namespace tolv::validation
