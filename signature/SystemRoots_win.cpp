// The system's roots on Windows: the certificates of the ROOT stores, read
// into OpenSSL once per process. Chains are built by OpenSSL as on Linux; the
// system supplies only which roots it trusts.

#include "signature/SystemRoots.h"

#include "signature/OpenSsl.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
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

// The DER of every certificate in the named store at every location, sorted.
std::vector<Bytes> StoreCertificates(const wchar_t* name) {
    std::vector<Bytes> found;
    for (const DWORD location : kLocations) {
        HCERTSTORE store = CertOpenStore(
            CERT_STORE_PROV_SYSTEM_W, 0, 0,
            location | CERT_STORE_READONLY_FLAG | CERT_STORE_OPEN_EXISTING_FLAG, name);
        if (store == nullptr)
            continue;
        for (PCCERT_CONTEXT certificate = CertEnumCertificatesInStore(store, nullptr);
             certificate != nullptr; certificate = CertEnumCertificatesInStore(store, certificate))
            found.emplace_back(certificate->pbCertEncoded,
                               certificate->pbCertEncoded + certificate->cbCertEncoded);
        CertCloseStore(store, 0);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

// The trusted roots less those the administrator put among the disallowed.
std::vector<Bytes> TrustedRoots() {
    const std::vector<Bytes> disallowed = DistrustedCertificates();
    std::vector<Bytes> roots = StoreCertificates(L"ROOT");
    std::erase_if(roots, [&](const Bytes& der) {
        return std::binary_search(disallowed.begin(), disallowed.end(), der);
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
