#pragma once
// Owners of crypt32 handles for the validation layer (the shape of the
// project's UniqueAny, which a layer below the Windows edition may not
// include), and the state an Anchors keeps on Windows.

#include "signature/UniqueHandle.h"
#include "validation/Anchors.h"

#include <windows.h>

#include <wincrypt.h>

#include <cstddef>
#include <utility>

namespace tolv::validation {
namespace detail {

using signature::Unique;

inline void CloseStore(HCERTSTORE store) noexcept {
    CertCloseStore(store, 0);
}
inline void FreeLocal(void* memory) noexcept {
    LocalFree(memory);
}
using UniqueStore = Unique<HCERTSTORE, CloseStore>;
using UniqueCertificate = Unique<PCCERT_CONTEXT, CertFreeCertificateContext>;
using UniqueChain = Unique<PCCERT_CHAIN_CONTEXT, CertFreeCertificateChain>;
using UniqueChainEngine = Unique<HCERTCHAINENGINE, CertFreeCertificateChainEngine>;
using UniqueLocal = Unique<void*, FreeLocal>;

inline UniqueCertificate ParseCertificate(const Bytes& der) {
    return UniqueCertificate(CertCreateCertificateContext(X509_ASN_ENCODING, der.data(),
                                                          static_cast<DWORD>(der.size())));
}

inline UniqueStore NewMemoryStore() {
    return UniqueStore(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
}

} // namespace detail

struct Anchors::Platform {
    detail::UniqueStore added = detail::NewMemoryStore(); // the added anchors
    std::size_t addedInStore = 0;                         // how many of Added() it holds
    // An engine of this Anchors' own: with the system's roots (read when it is
    // made), or with an empty set of roots when they take no part.
    detail::UniqueStore noRoots;
    detail::UniqueChainEngine engine;
};

} // namespace tolv::validation
