#include "tests/signature/TestPlatform.h"

#include <cstdlib>

namespace tolv::signature::testing {

// OpenSSL reads the variable each time a store loads its default paths.
TrustedRoot::TrustedRoot(const std::filesystem::path& pem, const std::filesystem::path&,
                         bool distrusted, std::optional<std::vector<const char*>> purposes)
    : distrusted_(distrusted || purposes) {
    if (distrusted_) {
        failure_ = "no store of distrusted certificates, nor purposes of roots, here";
        return;
    }
    if (const char* old = std::getenv("SSL_CERT_FILE"))
        saved_ = old;
    if (setenv("SSL_CERT_FILE", pem.c_str(), 1) != 0)
        failure_ = "setenv failed";
}

TrustedRoot::~TrustedRoot() {
    if (distrusted_)
        return;
    if (saved_)
        setenv("SSL_CERT_FILE", saved_->c_str(), 1);
    else
        unsetenv("SSL_CERT_FILE");
}

} // namespace tolv::signature::testing
