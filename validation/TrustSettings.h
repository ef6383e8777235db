#pragma once
// Where an institution keeps the anchors it adds for signatures alone, as this
// machine is configured: on Windows the TrustAnchors setting in the registry,
// on Linux the trust folders of the administrator and of the user.

#include <filesystem>
#include <vector>

namespace tolv::validation {

// The institution's anchor paths (files or folders of PEM or DER
// certificates, for Anchors::Add), those that exist: on Windows the path the
// TrustAnchors setting names; on Linux /etc/tolv-viewer/trust/ and
// $XDG_CONFIG_HOME/tolv-viewer/trust/ (~/.config when unset), in that order.
std::vector<std::filesystem::path> InstitutionAnchorPaths();

// The Linux rule with its configuration roots given: tolv-viewer/trust under
// each root, in the order of the roots, those that exist.
std::vector<std::filesystem::path>
InstitutionAnchorPaths(const std::vector<std::filesystem::path>& configRoots);

} // namespace tolv::validation
