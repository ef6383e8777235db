// The system's roots on Windows: the certificates of the ROOT stores, read
// into OpenSSL once per process. Chains are built by OpenSSL as on Linux; the
// system supplies only which roots it trusts.

#include "signature/SystemRoots.h"

#include "signature/OpenSsl.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace tolv::signature {
namespace {

// The user's logical store takes in the machine's, but Group Policy and the
// enterprise's are asked for by name as well, so that a root an administrator
// deployed is seen whatever the user's store is made of.
constexpr DWORD kLocations[] = {
    CERT_SYSTEM_STORE_CURRENT_USER,
    CERT_SYSTEM_STORE_CURRENT_USER_GROUP_POLICY,
    CERT_SYSTEM_STORE_LOCAL_MACHINE,
    CERT_SYSTEM_STORE_LOCAL_MACHINE_GROUP_POLICY,
    CERT_SYSTEM_STORE_LOCAL_MACHINE_ENTERPRISE,
};

// What a root may vouch for here: a signer, a time-stamping authority, a
// revocation responder. An administrator can narrow a root's purposes in its
// properties ("Enable only the following purposes", or "Disable all
// purposes"); a root narrowed to none of these vouches for no report.
constexpr const char* kAnyPurpose = "2.5.29.37.0";
constexpr const char* kSigningPurposes[] = {
    kAnyPurpose,
    "1.3.6.1.5.5.7.3.4",       // secure e-mail: signed messages
    "1.3.6.1.5.5.7.3.8",       // time stamping
    "1.3.6.1.5.5.7.3.9",       // OCSP signing
    "1.3.6.1.4.1.311.10.3.12", // document signing
    "1.2.840.113583.1.1.5",    // authentic documents (PDF signatures)
};

// The purposes a property of the certificate lists: nullopt where it has no
// such property, none where it cannot be read.
std::optional<std::vector<std::string>> PurposesIn(PCCERT_CONTEXT certificate, DWORD property) {
    DWORD size = 0;
    if (!CertGetCertificateContextProperty(certificate, property, nullptr, &size))
        return GetLastError() == static_cast<DWORD>(CRYPT_E_NOT_FOUND)
                   ? std::nullopt
                   : std::optional<std::vector<std::string>>(std::in_place);
    std::vector<BYTE> encoded(size);
    CERT_ENHKEY_USAGE* usage = nullptr;
    DWORD usageSize = 0;
    std::vector<std::string> purposes;
    if (CertGetCertificateContextProperty(certificate, property, encoded.data(), &size) &&
        CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ENHANCED_KEY_USAGE, encoded.data(), size,
                            CRYPT_DECODE_ALLOC_FLAG, nullptr, &usage, &usageSize)) {
        purposes.assign(usage->rgpszUsageIdentifier,
                        usage->rgpszUsageIdentifier + usage->cUsageIdentifier);
        LocalFree(usage);
    }
    return purposes;
}

// Whether the certificate's properties leave it one of the purposes above:
// those it is enabled for (all, without that property), less those it is
// disallowed for.
bool KeepsASigningPurpose(PCCERT_CONTEXT certificate) {
    const auto enabled = PurposesIn(certificate, CERT_ENHKEY_USAGE_PROP_ID);
    const auto disallowed = PurposesIn(certificate, CERT_DISALLOWED_ENHKEY_USAGE_PROP_ID)
                                .value_or(std::vector<std::string>{});
    const auto lists = [](const std::vector<std::string>& purposes, const char* purpose) {
        return std::find(purposes.begin(), purposes.end(), purpose) != purposes.end();
    };
    return std::any_of(
        std::begin(kSigningPurposes), std::end(kSigningPurposes), [&](const char* purpose) {
            return (!enabled || lists(*enabled, purpose) || lists(*enabled, kAnyPurpose)) &&
                   !lists(disallowed, purpose);
        });
}

// The DER of every certificate in the named store at every location, sorted;
// those narrowed to other purposes go to narrowed instead, where given.
std::vector<Bytes> StoreCertificates(const wchar_t* name, std::vector<Bytes>* narrowed = nullptr) {
    std::vector<Bytes> found;
    for (const DWORD location : kLocations) {
        HCERTSTORE store = CertOpenStore(
            CERT_STORE_PROV_SYSTEM_W, 0, 0,
            location | CERT_STORE_READONLY_FLAG | CERT_STORE_OPEN_EXISTING_FLAG, name);
        if (store == nullptr)
            continue;
        for (PCCERT_CONTEXT certificate = CertEnumCertificatesInStore(store, nullptr);
             certificate != nullptr; certificate = CertEnumCertificatesInStore(store, certificate))
            (narrowed != nullptr && !KeepsASigningPurpose(certificate) ? *narrowed : found)
                .emplace_back(certificate->pbCertEncoded,
                              certificate->pbCertEncoded + certificate->cbCertEncoded);
        CertCloseStore(store, 0);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

// The trusted roots less those the administrator put among the disallowed
// or narrowed to other purposes, in any of the stores.
std::vector<Bytes> TrustedRoots() {
    std::vector<Bytes> excluded = DistrustedCertificates();
    std::vector<Bytes> roots = StoreCertificates(L"ROOT", &excluded);
    std::sort(excluded.begin(), excluded.end());
    std::erase_if(roots, [&](const Bytes& der) {
        return std::binary_search(excluded.begin(), excluded.end(), der);
    });
    return roots;
}

} // namespace

std::vector<Bytes> DistrustedCertificates() {
    return StoreCertificates(L"Disallowed"); // sorted
}

bool AddSystemRoots(X509_STORE* store) {
    const std::vector<Bytes> roots = TrustedRoots();
    for (const Bytes& der : roots) {
        // Not through the certificate cache: a few hundred roots would push
        // out the report's own certificates.
        const unsigned char* at = der.data();
        if (const openssl::UniqueX509 root{d2i_X509(nullptr, &at, static_cast<long>(der.size()))})
            X509_STORE_add_cert(store, root.get());
    }
    return !roots.empty();
}

} // namespace tolv::signature
