#include "validation/TrustSettings.h"

#include <cstdlib>

namespace tolv::validation {
namespace {

// The user's configuration folder as the XDG rules have it: a relative
// XDG_CONFIG_HOME is invalid and ignored.
std::filesystem::path UserConfigRoot() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/')
        return configHome;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::filesystem::path(home) / ".config";
    return {};
}

} // namespace

std::vector<std::filesystem::path> InstitutionAnchorPaths() {
    std::vector<std::filesystem::path> roots{"/etc"};
    if (std::filesystem::path user = UserConfigRoot(); !user.empty())
        roots.push_back(std::move(user));
    return InstitutionAnchorPaths(roots);
}

} // namespace tolv::validation
