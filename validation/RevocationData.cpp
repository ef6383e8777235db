// OCSP responses and CRLs through OpenSSL's own parsers. OpenSSL's verifier
// only checks a response's signature here: who may sign for the issuer is
// judged below, against the issuer given, not against a store of anchors.

#include "validation/OpenSsl.h"
#include "validation/RevocationAnswer.h"

#include "validation/ChainOutcome.h"

#include <openssl/err.h>
#include <openssl/ocsp.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <optional>

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

// The certificates whose key the response's signature verifies with, among
// those it may name: inside the response, the issuer, the others. Each is
// tried: another certificate may bear the same name, or the same key.
std::vector<X509*> Signers(OCSP_BASICRESP* basic, X509* issuer,
                           const std::vector<UniqueX509>& others) {
    std::vector<X509*> candidates;
    const STACK_OF(X509)* inside = OCSP_resp_get0_certs(basic);
    for (int i = 0; inside && i < sk_X509_num(inside); ++i)
        candidates.push_back(sk_X509_value(inside, i));
    candidates.push_back(issuer);
    for (const UniqueX509& other : others)
        candidates.push_back(other.get());
    std::vector<X509*> signers;
    for (X509* candidate : candidates) {
        UniqueStack only(sk_X509_new_null());
        sk_X509_push(only.get(), candidate);
        // Only the signature: who may sign is judged by the caller.
        if (OCSP_basic_verify(basic, only.get(), nullptr, OCSP_NOINTERN | OCSP_NOVERIFY) == 1)
            signers.push_back(candidate);
    }
    ERR_clear_error();
    return signers;
}

// What a "good" answer issued before the time judged is, in the words of
// that time.
// that time; verb: how the answer came to be ("üretilmiş", "yayımlanmış").
RevocationAnswer TooEarly(const JudgedAt& at, const char* verb) {
    return NotCounted(at.proven ? std::string("imzanın atıldığı kanıtlanan zamandan önce ") + verb
                                : std::string("denetim zamanından önce ") + verb +
                                      " (imzanın ne zaman atıldığını bir zaman damgası "
                                      "kanıtlamıyor)");
}

// The time a GeneralizedTime extension holds; nullopt without one.
std::optional<std::int64_t> TimeIn(ASN1_GENERALIZEDTIME* time) {
    std::optional<std::int64_t> seconds = time ? detail::Seconds(time) : std::nullopt;
    ASN1_GENERALIZEDTIME_free(time);
    return seconds;
}

// CAs drop expired certificates from their CRLs and OCSP databases, so an
// answer issued after the certificate expired says "good" of a revoked one
// unless it keeps expired entries since a time at or before the expiry: a
// CRL's ExpiredCertsOnCRL (X.509), an OCSP answer's archiveCutoff (RFC 6960).
bool KeepsExpired(std::optional<std::int64_t> since, X509* certificate) {
    return since && *since <= Seconds(X509_get0_notAfter(certificate));
}
constexpr const char* kAfterExpiry =
    "sertifikanın süresi dolduktan sonra verilmiş ve süresi dolmuş sertifikaları kaydında "
    "tuttuğunu bildirmiyor";

std::optional<std::int64_t> ExpiredCertsOnCrl(X509_CRL* crl) {
    static ASN1_OBJECT* const oid = OBJ_txt2obj("2.5.29.60", 1); // id-ce-expiredCertsOnCRL
    const int index = oid ? X509_CRL_get_ext_by_OBJ(crl, oid, -1) : -1;
    if (index < 0)
        return std::nullopt;
    const ASN1_OCTET_STRING* value = X509_EXTENSION_get_data(X509_CRL_get_ext(crl, index));
    const unsigned char* at = ASN1_STRING_get0_data(value);
    return TimeIn(d2i_ASN1_GENERALIZEDTIME(nullptr, &at, ASN1_STRING_length(value)));
}

} // namespace

namespace detail {

// The answers of a RevocationData as OpenSSL parsed them, each once; and, for
// a CRL, the issuers whose key its signature has been checked against.
struct ParsedAnswers {
    std::vector<UniqueResponse> ocsp; // null where the bytes are no response
    struct Crl {
        UniqueCrl list; // null where the bytes are no CRL
        std::vector<std::pair<UniqueX509, bool>> checkedBy;
    };
    std::vector<Crl> crls;
};

} // namespace detail

