#include "validation/KeyPurpose.h"

#include "validation/Crypt32_win.h"
#include "validation/KeyPurposeOids.h"

namespace tolv::validation {

bool FitForSignatures(const signature::Bytes& certificate) {
    const detail::UniqueCertificate parsed = detail::ParseCertificate(certificate);
    if (!parsed)
        return false;
    CERT_INFO& info = *parsed.get()->pCertInfo;
    BYTE usage[2] = {};
    // FALSE: the certificate has no key usage, which allows any.
    if (CertGetIntendedKeyUsage(X509_ASN_ENCODING, &info, usage, sizeof usage) &&
        (usage[0] & (CERT_DIGITAL_SIGNATURE_KEY_USAGE | CERT_NON_REPUDIATION_KEY_USAGE)) == 0)
        return false;
    const CERT_EXTENSION* extension =
        CertFindExtension(szOID_ENHANCED_KEY_USAGE, info.cExtension, info.rgExtension);
    if (extension == nullptr)
        return true;
    void* decoded = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ENHANCED_KEY_USAGE, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded,
                             &size))
        return false;
    const detail::UniqueLocal owner(decoded);
    const auto& purposes = *static_cast<const CERT_ENHKEY_USAGE*>(decoded);
    for (DWORD i = 0; i < purposes.cUsageIdentifier; ++i)
        if (detail::SigningPurpose(purposes.rgpszUsageIdentifier[i]))
            return true;
    return false;
}

} // namespace tolv::validation
