// A certificate's qualified claim through crypt32's decoders.

#include "validation/Qualified.h"

#include "validation/Crypt32_win.h"
#include "validation/QualifiedOids.h"

#include <optional>
#include <string>
#include <vector>

namespace tolv::validation {
namespace {

// What crypt32 decodes of blob as type, owned; null when it cannot.
detail::UniqueLocal Decode(LPCSTR type, const CRYPT_DATA_BLOB& blob) {
    void* decoded = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, type, blob.pbData, blob.cbData,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size))
        return {};
    return detail::UniqueLocal(decoded);
}

// The elements of a DER SEQUENCE, each as DER.
std::vector<Bytes> Elements(const CRYPT_DATA_BLOB& blob) {
    std::vector<Bytes> elements;
    const detail::UniqueLocal decoded = Decode(X509_SEQUENCE_OF_ANY, blob);
    if (!decoded)
        return elements;
    const auto& sequence = *static_cast<const CRYPT_SEQUENCE_OF_ANY*>(decoded.get());
    for (DWORD i = 0; i < sequence.cValue; ++i)
        elements.emplace_back(sequence.rgValue[i].pbData,
                              sequence.rgValue[i].pbData + sequence.rgValue[i].cbData);
    return elements;
}
std::vector<Bytes> Elements(Bytes& der) {
    return Elements(CRYPT_DATA_BLOB{static_cast<DWORD>(der.size()), der.data()});
}

std::optional<std::string> Oid(Bytes& der) {
    const detail::UniqueLocal decoded =
        Decode(X509_OBJECT_IDENTIFIER, CRYPT_DATA_BLOB{static_cast<DWORD>(der.size()), der.data()});
    if (!decoded || !*static_cast<LPSTR*>(decoded.get()))
        return std::nullopt;
    return std::string(*static_cast<LPSTR*>(decoded.get()));
}

// QCStatement ::= SEQUENCE { statementId OBJECT IDENTIFIER, statementInfo ANY OPTIONAL }
void NoteStatements(QualifiedClaim& claim, const CERT_EXTENSION& extension) {
    for (Bytes& statement : Elements(extension.Value)) {
        std::vector<Bytes> parts = Elements(statement);
        const auto id = parts.empty() ? std::nullopt : Oid(parts[0]);
        if (!id)
            continue;
        std::vector<std::string> types;
        if (parts.size() > 1)
            for (Bytes& type : Elements(parts[1]))
                if (auto oid = Oid(type))
                    types.push_back(std::move(*oid));
        detail::NoteStatement(claim, *id, types);
    }
}

} // namespace

QualifiedClaim QualifiedClaimOf(const signature::Bytes& certificate) {
    QualifiedClaim claim;
    const detail::UniqueCertificate parsed = detail::ParseCertificate(certificate);
    if (!parsed)
        return claim;
    const CERT_INFO& info = *parsed.get()->pCertInfo;
    if (const CERT_EXTENSION* extension =
            CertFindExtension(szOID_CERT_POLICIES, info.cExtension, info.rgExtension))
        if (const detail::UniqueLocal decoded = Decode(X509_CERT_POLICIES, extension->Value)) {
            const auto& policies = *static_cast<const CERT_POLICIES_INFO*>(decoded.get());
            for (DWORD i = 0; i < policies.cPolicyInfo; ++i)
                detail::NotePolicy(claim, policies.rgPolicyInfo[i].pszPolicyIdentifier);
        }
    if (const CERT_EXTENSION* extension =
            CertFindExtension(detail::kQcStatementsOid, info.cExtension, info.rgExtension))
        NoteStatements(claim, *extension);
    return claim;
}

} // namespace tolv::validation
