#include "validation/KeyPurpose.h"

#include "validation/KeyPurposeOids.h"
#include "validation/OpenSsl.h"

#include <openssl/x509v3.h>

#include <string_view>

namespace tolv::validation {
namespace detail {

bool SigningPurpose(std::string_view oid) {
    for (const std::string_view fit : kSigningPurposes)
        if (oid == fit)
            return true;
    return false;
}

} // namespace detail

bool FitForSignatures(const signature::Bytes& certificate) {
    const detail::UniqueX509 parsed = detail::ParseCertificate(certificate);
    if (!parsed)
        return false;
    // The flags are only filled in once the extensions have been looked at.
    X509_check_purpose(parsed.get(), -1, 0);
    if ((X509_get_extension_flags(parsed.get()) & EXFLAG_KUSAGE) != 0 &&
        (X509_get_key_usage(parsed.get()) & (KU_DIGITAL_SIGNATURE | KU_NON_REPUDIATION)) == 0)
        return false;
    auto* usages = static_cast<EXTENDED_KEY_USAGE*>(
        X509_get_ext_d2i(parsed.get(), NID_ext_key_usage, nullptr, nullptr));
    if (usages == nullptr)
        return (X509_get_extension_flags(parsed.get()) & EXFLAG_XKUSAGE) == 0;
    bool fit = false;
    for (int i = 0; i < sk_ASN1_OBJECT_num(usages) && !fit; ++i) {
        char oid[80] = {};
        OBJ_obj2txt(oid, sizeof oid, sk_ASN1_OBJECT_value(usages, i), 1);
        fit = detail::SigningPurpose(oid);
    }
    EXTENDED_KEY_USAGE_free(usages);
    return fit;
}

} // namespace tolv::validation
