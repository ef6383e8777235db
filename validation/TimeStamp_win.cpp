// A time-stamp token read through crypt32: CryptMsg for the SignedData and
// its signature, CryptDecodeObjectEx for the TSTInfo. A call that fails for
// another reason than what the token holds makes the token Unsupported: Wine
// lacks some of these, and a guess is no proof.

#include "validation/Crypt32_win.h"
#include "validation/TimeStampToken.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

namespace tolv::validation::detail {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

inline void CloseMessage(HCRYPTMSG message) noexcept {
    CryptMsgClose(message);
}
using UniqueMessage = Unique<HCRYPTMSG, CloseMessage>;

TokenContents Failed(TokenContents::Reading reading, std::string detail) {
    TokenContents contents;
    contents.reading = reading;
    contents.detail = std::move(detail);
    return contents;
}

// What the token holds is at fault, rather than the system.
bool AsnError(DWORD error) {
    // CRYPT_E_OSS_ERROR up to the last CRYPT_E_ASN1_ code
    return (error >= 0x80093000 && error <= 0x800932FF) ||
           error == static_cast<DWORD>(CRYPT_E_BAD_ENCODE) ||
           error == static_cast<DWORD>(CRYPT_E_INVALID_MSG_TYPE) ||
           error == static_cast<DWORD>(CRYPT_E_UNEXPECTED_MSG_TYPE);
}

TokenContents Failure(const char* call) {
    const DWORD error = GetLastError();
    return Failed(AsnError(error) ? TokenContents::Reading::Unreadable
                                  : TokenContents::Reading::Unsupported,
                  CallFailed(call, error));
}

bool Param(HCRYPTMSG message, DWORD type, DWORD index, Bytes& value) {
    DWORD size = 0;
    if (!CryptMsgGetParam(message, type, index, nullptr, &size))
        return false;
    value.resize(size);
    if (!CryptMsgGetParam(message, type, index, value.data(), &size))
        return false;
    value.resize(size);
    return true;
}

bool Count(HCRYPTMSG message, DWORD type, DWORD& count) {
    DWORD size = sizeof count;
    return CryptMsgGetParam(message, type, 0, &count, &size);
}

UniqueLocal Decode(LPCSTR type, const Bytes& der) {
    void* decoded = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, type, der.data(), static_cast<DWORD>(der.size()),
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size))
        return {};
    return UniqueLocal(decoded);
}

// The TSTInfo's DER. Windows gives the eContent's octets; Wine the OCTET
// STRING around them, which its own decoder unwraps.
bool TstInfoOf(HCRYPTMSG message, Bytes& info) {
    if (!Param(message, CMSG_CONTENT_PARAM, 0, info) || info.empty())
        return false;
    if (info[0] != 0x04)
        return true;
    const UniqueLocal inner = Decode(X509_OCTET_STRING, info);
    if (!inner)
        return false;
    const auto& blob = *static_cast<const CRYPT_DATA_BLOB*>(inner.get());
    info.assign(blob.pbData, blob.pbData + blob.cbData);
    return true;
}

// oid: a content type as CryptMsgGetParam gives it, NUL-terminated.
bool NamesTstInfo(const Bytes& oid) {
    return std::string(oid.begin(), std::find(oid.begin(), oid.end(), 0)) == szOID_TIMESTAMP_TOKEN;
}

std::int64_t Seconds(const FILETIME& time) {
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000) - 11644473600LL;
}

// The token's certificates and others in one store, the signer's among them.
UniqueCertificate FindSigner(HCRYPTMSG message, const std::vector<Bytes>& others,
                             TokenContents& contents) {
    const UniqueStore store = NewMemoryStore();
    DWORD count = 0;
    if (!store || !Count(message, CMSG_CERT_COUNT_PARAM, count))
        return {};
    for (DWORD i = 0; i < count; ++i)
        if (Bytes der; Param(message, CMSG_CERT_PARAM, i, der))
            contents.certificates.push_back(std::move(der));
    for (const std::vector<Bytes>* list : {&std::as_const(contents.certificates), &others})
        for (const Bytes& der : *list)
            CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(),
                                             static_cast<DWORD>(der.size()),
                                             CERT_STORE_ADD_USE_EXISTING, nullptr);
    Bytes id;
    if (!Param(message, CMSG_SIGNER_CERT_INFO_PARAM, 0, id))
        return {};
    return UniqueCertificate(CertGetSubjectCertificateFromStore(
        store.get(), X509_ASN_ENCODING, reinterpret_cast<CERT_INFO*>(id.data())));
}

