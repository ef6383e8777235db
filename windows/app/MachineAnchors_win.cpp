#include "windows/app/MachineAnchors.h"

#include "validation/TrustSettings.h"

namespace tolv {

validation::Anchors MachineAnchors() {
    validation::Anchors anchors;
    for (const auto& path : validation::InstitutionAnchorPaths())
        (void)anchors.Add(path);
    return anchors;
}

} // namespace tolv
