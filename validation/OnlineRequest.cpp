// What asking online needs of a certificate: where its status is published,
// and the OCSP request for it.

#include "validation/OnlineFetch.h"

#include "validation/OpenSsl.h"

#include <openssl/ocsp.h>
#include <openssl/x509v3.h>

namespace tolv::validation::detail {
namespace {

void FreeDistPoints(STACK_OF(DIST_POINT) * points) {
    sk_DIST_POINT_pop_free(points, DIST_POINT_free);
}
void FreeStrings(STACK_OF(OPENSSL_STRING) * strings) {
    X509_email_free(strings);
}

using UniqueRequest = Owner<OCSP_REQUEST, OCSP_REQUEST_free>;
using UniqueDistPoints = Owner<STACK_OF(DIST_POINT), FreeDistPoints>;
using UniqueStrings = Owner<STACK_OF(OPENSSL_STRING), FreeStrings>;

// A plain http address in printable ASCII: anything else is not asked, nor
// shown. OCSP and CRLs are signed and published over http; https would need
// TLS on Linux, and an address one edition asks and the other does not would
// give a report two verdicts.
bool IsHttp(const std::string& url) {
    for (const char c : url)
        if (c < 0x21 || c > 0x7e)
            return false;
    return url.rfind("http://", 0) == 0;
}

} // namespace

StatusSources StatusSourcesOf(const Bytes& certificate) {
    StatusSources sources;
    const UniqueX509 parsed = ParseCertificate(certificate);
    if (!parsed)
        return sources;
    if (const UniqueStrings ocsp{X509_get1_ocsp(parsed.get())}; ocsp)
        for (int i = 0; i < sk_OPENSSL_STRING_num(ocsp.get()); ++i)
            if (const std::string url = sk_OPENSSL_STRING_value(ocsp.get(), i); IsHttp(url))
                sources.ocsp.push_back(url);
    const UniqueDistPoints points{static_cast<STACK_OF(DIST_POINT)*>(
        X509_get_ext_d2i(parsed.get(), NID_crl_distribution_points, nullptr, nullptr))};
    for (int i = 0; points && i < sk_DIST_POINT_num(points.get()); ++i) {
        const DIST_POINT* point = sk_DIST_POINT_value(points.get(), i);
        if (point->distpoint == nullptr || point->distpoint->type != 0)
            continue; // a name relative to the issuer's names no URL
        const GENERAL_NAMES* names = point->distpoint->name.fullname;
        for (int j = 0; j < sk_GENERAL_NAME_num(names); ++j) {
            const GENERAL_NAME* name = sk_GENERAL_NAME_value(names, j);
            if (name->type != GEN_URI)
                continue;
            const ASN1_IA5STRING* uri = name->d.uniformResourceIdentifier;
            const std::string url(reinterpret_cast<const char*>(ASN1_STRING_get0_data(uri)),
                                  static_cast<std::size_t>(ASN1_STRING_length(uri)));
            if (IsHttp(url))
                sources.crl.push_back(url);
        }
    }
    return sources;
}

Bytes OcspRequestFor(const Bytes& certificate, const Bytes& issuer) {
    const UniqueX509 subject = ParseCertificate(certificate);
    const UniqueX509 authority = ParseCertificate(issuer);
    if (!subject || !authority)
        return {};
    UniqueRequest request(OCSP_REQUEST_new());
    OCSP_CERTID* id = OCSP_cert_to_id(EVP_sha1(), subject.get(), authority.get());
    if (!request || id == nullptr || OCSP_request_add0_id(request.get(), id) == nullptr) {
        OCSP_CERTID_free(id);
        return {};
    }
    unsigned char* der = nullptr;
    const int length = i2d_OCSP_REQUEST(request.get(), &der);
    if (length <= 0)
        return {};
    Bytes out(der, der + length);
    OPENSSL_free(der);
    return out;
}

} // namespace tolv::validation::detail