namespace {

detail::ParsedAnswers& Parsed(const RevocationData& data) {
    if (!data.parsed) {
        auto parsed = std::make_shared<detail::ParsedAnswers>();
        for (const Bytes& der : data.ocspResponses) {
            const unsigned char* at = der.data();
            parsed->ocsp.emplace_back(
                d2i_OCSP_RESPONSE(nullptr, &at, static_cast<long>(der.size())));
        }
        for (const Bytes& der : data.crls) {
            const unsigned char* at = der.data();
            parsed->crls.push_back(
                {UniqueCrl(d2i_X509_CRL(nullptr, &at, static_cast<long>(der.size()))), {}});
        }
        ERR_clear_error();
        data.parsed = std::move(parsed);
    }
    return *data.parsed;
}

// The list's entry that revokes serial; null when none does. Looked up
// entry by entry: OpenSSL's own lookup sorts the whole list first, which for
// a list of 150,000 entries costs more than parsing it, and a report asks a
// list about a few certificates at most.
const X509_REVOKED* EntryFor(X509_CRL* crl, const ASN1_INTEGER* serial) {
    const STACK_OF(X509_REVOKED)* entries = X509_CRL_get_REVOKED(crl);
    for (int i = 0; i < sk_X509_REVOKED_num(entries); ++i) {
        const X509_REVOKED* entry = sk_X509_REVOKED_value(entries, i);
        if (ASN1_INTEGER_cmp(X509_REVOKED_get0_serialNumber(entry), serial) != 0)
            continue;
        // removeFromCRL: the certificate was only on hold, and is no longer.
        auto* reason = static_cast<ASN1_ENUMERATED*>(
            X509_REVOKED_get_ext_d2i(entry, NID_crl_reason, nullptr, nullptr));
        const bool removed = reason && ASN1_ENUMERATED_get(reason) == CRL_REASON_REMOVE_FROM_CRL;
        ASN1_ENUMERATED_free(reason);
        if (!removed)
            return entry;
    }
    return nullptr;
}

// Whether issuer's key verifies the list, checked once per issuer.
bool SignedBy(detail::ParsedAnswers::Crl& crl, X509* issuer) {
    for (const auto& [checked, verifies] : crl.checkedBy)
        if (X509_cmp(checked.get(), issuer) == 0)
            return verifies;
    const bool verifies = X509_CRL_verify(crl.list.get(), X509_get0_pubkey(issuer)) == 1;
    X509_up_ref(issuer);
    crl.checkedBy.emplace_back(UniqueX509(issuer), verifies);
    return verifies;
}

// The answers of one report (or of one fetch) for one certificate.
class AnswerReader {
public:
    AnswerReader(X509* certificate, X509* issuer, const std::vector<UniqueX509>& others,
                 const RevocationData& data, const JudgedAt& at)
        : certificate_(certificate), issuer_(issuer), others_(others), data_(data), at_(at) {}

