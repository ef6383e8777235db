#include "validation/OnlineRevocation.h"

#include "validation/ChainOutcome.h"
#include "validation/OnlineFetch.h"

#include <algorithm>
#include <exception>

#include <fstream>
#include <optional>
#include <random>
#include <iterator>
#include <system_error>

namespace tolv::validation {
namespace {

using Clock = std::chrono::steady_clock;

// A few sources are tried at most: a certificate naming more is no reason to
// wait longer.
constexpr std::size_t kMaxSourcesOfAKind = 2;

// The cache keeps each answer under a digest of what was asked, with the
// time it is good until and the time it was fetched in front: 8 bytes each,
// most significant first.
std::filesystem::path CacheFile(const OnlineOptions& options, const std::string& url,
                                const Bytes& request) {
    if (options.cacheFolder.empty())
        return {};
    auto hasher = signature::NewHasher(signature::HashAlgorithm::Sha256);
    hasher->Update(url.data(), url.size() + 1); // with its terminating zero
    hasher->Update(request.data(), request.size());
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string name;
    for (std::uint8_t byte : hasher->Finish()) {
        name += kDigits[byte >> 4];
        name += kDigits[byte & 15];
    }
    return options.cacheFolder / (name + ".der");
}

constexpr std::size_t kHeader = 16;

std::int64_t ReadTime(const Bytes& content, std::size_t at) {
    std::int64_t time = 0;
    for (std::size_t i = at; i < at + 8; ++i)
        time = (time << 8) | content[i];
    return time;
}

struct Cached {
    Bytes answer;
    std::int64_t fetchedAt = 0;
};

std::optional<Cached> FromCache(const std::filesystem::path& file, std::int64_t now) {
    if (file.empty())
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    Bytes content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (content.size() <= kHeader || ReadTime(content, 0) <= now || ReadTime(content, 8) > now)
        return std::nullopt;
    return Cached{Bytes(content.begin() + kHeader, content.end()), ReadTime(content, 8)};
}

// Folders only the user may enter: whose certificates were asked about is
// nobody else's business. Missing ones are made so, and the cache's own folder
// is made so where an earlier version left it open. False when it cannot be.
bool MakePrivateFolders(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!folder.is_absolute() || (!fs::is_directory(folder.parent_path(), error) &&
                                  !MakePrivateFolders(folder.parent_path())))
        return false;
    fs::create_directory(folder, error);
    if (!error)
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
    return !error;
}

// Kept only when it decided something and says when it is due again.
void ToCache(const std::filesystem::path& file, const Bytes& answer, std::int64_t until,
             std::int64_t now) {
    if (file.empty() || until <= now || !MakePrivateFolders(file.parent_path()))
        return;
    std::error_code error;
    // A name of its own: other processes and threads may be writing the same
    // answer; the one renamed last stays, whole.
    const std::filesystem::path partial =
        file.string() + "." + std::to_string(std::random_device{}()) + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        // The user's alone before anything is in it (the folder keeps others
        // out meanwhile).
        std::filesystem::permissions(
            partial, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
            std::filesystem::perm_options::replace, error);
        if (error)
            out.setstate(std::ios::failbit);
        for (const std::int64_t time : {until, now})
            for (int shift = 56; shift >= 0; shift -= 8)
                out.put(static_cast<char>((time >> shift) & 0xff));
        out.write(reinterpret_cast<const char*>(answer.data()),
                  static_cast<std::streamsize>(answer.size()));
        if (!out) {
            out.close();
            std::filesystem::remove(partial, error);
            return;
        }
    }
    std::filesystem::rename(partial, file, error);
    if (error)
        std::filesystem::remove(partial, error);
}

// Asks for the certificates of one chain, one at a time, within one deadline.
class Asking {
public:
    Asking(const signature::SignatureReport& report, const ValidationReport& first,
           const OnlineOptions& options, std::int64_t now)
        : others_(OtherCertificates(report)), options_(options), now_(now),
          deadline_(Clock::now() + options.inAll) {
        fetched_.askedAt = now;
        fetched_.path.resize(first.chain.chain.size() - 1);
        if (first.timeStamp && first.timeStamp->valid)
            provenTime_ = first.timeStamp->time;
    }

    // Asks certificate's OCSP responders, then its CRL distribution points,
    // until one answer decides; what came is kept as the index'th of the path.
    void AskFor(const Bytes& certificate, const Bytes& issuer, std::size_t index) {
        const detail::StatusSources sources = detail::StatusSourcesOf(certificate);
        if (sources.ocsp.empty() && sources.crl.empty()) {
            Fail("“" + detail::NameOf(certificate) +
                 "” sertifikası, durumunun sorulacağı bir adres bildirmiyor");
            return;
        }
        Pair pair{certificate, issuer, fetched_.path[index]};
        if (!Ask(pair, sources.ocsp, true))
            Ask(pair, sources.crl, false);
    }

    FetchedRevocation Result() { return std::move(fetched_); }

private:
    struct Pair {
        const Bytes& certificate;
        const Bytes& issuer;
        RevocationData& answers;
    };

    void Fail(const std::string& why) {
        if (fetched_.failure.empty())
            fetched_.failure = "çevrimiçi sorulamadı: " + why;
    }

