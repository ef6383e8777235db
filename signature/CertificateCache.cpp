#include "signature/CertificateCache.h"

#include <array>
#include <cstring>
#include <vector>

namespace tolv::signature {
namespace {

// A few dozen: the certificates of one report and an archive's usual signers.
constexpr std::size_t kKept = 32;

struct Kept {
    std::vector<std::uint8_t> der;
    X509* certificate = nullptr;
};

struct Cache {
    std::array<Kept, kKept> entries;
    std::size_t next = 0; // the one replaced next, round robin
    ~Cache() {
        for (Kept& kept : entries)
            X509_free(kept.certificate);
    }
};

} // namespace

X509* ParseSharedCertificate(std::span<const std::uint8_t> der) {
    thread_local Cache cache;
    for (Kept& kept : cache.entries)
        if (kept.certificate != nullptr && kept.der.size() == der.size() &&
            std::memcmp(kept.der.data(), der.data(), der.size()) == 0) {
            X509_up_ref(kept.certificate);
            return kept.certificate;
        }
    const unsigned char* at = der.data();
    X509* parsed = d2i_X509(nullptr, &at, static_cast<long>(der.size()));
    if (parsed == nullptr)
        return nullptr;
    Kept& slot = cache.entries[cache.next];
    cache.next = (cache.next + 1) % kKept;
    X509_free(slot.certificate);
    slot.der.assign(der.begin(), der.end());
    slot.certificate = parsed;
    X509_up_ref(parsed);
    return parsed;
}

} // namespace tolv::signature
