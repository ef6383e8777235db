#pragma once
// Owners of OpenSSL objects for the validation layer, and the state an Anchors
// keeps on Linux.

#include "signature/CertificateCache_posix.h"
#include "validation/Anchors.h"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <cstddef>
#include <memory>

namespace tolv::validation {
namespace detail {

template <class T, auto Free> struct Freer {
    void operator()(T* object) const noexcept { Free(object); }
};
template <class T, auto Free> using Owner = std::unique_ptr<T, Freer<T, Free>>;

using UniqueX509 = Owner<X509, X509_free>;
using UniqueStore = Owner<X509_STORE, X509_STORE_free>;

inline Bytes Der(X509* certificate) {
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    Bytes bytes(der, der + (length > 0 ? length : 0));
    OPENSSL_free(der);
    return bytes;
}

inline UniqueX509 ParseCertificate(const Bytes& der) {
    return UniqueX509(signature::ParseSharedCertificate(der));
}

} // namespace detail

struct Anchors::Platform {
    // The system's anchors once loaded, and the added ones.
    detail::UniqueStore store{X509_STORE_new()};
    bool systemLoaded = false;
    std::size_t addedInStore = 0; // how many of Added() the store holds
    // An added anchor that is not self-signed ends a chain only as a partial one.
    bool partialChain = false;
};

} // namespace tolv::validation