    // Whether an answer from urls decided.
    bool Ask(Pair& pair, const std::vector<std::string>& urls, bool ocsp) {
        const Bytes request =
            ocsp ? detail::OcspRequestFor(pair.certificate, pair.issuer) : Bytes{};
        if (ocsp && request.empty()) {
            Fail("OCSP isteği oluşturulamadı");
            return false;
        }
        for (std::size_t i = 0; i < urls.size() && i < kMaxSourcesOfAKind; ++i)
            if (AskOne(pair, urls[i], request, ocsp))
                return true;
        return false;
    }

    bool Decides(const Pair& pair, const Bytes& answer, bool ocsp,
                 RevocationFacts* facts = nullptr) {
        const RevocationFacts judged = JudgeFetched(pair.certificate, pair.issuer,
                                                    One(answer, ocsp), others_, provenTime_, now_);
        if (facts != nullptr)
            *facts = judged;
        return judged.status == Revocation::Good || judged.status == Revocation::Revoked;
    }

    bool AskOne(Pair& pair, const std::string& url, const Bytes& request, bool ocsp) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        const std::filesystem::path cache = CacheFile(options_, url, request);
        std::optional<Bytes> answer;
        std::int64_t fetchedAt = now_;
        // Kept only while it decides under today's rules: else asked anew.
        if (std::optional<Cached> kept = FromCache(cache, now_);
            kept && Decides(pair, kept->answer, ocsp)) {
            answer = std::move(kept->answer);
            fetchedAt = kept->fetchedAt;
        }
        const bool cached = answer.has_value();
        if (!answer) {
            if (left.count() <= 0) {
                Fail("süre doldu");
                return false;
            }
            const detail::HttpAnswer http =
                detail::HttpExchange(url, request, ocsp ? "application/ocsp-request" : nullptr,
                                     std::min(options_.perRequest, left));
            if (!http.ok) {
                Fail(url + ": " + http.error);
                return false;
            }
            answer = http.body;
        }
        // Judged as Validate will judge it, to know whether to ask further.
        RevocationFacts facts;
        const bool decided = Decides(pair, *answer, ocsp, &facts);
        (ocsp ? pair.answers.ocspResponses : pair.answers.crls).push_back(*answer);
        if (decided) {
            // The oldest fetch among those that decided is the one shown.
            fetched_.askedAt = std::min(fetched_.askedAt, fetchedAt);
            if (!cached)
                ToCache(cache, *answer, facts.nextUpdate, now_);
        }
        return decided;
    }

    static RevocationData One(const Bytes& answer, bool ocsp) {
        RevocationData one;
        (ocsp ? one.ocspResponses : one.crls).push_back(answer);
        return one;
    }

    const std::vector<Bytes> others_;
    const OnlineOptions& options_;
    const std::int64_t now_;
    const Clock::time_point deadline_;
    std::optional<std::int64_t> provenTime_;
    FetchedRevocation fetched_;
};

bool Unsettled(const RevocationFacts& facts) {
    return facts.status == Revocation::None || facts.status == Revocation::Unknown;
}

} // namespace

bool WantsOnlineRevocation(const ValidationReport& validation) {
    // TRY_LATER: nothing else kept the signature from being valid (an altered
    // report, say, is not worth asking about).
    if (validation.conclusion.sub != SubIndication::TryLater ||
        validation.chain.outcome != ChainFacts::Outcome::Found || validation.chain.chain.size() < 2)
        return false;
    return Unsettled(validation.revocation) ||
           std::any_of(validation.caRevocation.begin(), validation.caRevocation.end(), Unsettled);
}

ValidationReport ValidateOnline(const signature::SignatureReport& report, const Anchors& anchors,
                                std::int64_t now, const OnlineOptions& options) {
    ValidationReport first = Validate(report, anchors, now);
    if (!WantsOnlineRevocation(first))
        return first;
    // Each certificate of the path but the anchor whose status the report
    // leaves open, the signer's first, as its own responder answers for it.
    Asking asking(report, first, options, now);
    const std::vector<Bytes>& path = first.chain.chain;
    for (std::size_t i = 0; i + 1 < path.size(); ++i)
        if (Unsettled(i == 0 ? first.revocation : first.caRevocation[i - 1]))
            asking.AskFor(path[i], path[i + 1], i);
    return Validate(report, anchors, now, asking.Result());
}

std::filesystem::path DefaultRevocationCache() {
    // A relative folder would put the cache wherever the program was started.
    const std::filesystem::path base = detail::UserCacheFolder();
    return base.is_absolute() ? base / "tolv-viewer" / "revocation" : std::filesystem::path();
}

OnlineLook LookOnline(const signature::SignatureReport& report, const Anchors& anchors,
                      std::int64_t now) {
    OnlineLook look;
    try {
        OnlineOptions options;
        options.cacheFolder = DefaultRevocationCache();
        look.validation = ValidateOnline(report, anchors, now, options);
    } catch (const std::exception& failure) {
        look.error = failure.what();
    } catch (...) {
        look.error = "bilinmeyen hata";
    }
    return look;
}

} // namespace tolv::validation
