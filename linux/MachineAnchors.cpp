#include "linux/MachineAnchors.h"

#include "validation/TrustSettings.h"

#include <cstdio>

namespace tolv::linux_edition {

validation::Anchors MachineAnchors() {
    validation::Anchors anchors;
    for (const auto& path : validation::InstitutionAnchorPaths())
        if (const std::string error = anchors.Add(path); !error.empty())
            std::fprintf(stderr, "tolv-viewer: %s\n", error.c_str());
    return anchors;
}

} // namespace tolv::linux_edition