// Windows compares the content's digest with the signed messageDigest when it
// verifies the signature; Wine 8 does not (and digests the content's OCTET
// STRING rather than the content), so the comparison is made here.
std::optional<bool> ContentDigestSigned(HCRYPTMSG message, const Bytes& content) {
    Bytes signer;
    if (!Param(message, CMSG_SIGNER_INFO_PARAM, 0, signer))
        return std::nullopt;
    const auto& info = *reinterpret_cast<const CMSG_SIGNER_INFO*>(signer.data());
    for (DWORD i = 0; i < info.AuthAttrs.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = info.AuthAttrs.rgAttr[i];
        if (std::strcmp(attribute.pszObjId, szOID_RSA_messageDigest) != 0 || attribute.cValue != 1)
            continue;
        const CRYPT_ATTR_BLOB& value = attribute.rgValue[0];
        const UniqueLocal digest =
            Decode(X509_OCTET_STRING, Bytes(value.pbData, value.pbData + value.cbData));
        if (!digest)
            return false;
        const auto& blob = *static_cast<const CRYPT_DATA_BLOB*>(digest.get());
        return DigestMatches(info.HashAlgorithm.pszObjId, content,
                             Bytes(blob.pbData, blob.pbData + blob.cbData));
    }
    return false; // a token's signer always signs attributes
}

} // namespace

TokenContents ReadToken(const Bytes& token, const std::vector<Bytes>& others) {
    const UniqueMessage message(CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr));
    if (!message)
        return Failure("CryptMsgOpenToDecode");
    if (!CryptMsgUpdate(message.get(), token.data(), static_cast<DWORD>(token.size()), TRUE))
        return Failure("CryptMsgUpdate");
    DWORD type = 0, signers = 0;
    Bytes contentType, info;
    if (!Count(message.get(), CMSG_TYPE_PARAM, type) || type != CMSG_SIGNED ||
        !Param(message.get(), CMSG_INNER_CONTENT_TYPE_PARAM, 0, contentType) ||
        !NamesTstInfo(contentType) || !Count(message.get(), CMSG_SIGNER_COUNT_PARAM, signers) ||
        signers != 1)
        return Failed(TokenContents::Reading::Unreadable, "tek imzacılı bir TSTInfo değil");
    if (!TstInfoOf(message.get(), info))
        return Failure("CryptMsgGetParam(CMSG_CONTENT_PARAM)");
    const UniqueLocal decoded = Decode(TIMESTAMP_INFO, info);
    if (!decoded)
        return Failure("CryptDecodeObjectEx(TIMESTAMP_INFO)");
    const auto& stamp = *static_cast<const CRYPT_TIMESTAMP_INFO*>(decoded.get());
    TokenContents contents;
    contents.reading = TokenContents::Reading::Read;
    contents.time = Seconds(stamp.ftTime);
    contents.hashOid = stamp.HashAlgorithm.pszObjId ? stamp.HashAlgorithm.pszObjId : "";
    contents.imprint.assign(stamp.HashedMessage.pbData,
                            stamp.HashedMessage.pbData + stamp.HashedMessage.cbData);

    const UniqueCertificate signer = FindSigner(message.get(), others, contents);
    if (!signer)
        return contents;
    contents.signer.assign(signer.get()->pbCertEncoded,
                           signer.get()->pbCertEncoded + signer.get()->cbCertEncoded);
    // The content's digest against the signed attributes, and their signature.
    CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA verify{};
    verify.cbSize = sizeof verify;
    verify.dwSignerIndex = 0;
    verify.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
    verify.pvSigner = const_cast<CERT_CONTEXT*>(signer.get());
    if (CryptMsgControl(message.get(), 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &verify)) {
        const auto signedDigest = ContentDigestSigned(message.get(), info);
        if (!signedDigest)
            return Failed(
                TokenContents::Reading::Unsupported,
                "CryptMsgGetParam(CMSG_SIGNER_INFO_PARAM): imzacının özet algoritması okunamadı");
        contents.signatureVerifies = *signedDigest;
        return contents;
    }
    const DWORD error = GetLastError();
    if (error != static_cast<DWORD>(NTE_BAD_SIGNATURE) &&
        error != static_cast<DWORD>(CRYPT_E_HASH_VALUE))
        return Failed(TokenContents::Reading::Unsupported,
                      CallFailed("CryptMsgControl(CMSG_CTRL_VERIFY_SIGNATURE_EX)", error));
    return contents;
}

bool TimeStampingCritical(const Bytes& certificate) {
    const UniqueCertificate parsed = ParseCertificate(certificate);
    const CERT_EXTENSION* extension =
        parsed ? CertFindExtension(szOID_ENHANCED_KEY_USAGE, parsed.get()->pCertInfo->cExtension,
                                   parsed.get()->pCertInfo->rgExtension)
               : nullptr;
    if (!extension || !extension->fCritical)
        return false;
    const Bytes der(extension->Value.pbData, extension->Value.pbData + extension->Value.cbData);
    const UniqueLocal decoded = Decode(X509_ENHANCED_KEY_USAGE, der);
    if (!decoded)
        return false;
    const auto& usage = *static_cast<const CERT_ENHKEY_USAGE*>(decoded.get());
    // A key reserved for time-stamping: that usage and no other (RFC 3161).
    return usage.cUsageIdentifier == 1 &&
           std::strcmp(usage.rgpszUsageIdentifier[0], szOID_PKIX_KP_TIMESTAMP_SIGNING) == 0;
}

} // namespace tolv::validation::detail
