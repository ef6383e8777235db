#pragma once
// Owners of OpenSSL objects and the few conversions every part that reads
// certificates, time-stamps or revocation data shares.

#include "signature/CertificateCache.h"
#include "signature/Crypto.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace tolv::signature::openssl {

template <class T, auto Free> struct Freer {
    void operator()(T* object) const noexcept { Free(object); }
};
template <class T, auto Free> using Owner = std::unique_ptr<T, Freer<T, Free>>;

inline void FreeCertificates(STACK_OF(X509) * stack) noexcept {
    sk_X509_pop_free(stack, X509_free);
}
inline void FreeText(unsigned char* text) noexcept {
    OPENSSL_free(text);
}

using UniqueX509 = Owner<X509, X509_free>;
using UniqueStore = Owner<X509_STORE, X509_STORE_free>;
using UniqueStoreCtx = Owner<X509_STORE_CTX, X509_STORE_CTX_free>;
using UniqueCertificates = Owner<STACK_OF(X509), FreeCertificates>;
using UniqueBio = Owner<BIO, BIO_free>;
using UniqueText = Owner<unsigned char, FreeText>;

// The DER of certificate; empty when it cannot be written.
Bytes Der(X509* certificate);

// The certificate der holds, shared with earlier parses of the same bytes.
inline UniqueX509 ParseCertificate(std::span<const std::uint8_t> der) {
    return UniqueX509(ParseSharedCertificate(der));
}

// Seconds since 1970-01-01 UTC; nullopt for a time OpenSSL cannot read.
std::optional<std::int64_t> Seconds(const ASN1_TIME* time);

// A stack of the certificates that parse, in the order given.
UniqueCertificates StackOf(const std::vector<Bytes>& certificates);

// A store with nothing in it: certificates are judged against what is
// added, never against the configuration of the machine OpenSSL was built on.
UniqueStore NewStore();

} // namespace tolv::signature::openssl
