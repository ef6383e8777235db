#pragma once
// OpenSSL for the validation layer: the signature layer's owners, and the
// state an Anchors keeps.

#include "signature/OpenSsl.h"
#include "validation/Anchors.h"

#include <cstddef>
#include <vector>

namespace tolv::validation {
namespace detail {

using signature::openssl::Der;
using signature::openssl::Owner;
using signature::openssl::ParseCertificate;
using signature::openssl::Seconds;
using signature::openssl::StackOf;
using signature::openssl::UniqueBio;
using signature::openssl::UniqueCertificates;
using signature::openssl::UniqueStore;
using signature::openssl::UniqueStoreCtx;
using signature::openssl::UniqueX509;

} // namespace detail

struct Anchors::Platform {
    // The system's anchors once loaded, and the added ones.
    detail::UniqueStore store = signature::openssl::NewStore();
    bool systemLoaded = false;
    std::size_t addedInStore = 0; // how many of Added() the store holds
    // An added anchor that is not self-signed ends a chain only as a partial one.
    bool partialChain = false;
    // What the system distrusts outright, sorted: no chain may pass through it.
    std::vector<Bytes> distrusted;
};

} // namespace tolv::validation
