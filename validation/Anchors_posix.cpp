// Anchors on Linux: an X509_STORE with OpenSSL's default paths (Debian's
// ca-certificates) and the added anchors.

#include "validation/AnchorFiles.h"
#include "signature/SystemRoots_posix.h"
#include "validation/OpenSsl_posix.h"

#include <openssl/bio.h>
#include <openssl/pem.h>

#include <mutex>

namespace tolv::validation {
namespace {

using detail::Owner;
using detail::UniqueX509;
using UniqueBio = Owner<BIO, BIO_free>;

// Guards the lazy state of every Anchors: it is made under a const method,
// perhaps from several threads checking reports with one Anchors.
std::mutex lazyState;


} // namespace

namespace detail {

std::vector<Bytes> CertificatesIn(const Bytes& contents) {
    std::vector<Bytes> certificates;
    UniqueBio pem(BIO_new_mem_buf(contents.data(), static_cast<int>(contents.size())));
    while (pem) {
        UniqueX509 certificate(PEM_read_bio_X509(pem.get(), nullptr, nullptr, nullptr));
        if (!certificate)
            break;
        certificates.push_back(Der(certificate.get()));
    }
    if (!certificates.empty())
        return certificates;
    // DER: one certificate that is the whole file.
    const unsigned char* at = contents.data();
    UniqueX509 certificate(d2i_X509(nullptr, &at, static_cast<long>(contents.size())));
    if (certificate && at == contents.data() + contents.size())
        certificates.push_back(Der(certificate.get()));
    return certificates;
}

} // namespace detail

Anchors::Anchors(bool withSystem) : withSystem_(withSystem) {}
Anchors::~Anchors() = default;
Anchors::Anchors(Anchors&&) noexcept = default;
Anchors& Anchors::operator=(Anchors&&) noexcept = default;

Anchors::Platform& Anchors::PlatformState() const {
    std::lock_guard lock(lazyState);
    if (!platform_)
        platform_ = std::make_unique<Platform>();
    Platform& platform = *platform_;
    if (withSystem_ && !platform.systemLoaded) {
        signature::AddSystemRoots(platform.store.get());
        platform.systemLoaded = true;
    }
    // Anchors added since the last chain.
    for (; platform.addedInStore < added_.size(); ++platform.addedInStore) {
        const UniqueX509 anchor = detail::ParseCertificate(added_[platform.addedInStore]);
        if (!anchor)
            continue;
        X509_STORE_add_cert(platform.store.get(), anchor.get());
        if (X509_self_signed(anchor.get(), 0) != 1)
            platform.partialChain = true;
    }
    return platform;
}

} // namespace tolv::validation
