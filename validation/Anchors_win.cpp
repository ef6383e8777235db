// Anchors on Windows: a chain engine with the machine's trusted roots (the
// ROOT system store) and a memory store of the added anchors.

#include "validation/AnchorFiles.h"
#include "validation/Crypt32_win.h"

#include <mutex>
#include <string_view>

namespace tolv::validation {
namespace {

// Guards the lazy state of every Anchors: it is made under a const method,
// perhaps from several threads checking reports with one Anchors.
std::mutex lazyState;

// The DER of a certificate given in Base64 with its PEM lines; empty when it is
// none.
Bytes FromPem(std::string_view block) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
        return {};
    Bytes der(size);
    if (!CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                              CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
        return {};
    der.resize(size);
    return detail::ParseCertificate(der) ? der : Bytes{};
}

} // namespace

namespace detail {

std::vector<Bytes> CertificatesIn(const Bytes& contents) {
    constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
    constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
    const std::string_view text(reinterpret_cast<const char*>(contents.data()), contents.size());
    std::vector<Bytes> certificates;
    // crypt32 decodes one PEM block at a time: hand it each.
    for (std::size_t begin = text.find(kBegin); begin != std::string_view::npos;
         begin = text.find(kBegin, begin + kBegin.size())) {
        const std::size_t end = text.find(kEnd, begin);
        if (end == std::string_view::npos)
            break;
        Bytes der = FromPem(text.substr(begin, end + kEnd.size() - begin));
        if (!der.empty())
            certificates.push_back(std::move(der));
    }
    if (certificates.empty() && ParseCertificate(contents))
        certificates.push_back(contents);
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
    if (!platform.engine) {
        // The size before the exclusive roots: Wine 8 refuses the newer one.
        CERT_CHAIN_ENGINE_CONFIG config{};
        config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, hExclusiveRoot);
        if (!withSystem_) {
            platform.noRoots = detail::NewMemoryStore();
            config.hRestrictedRoot = platform.noRoots.get();
        }
        CertCreateCertificateChainEngine(&config, platform.engine.put());
    }
    // Anchors added since the last chain.
    for (; platform.addedInStore < added_.size(); ++platform.addedInStore) {
        const Bytes& der = added_[platform.addedInStore];
        CertAddEncodedCertificateToStore(platform.added.get(), X509_ASN_ENCODING, der.data(),
                                         static_cast<DWORD>(der.size()),
                                         CERT_STORE_ADD_USE_EXISTING, nullptr);
    }
    return platform;
}

} // namespace tolv::validation
