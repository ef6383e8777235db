// A time-stamp token read through OpenSSL's CMS and TS parsers. The signer's
// certificate is not verified here: its chain is judged with our anchors at
// the token's own time by the portable part.

#include "validation/OpenSsl.h"
#include "validation/TimeStampToken.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/ts.h>

#include <optional>
#include <utility>

namespace tolv::validation::detail {
namespace {

using UniqueCms = Owner<CMS_ContentInfo, CMS_ContentInfo_free>;
using UniqueTstInfo = Owner<TS_TST_INFO, TS_TST_INFO_free>;

TokenContents Unreadable(std::string detail) {
    ERR_clear_error();
    TokenContents contents;
    contents.detail = std::move(detail);
    return contents;
}

// The TSTInfo the SignedData carries, when that is what it carries.
UniqueTstInfo TstInfoOf(CMS_ContentInfo* cms) {
    if (OBJ_obj2nid(CMS_get0_type(cms)) != NID_pkcs7_signed ||
        OBJ_obj2nid(CMS_get0_eContentType(cms)) != NID_id_smime_ct_TSTInfo)
        return nullptr;
    ASN1_OCTET_STRING** content = CMS_get0_content(cms);
    if (!content || !*content)
        return nullptr;
    const unsigned char* at = ASN1_STRING_get0_data(*content);
    return UniqueTstInfo(d2i_TS_TST_INFO(nullptr, &at, ASN1_STRING_length(*content)));
}

bool ReadInfo(TS_TST_INFO* info, TokenContents& contents) {
    const std::optional<std::int64_t> time = Seconds(TS_TST_INFO_get_time(info));
    if (!time)
        return false;
    contents.time = *time;
    TS_MSG_IMPRINT* imprint = TS_TST_INFO_get_msg_imprint(info);
    const ASN1_OBJECT* algorithm = nullptr;
    X509_ALGOR_get0(&algorithm, nullptr, nullptr, TS_MSG_IMPRINT_get_algo(imprint));
    char oid[80];
    if (!algorithm || OBJ_obj2txt(oid, sizeof oid, algorithm, 1) <= 0)
        return false;
    contents.hashOid = oid;
    const ASN1_OCTET_STRING* digest = TS_MSG_IMPRINT_get_msg(imprint);
    contents.imprint.assign(ASN1_STRING_get0_data(digest),
                            ASN1_STRING_get0_data(digest) + ASN1_STRING_length(digest));
    return true;
}

} // namespace

TokenContents ReadToken(const Bytes& token, const std::vector<Bytes>& others) {
    const unsigned char* at = token.data();
    const UniqueCms cms(d2i_CMS_ContentInfo(nullptr, &at, static_cast<long>(token.size())));
    if (!cms || at != token.data() + token.size())
        return Unreadable("CMS yapısı değil");
    const UniqueTstInfo info = TstInfoOf(cms.get());
    if (!info)
        return Unreadable("içinde TSTInfo yok");
    STACK_OF(CMS_SignerInfo)* signerInfos = CMS_get0_SignerInfos(cms.get());
    if (sk_CMS_SignerInfo_num(signerInfos) != 1)
        return Unreadable("tek bir imzacısı yok");
    TokenContents contents;
    if (!ReadInfo(info.get(), contents))
        return Unreadable("TSTInfo okunamadı");
    contents.reading = TokenContents::Reading::Read;

    CMS_SignerInfo* signerInfo = sk_CMS_SignerInfo_value(signerInfos, 0);
    const UniqueCertificates inside(CMS_get1_certs(cms.get()));
    for (int i = 0; inside && i < sk_X509_num(inside.get()); ++i) {
        X509* certificate = sk_X509_value(inside.get(), i);
        contents.certificates.push_back(Der(certificate));
        if (contents.signer.empty() && CMS_SignerInfo_cert_cmp(signerInfo, certificate) == 0)
            contents.signer = contents.certificates.back();
    }
    for (std::size_t i = 0; i < others.size() && contents.signer.empty(); ++i)
        if (UniqueX509 other = ParseCertificate(others[i]);
            other && CMS_SignerInfo_cert_cmp(signerInfo, other.get()) == 0)
            contents.signer = others[i];
    if (contents.signer.empty())
        return contents;

    // The signed attributes and the content's digest among them, by the
    // signer's key alone: the certificate is judged apart.
    UniqueCertificates signers(sk_X509_new_null());
    UniqueX509 signer = ParseCertificate(contents.signer);
    if (!signers || !signer || sk_X509_push(signers.get(), signer.get()) <= 0)
        return contents;
    signer.release();
    UniqueBio sink(BIO_new(BIO_s_null()));
    contents.signatureVerifies = CMS_verify(cms.get(), signers.get(), nullptr, nullptr, sink.get(),
                                            CMS_NO_SIGNER_CERT_VERIFY | CMS_BINARY) == 1;
    ERR_clear_error();
    return contents;
}

bool TimeStampingCritical(const Bytes& certificate) {
    const UniqueX509 parsed = ParseCertificate(certificate);
    const int at = parsed ? X509_get_ext_by_NID(parsed.get(), NID_ext_key_usage, -1) : -1;
    if (at < 0 || !X509_EXTENSION_get_critical(X509_get_ext(parsed.get(), at)))
        return false;
    // A key reserved for time-stamping: that usage and no other (RFC 3161).
    auto* usages = static_cast<EXTENDED_KEY_USAGE*>(
        X509_get_ext_d2i(parsed.get(), NID_ext_key_usage, nullptr, nullptr));
    const bool only = usages != nullptr && sk_ASN1_OBJECT_num(usages) == 1 &&
                      OBJ_obj2nid(sk_ASN1_OBJECT_value(usages, 0)) == NID_time_stamp;
    EXTENDED_KEY_USAGE_free(usages);
    return only;
}

} // namespace tolv::validation::detail
