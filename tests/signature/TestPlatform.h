#pragma once
// What the crypto tests need of the platform they run on.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tolv::signature::testing {

// Makes a test root trusted by this computer for as long as the object lives:
// through SSL_CERT_FILE with OpenSSL, in the current user's ROOT store on
// Windows.
class TrustedRoot {
public:
    // pem and der are the same root certificate in the two encodings.
    // distrusted: on Windows, put it among the Disallowed instead, which no
    // chain may pass through (Linux has no such store: failure() says so).
    // purposes: on Windows, the only purposes its properties leave it (none:
    // all disabled); Linux has no such properties.
    TrustedRoot(const std::filesystem::path& pem, const std::filesystem::path& der,
                bool distrusted = false,
                std::optional<std::vector<const char*>> purposes = std::nullopt);
    ~TrustedRoot();
    TrustedRoot(const TrustedRoot&) = delete;
    TrustedRoot& operator=(const TrustedRoot&) = delete;

    // Empty when the root is trusted; else why it could not be made so.
    const std::string& failure() const { return failure_; }

private:
    std::string failure_;
    std::filesystem::path der_;
    std::optional<std::string> saved_; // SSL_CERT_FILE before
    bool distrusted_ = false;
};

} // namespace tolv::signature::testing