    RevocationFacts Read(bool delegatedAllowed) const {
        detail::ParsedAnswers& parsed = Parsed(data_);
        std::vector<RevocationAnswer> ocsp, crl;
        for (const UniqueResponse& response : parsed.ocsp)
            ocsp.push_back(ReadOcsp(response.get(), delegatedAllowed));
        for (detail::ParsedAnswers::Crl& list : parsed.crls)
            crl.push_back(ReadCrl(list));
        return detail::Combine(ocsp, crl);
    }

private:
    RevocationAnswer ReadOcsp(OCSP_RESPONSE* response, bool delegatedAllowed) const {
        if (!response)
            return NotCounted("okunamadı");
        const int status = OCSP_response_status(response);
        if (status != OCSP_RESPONSE_STATUS_SUCCESSFUL)
            return NotCounted("yanıt başarılı değil (" +
                              std::string(OCSP_response_status_str(status)) + ")");
        const UniqueBasic basic(OCSP_response_get1_basic(response));
        if (!basic)
            return NotCounted("temel OCSP yanıtı okunamadı");

        const std::vector<X509*> signers = Signers(basic.get(), issuer_, others_);
        if (signers.empty()) {
            X509* signer = nullptr;
            UniqueStack named(sk_X509_new_null());
            sk_X509_push(named.get(), issuer_);
            for (const UniqueX509& other : others_)
                sk_X509_push(named.get(), other.get());
            return NotCounted(OCSP_resp_get0_signer(basic.get(), &signer, named.get()) == 1
                                  ? "imzası doğrulanmıyor"
                                  : "yanıtı imzalayanın sertifikası bulunamadı");
        }
        // Of the certificates bearing the signing key, the first that may
        // answer counts; a stranger's put first does not silence it.
        const std::int64_t producedAt = Seconds(OCSP_resp_get0_produced_at(basic.get()));
        std::vector<std::string> reasons;
        for (X509* signer : signers) {
            reasons.push_back(MayNotAnswer(signer, producedAt, delegatedAllowed));
            if (reasons.back().empty())
                break;
        }
        if (!reasons.back().empty()) {
            // Why one the issuer did appoint may not tells more than a stranger's.
            for (std::size_t i = 0; i < signers.size(); ++i)
                if (Unauthorized(signers[i], issuer_).empty())
                    return NotCounted(std::move(reasons[i]));
            return NotCounted(std::move(reasons.front()));
        }

        OCSP_SINGLERESP* single = SingleFor(basic.get(), certificate_, issuer_);
        if (!single)
            return NotCounted("bu sertifika için değil");
        ASN1_GENERALIZEDTIME* revokedAt = nullptr;
        ASN1_GENERALIZEDTIME* thisUpdate = nullptr;
        ASN1_GENERALIZEDTIME* nextUpdate = nullptr;
        const int certificateStatus =
            OCSP_single_get0_status(single, nullptr, &revokedAt, &thisUpdate, &nextUpdate);
        const std::int64_t next = nextUpdate != nullptr ? Seconds(nextUpdate) : 0;
        switch (certificateStatus) {
        case V_OCSP_CERTSTATUS_REVOKED:
            // A revocation stays a revocation, however old the answer.
            return {RevocationAnswer::Says::Revoked, Seconds(revokedAt), {}, next};
        case V_OCSP_CERTSTATUS_GOOD:
            break;
        default:
            return NotCounted("yanıtı veren sertifikanın durumunu bilmiyor");
        }
        // "Good" as known at thisUpdate: a responder may sign a status it
        // cached before the signature, and that says nothing of the signature.
        if (producedAt < at_.time || thisUpdate == nullptr || Seconds(thisUpdate) < at_.time)
            return TooEarly(at_, "üretilmiş");
        if (Seconds(thisUpdate) > Seconds(X509_get0_notAfter(certificate_)) &&
            !KeepsExpired(TimeIn(static_cast<ASN1_GENERALIZEDTIME*>(OCSP_SINGLERESP_get1_ext_d2i(
                              single, NID_id_pkix_OCSP_archiveCutoff, nullptr, nullptr))),
                          certificate_))
            return NotCounted(kAfterExpiry);
        return {RevocationAnswer::Says::Good, 0, {}, next};
    }

    // Why signer may not answer for the certificate; empty when it may.
    std::string MayNotAnswer(X509* signer, std::int64_t producedAt, bool delegatedAllowed) const {
        if (std::string why = Unauthorized(signer, issuer_); !why.empty())
            return why;
        if (X509_cmp(signer, issuer_) == 0)
            return {};
        if (!delegatedAllowed)
            return "yanıtı sertifikayı düzenleyen değil, bir yanıtlayıcı imzalamış";
        return ResponderUnfit(signer, producedAt);
    }

    // Why a delegated responder may not speak (RFC 6960, 4.2.2.2); empty when
    // it may: within its validity when it answered (and now, for an answer
    // fetched now), fit for signatures, and itself not revoked then, unless
    // its issuer said its status need not be checked (id-pkix-ocsp-nocheck).
    std::string ResponderUnfit(X509* responder, std::int64_t producedAt) const {
        const std::string who = "yanıtı imzalayan " + Quoted(responder);
        const auto within = [&](std::int64_t time) {
            return Seconds(X509_get0_notBefore(responder)) <= time &&
                   time <= Seconds(X509_get0_notAfter(responder));
        };
        if (!within(producedAt))
            return who + " yanıtın üretildiği zamanda geçerli değil";
        if (at_.fetchedAt && !within(*at_.fetchedAt))
            return who + " şu anda geçerli değil";
        if ((X509_get_extension_flags(responder) & EXFLAG_KUSAGE) != 0 &&
            (X509_get_key_usage(responder) & KU_DIGITAL_SIGNATURE) == 0)
            return who + " imza için kullanılamaz (anahtar kullanımı)";
        if (X509_get_ext_by_NID(responder, NID_id_pkix_OCSP_noCheck, -1) >= 0)
            return {};
        // The responder's own status, from the same data, by its issuer alone.
        const AnswerReader own(responder, issuer_, others_, data_,
                               JudgedAt{producedAt, true, std::nullopt});
        const RevocationFacts facts = own.Read(false);
        if (facts.status == Revocation::Good || (facts.status == Revocation::Revoked &&
                                                 facts.revokedAt && *facts.revokedAt > producedAt))
            return {};
        if (facts.status == Revocation::Revoked)
            return who + " iptal edilmiş";
        return who + " sertifikasının iptal durumu bilinmiyor";
    }

