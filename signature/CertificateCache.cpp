#include "signature/CertificateCache.h"

#include <array>
#include <cstring>
#include <mutex>
#include <vector>

namespace tolv::signature {
namespace {

// A few dozen: the certificates of one report and an archive's usual signers.
constexpr std::size_t kKept = 32;

struct Kept {
    std::vector<std::uint8_t> der;
    X509* certificate = nullptr;
};

// One for the whole process and never destroyed: a thread-local cache was
// freed as its thread ended, which MinGW's thread-local storage does after
// releasing the storage itself, and a worker may still use it while the
// program ends. OpenSSL counts the references of a certificate atomically
// and guards its lazily filled fields, so threads may share them.
struct Cache {
    std::mutex lock;
    std::array<Kept, kKept> entries;
    std::size_t next = 0; // the one replaced next, round robin
};

Cache& TheCache() {
    static Cache* const cache = new Cache;
    return *cache;
}

X509* Find(Cache& cache, std::span<const std::uint8_t> der) {
    for (Kept& kept : cache.entries)
        if (kept.certificate != nullptr && kept.der.size() == der.size() &&
            std::memcmp(kept.der.data(), der.data(), der.size()) == 0) {
            X509_up_ref(kept.certificate);
            return kept.certificate;
        }
    return nullptr;
}

} // namespace

X509* ParseSharedCertificate(std::span<const std::uint8_t> der) {
    Cache& cache = TheCache();
    {
        std::lock_guard<std::mutex> hold(cache.lock);
        if (X509* known = Find(cache, der))
            return known;
    }
    // Parsed outside the lock, so that the threads of an archive run parse
    // side by side; one that lost the race takes the winner's.
    const unsigned char* at = der.data();
    X509* parsed = d2i_X509(nullptr, &at, static_cast<long>(der.size()));
    if (parsed == nullptr)
        return nullptr;
    std::vector<std::uint8_t> copy(der.begin(), der.end());
    X509* replaced = nullptr;
    {
        std::lock_guard<std::mutex> hold(cache.lock);
        if (X509* known = Find(cache, der)) {
            replaced = parsed;
            parsed = known;
        } else {
            Kept& slot = cache.entries[cache.next];
            cache.next = (cache.next + 1) % kKept;
            replaced = slot.certificate;
            slot.der.swap(copy);
            slot.certificate = parsed;
            X509_up_ref(parsed);
        }
    }
    X509_free(replaced);
    return parsed;
}

} // namespace tolv::signature
