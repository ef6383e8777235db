#include "tests/signature/TestPlatform.h"

#include <windows.h>

#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace tolv::signature::testing {
namespace {

std::vector<BYTE> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

HCERTSTORE OpenUserStore(bool distrusted) {
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                         distrusted ? L"Disallowed" : L"ROOT");
}

// What "Enable only the following purposes" in the certificate's properties
// stores; no purpose at all is "Disable all purposes".
bool NarrowPurposes(PCCERT_CONTEXT certificate, const std::vector<const char*>& purposes) {
    std::vector<LPSTR> identifiers;
    for (const char* purpose : purposes)
        identifiers.push_back(const_cast<LPSTR>(purpose));
    CERT_ENHKEY_USAGE usage{static_cast<DWORD>(identifiers.size()), identifiers.data()};
    BYTE encoded[512];
    DWORD size = sizeof(encoded);
    if (!CryptEncodeObject(X509_ASN_ENCODING, X509_ENHANCED_KEY_USAGE, &usage, encoded, &size))
        return false;
    CRYPT_DATA_BLOB blob{size, encoded};
    return CertSetCertificateContextProperty(certificate, CERT_ENHKEY_USAGE_PROP_ID, 0, &blob);
}

} // namespace

// On Windows itself adding to the user's roots asks the user first; Wine does
// not ask.
TrustedRoot::TrustedRoot(const std::filesystem::path&, const std::filesystem::path& der,
                         bool distrusted, std::optional<std::vector<const char*>> purposes)
    : der_(der), distrusted_(distrusted) {
    const std::vector<BYTE> bytes = ReadAll(der);
    HCERTSTORE store = OpenUserStore(distrusted);
    if (!store) {
        failure_ = "the user's ROOT store does not open: " + std::to_string(GetLastError());
        return;
    }
    PCCERT_CONTEXT added = nullptr;
    if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, bytes.data(),
                                          static_cast<DWORD>(bytes.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, &added))
        failure_ =
            "the root is not added to the user's ROOT store: " + std::to_string(GetLastError());
    if (added && purposes && !NarrowPurposes(added, *purposes))
        failure_ = "the root's purposes are not set: " + std::to_string(GetLastError());
    if (added)
        CertFreeCertificateContext(added);
    CertCloseStore(store, 0);
}

TrustedRoot::~TrustedRoot() {
    const std::vector<BYTE> bytes = ReadAll(der_);
    PCCERT_CONTEXT root = CertCreateCertificateContext(X509_ASN_ENCODING, bytes.data(),
                                                       static_cast<DWORD>(bytes.size()));
    HCERTSTORE store = OpenUserStore(distrusted_);
    if (root && store) {
        if (PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                              CERT_FIND_EXISTING, root, nullptr))
            CertDeleteCertificateFromStore(found); // frees found
        // Wine writes a deletion only when told to or when the store closes.
        CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
    if (store)
        CertCloseStore(store, 0);
    if (root)
        CertFreeCertificateContext(root);
}

} // namespace tolv::signature::testing