    RevocationAnswer ReadCrl(detail::ParsedAnswers::Crl& list) const {
        X509_CRL* crl = list.list.get();
        if (!crl)
            return NotCounted("okunamadı");
        if (X509_NAME_cmp(X509_CRL_get_issuer(crl), X509_get_subject_name(issuer_)) != 0)
            return NotCounted("sertifikayı düzenleyenin listesi değil");
        if (!SignedBy(list, issuer_))
            return NotCounted("imzası sertifikayı düzenleyenin anahtarıyla doğrulanmıyor");
        const ASN1_TIME* nextUpdate = X509_CRL_get0_nextUpdate(crl);
        const std::int64_t next = nextUpdate != nullptr ? Seconds(nextUpdate) : 0;
        // The issuer signed it: whatever list it is, an entry is a revocation.
        if (const X509_REVOKED* entry = EntryFor(crl, X509_get0_serialNumber(certificate_)))
            return {RevocationAnswer::Says::Revoked,
                    Seconds(X509_REVOKED_get0_revocationDate(entry)),
                    {},
                    next};
        // But only a complete list speaks for every certificate of its issuer:
        // a delta list or a partition (issuing distribution point), each
        // marked critical, or any other critical extension, may leave the
        // certificate out.
        for (int i = 0; i < X509_CRL_get_ext_count(crl); ++i)
            if (X509_EXTENSION_get_critical(X509_CRL_get_ext(crl, i)))
                return NotCounted("tam bir iptal listesi değil (kritik uzantısı var)");
        const std::int64_t issued = Seconds(X509_CRL_get0_lastUpdate(crl));
        if (issued < at_.time)
            return TooEarly(at_, "yayımlanmış");
        if (issued > Seconds(X509_get0_notAfter(certificate_)) &&
            !KeepsExpired(ExpiredCertsOnCrl(crl), certificate_))
            return NotCounted(kAfterExpiry);
        return {RevocationAnswer::Says::Good, 0, {}, next};
    }

    X509* certificate_;
    X509* issuer_;
    const std::vector<UniqueX509>& others_;
    const RevocationData& data_;
    JudgedAt at_;
};

} // namespace

RevocationData WithoutRepeats(const std::vector<Bytes>& ocsp, const std::vector<Bytes>& crls) {
    RevocationData data;
    for (const auto& [from, to] :
         {std::pair{&ocsp, &data.ocspResponses}, std::pair{&crls, &data.crls}})
        for (const Bytes& answer : *from)
            if (std::find(to->begin(), to->end(), answer) == to->end())
                to->push_back(answer);
    return data;
}

RevocationFacts CheckRevocation(const Bytes& certificate, const Bytes& issuer,
                                const RevocationData& data, const std::vector<Bytes>& others,
                                const JudgedAt& at) {
    const UniqueX509 subject = detail::ParseCertificate(certificate);
    const UniqueX509 authority = detail::ParseCertificate(issuer);
    if (!subject || !authority) {
        const RevocationAnswer unread = NotCounted("sertifika ya da düzenleyeni okunamadı");
        return detail::Combine(std::vector(data.ocspResponses.size(), unread),
                               std::vector(data.crls.size(), unread));
    }
    std::vector<UniqueX509> extra;
    for (const Bytes& der : others)
        if (UniqueX509 other = detail::ParseCertificate(der))
            extra.push_back(std::move(other));
    return AnswerReader(subject.get(), authority.get(), extra, data, at).Read(true);
}

} // namespace tolv::validation
