// A certificate's qualified claim through OpenSSL's ASN.1 decoders.

#include "validation/Qualified.h"

#include "validation/OpenSsl.h"
#include "validation/QualifiedOids.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>

#include <string>
#include <vector>

namespace tolv::validation {
namespace {

using detail::Owner;
inline void FreeSequence(ASN1_SEQUENCE_ANY* sequence) noexcept {
    sk_ASN1_TYPE_pop_free(sequence, ASN1_TYPE_free);
}
using UniqueSequence = Owner<ASN1_SEQUENCE_ANY, FreeSequence>;
using UniquePolicies = Owner<CERTIFICATEPOLICIES, CERTIFICATEPOLICIES_free>;

std::string Oid(const ASN1_OBJECT* object) {
    char text[128] = {};
    const int length = OBJ_obj2txt(text, sizeof text, object, 1);
    return length > 0 && length < static_cast<int>(sizeof text) ? text : "";
}

// The elements of a DER SEQUENCE; null when it is none.
UniqueSequence Elements(const unsigned char* der, int size) {
    return UniqueSequence(d2i_ASN1_SEQUENCE_ANY(nullptr, &der, size));
}
UniqueSequence Elements(const ASN1_TYPE* value) {
    if (value->type != V_ASN1_SEQUENCE)
        return nullptr;
    return Elements(ASN1_STRING_get0_data(value->value.sequence),
                    ASN1_STRING_length(value->value.sequence));
}

std::vector<std::string> ObjectsIn(const ASN1_TYPE* value) {
    std::vector<std::string> oids;
    const UniqueSequence elements = Elements(value);
    for (int i = 0; elements && i < sk_ASN1_TYPE_num(elements.get()); ++i) {
        const ASN1_TYPE* element = sk_ASN1_TYPE_value(elements.get(), i);
        if (element->type == V_ASN1_OBJECT)
            oids.push_back(Oid(element->value.object));
    }
    return oids;
}

// QCStatement ::= SEQUENCE { statementId OBJECT IDENTIFIER, statementInfo ANY OPTIONAL }
void NoteStatements(QualifiedClaim& claim, const X509* certificate) {
    const int index = X509_get_ext_by_NID(certificate, NID_qcStatements, -1);
    if (index < 0)
        return;
    const ASN1_OCTET_STRING* value = X509_EXTENSION_get_data(X509_get_ext(certificate, index));
    const UniqueSequence statements =
        Elements(ASN1_STRING_get0_data(value), ASN1_STRING_length(value));
    for (int i = 0; statements && i < sk_ASN1_TYPE_num(statements.get()); ++i) {
        const UniqueSequence parts = Elements(sk_ASN1_TYPE_value(statements.get(), i));
        if (!parts || sk_ASN1_TYPE_num(parts.get()) < 1)
            continue;
        const ASN1_TYPE* id = sk_ASN1_TYPE_value(parts.get(), 0);
        if (id->type != V_ASN1_OBJECT)
            continue;
        std::vector<std::string> types;
        if (sk_ASN1_TYPE_num(parts.get()) > 1)
            types = ObjectsIn(sk_ASN1_TYPE_value(parts.get(), 1));
        detail::NoteStatement(claim, Oid(id->value.object), types);
    }
}

} // namespace

bool QualifiedClaim::Claimed() const {
    // A QcType that names only seals or web sites is no signature's.
    return turkishPolicy || (qcCompliance && (!qcTypePresent || qcTypeEsign));
}

QualifiedClaim QualifiedClaimOf(const signature::Bytes& certificate) {
    QualifiedClaim claim;
    const detail::UniqueX509 parsed = detail::ParseCertificate(certificate);
    if (!parsed)
        return claim;
    const UniquePolicies policies(static_cast<CERTIFICATEPOLICIES*>(
        X509_get_ext_d2i(parsed.get(), NID_certificate_policies, nullptr, nullptr)));
    for (int i = 0; policies && i < sk_POLICYINFO_num(policies.get()); ++i)
        detail::NotePolicy(claim, Oid(sk_POLICYINFO_value(policies.get(), i)->policyid));
    NoteStatements(claim, parsed.get());
    return claim;
}

} // namespace tolv::validation
