// Anchors: the files an institution adds, read with OpenSSL's PEM and DER
// decoders, and one OpenSSL store with the system's roots and the added ones.

#include "validation/Anchors.h"

#include "signature/SystemRoots.h"
#include "validation/OpenSsl.h"

#include <openssl/pem.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <system_error>

namespace tolv::validation {
namespace {

namespace fs = std::filesystem;

// A certificate bundle is a few hundred kilobytes; anything this large is not one.
constexpr std::uintmax_t kMaxAnchorFile = 16u << 20;

std::string Shown(const fs::path& path) {
    const std::u8string text = path.u8string();
    return "“" + std::string(text.begin(), text.end()) + "”";
}

std::optional<Bytes> ReadFile(const fs::path& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kMaxAnchorFile)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    Bytes contents(std::istreambuf_iterator<char>(in), {});
    if (in.bad())
        return std::nullopt;
    return contents;
}

// The certificates of a file's contents: every certificate of a PEM text, or
// the one certificate of DER; none when it holds neither.
std::vector<Bytes> CertificatesIn(const Bytes& contents) {
    std::vector<Bytes> certificates;
    detail::UniqueBio pem(BIO_new_mem_buf(contents.data(), static_cast<int>(contents.size())));
    while (pem) {
        detail::UniqueX509 certificate(PEM_read_bio_X509(pem.get(), nullptr, nullptr, nullptr));
        if (!certificate)
            break;
        certificates.push_back(detail::Der(certificate.get()));
    }
    if (!certificates.empty())
        return certificates;
    // DER: one certificate that is the whole file.
    const unsigned char* at = contents.data();
    detail::UniqueX509 certificate(d2i_X509(nullptr, &at, static_cast<long>(contents.size())));
    if (certificate && at == contents.data() + contents.size())
        certificates.push_back(detail::Der(certificate.get()));
    return certificates;
}

// Guards the lazy state of every Anchors: it is made under a const method,
// perhaps from several threads checking reports with one Anchors.
std::mutex lazyState;

} // namespace

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
        platform.distrusted = signature::DistrustedCertificates();
        platform.systemLoaded = true;
    }
    // Anchors added since the last chain.
    for (; platform.addedInStore < added_.size(); ++platform.addedInStore) {
        const detail::UniqueX509 anchor = detail::ParseCertificate(added_[platform.addedInStore]);
        if (!anchor)
            continue;
        X509_STORE_add_cert(platform.store.get(), anchor.get());
        if (X509_self_signed(anchor.get(), 0) != 1)
            platform.partialChain = true;
    }
    return platform;
}

std::string Anchors::Add(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status))
        return Shown(path) + " bulunamadı";
    if (fs::is_directory(status)) {
        fs::directory_iterator entries(path, error);
        if (error)
            return Shown(path) + " klasörü okunamadı";
        // Sorted, so that the anchors come in the same order on every system.
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : entries)
            if (entry.is_regular_file(error))
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files)
            if (const auto contents = ReadFile(file))
                for (Bytes& certificate : CertificatesIn(*contents))
                    added_.push_back(std::move(certificate));
        return {};
    }
    const auto contents = ReadFile(path);
    if (!contents)
        return Shown(path) + " okunamadı";
    std::vector<Bytes> certificates = CertificatesIn(*contents);
    if (certificates.empty())
        return Shown(path) + " içinde sertifika yok";
    for (Bytes& certificate : certificates)
        added_.push_back(std::move(certificate));
    return {};
}

} // namespace tolv::validation
