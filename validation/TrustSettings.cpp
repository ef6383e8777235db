#include "validation/TrustSettings.h"

#include <system_error>

namespace tolv::validation {

std::vector<std::filesystem::path>
InstitutionAnchorPaths(const std::vector<std::filesystem::path>& configRoots) {
    std::vector<std::filesystem::path> found;
    for (const std::filesystem::path& root : configRoots) {
        std::filesystem::path folder = root / "tolv-viewer" / "trust";
        // Only a missing folder is passed over: one that exists but cannot be
        // read is the caller's to report.
        std::error_code error;
        if (std::filesystem::status(folder, error).type() != std::filesystem::file_type::not_found)
            found.push_back(std::move(folder));
    }
    return found;
}

} // namespace tolv::validation
