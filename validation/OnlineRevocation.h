#pragma once
// Revocation asked online, for the "İmza bilgisi" window and the command
// line's --online (never file mode: it must stay fast). When the report's own
// data settles nothing, the signer's OCSP responder (the certificate's
// Authority Information Access) is asked, else the CRL of its distribution
// point is fetched; the answer is checked as the report's own data would be.

#include "validation/Validation.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tolv::validation {

struct OnlineOptions {
    std::chrono::milliseconds perRequest{5000};
    std::chrono::milliseconds inAll{10000};
    // Where answers are kept until their next update; empty: no cache.
    std::filesystem::path cacheFolder;
};

// Whether asking online could change the conclusion: it is TRY_LATER (the
// report intact, nothing else amiss), its chain reached an anchor and its own
// data said nothing of revocation.
bool WantsOnlineRevocation(const ValidationReport& validation);

// Validates as Validate does, with the answer fetched online taking the place
// of the report's revocation data. When nothing could be fetched, revocation
// stays as it was and its reason says why ("çevrimiçi sorulamadı: ...").
ValidationReport ValidateOnline(const signature::SignatureReport& report, const Anchors& anchors,
                                std::int64_t now, const OnlineOptions& options);

// The per-user folder where answers are cached (XDG cache on Linux, the
// local application data folder on Windows); empty when there is none.
std::filesystem::path DefaultRevocationCache();

// What the signature windows ask: the validation with revocation asked
// online, the user's cache used, or why there is none.
struct OnlineLook {
    std::optional<ValidationReport> validation;
    std::string error;
};
OnlineLook LookOnline(const signature::SignatureReport& report, const Anchors& anchors,
                      std::int64_t now);

} // namespace tolv::validation
