// The institution's trust folders: which of them count, in a scratch tree of
// configuration roots (verify_cases.py reads one through XDG_CONFIG_HOME).

#include "validation/TrustSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tolv::validation {
namespace {

namespace fs = std::filesystem;

TEST(TrustSettingsTest, OnlyTheTrustFoldersThatExistCountInTheOrderOfTheirRoots) {
    const int seed = ::testing::UnitTest::GetInstance()->random_seed();
    const fs::path scratch = fs::temp_directory_path() / ("tolv-trust-" + std::to_string(seed));
    fs::remove_all(scratch);
    // system and user hold a trust folder; bare has only tolv-viewer; missing nothing.
    fs::create_directories(scratch / "system" / "tolv-viewer" / "trust");
    fs::create_directories(scratch / "user" / "tolv-viewer" / "trust");
    fs::create_directories(scratch / "bare" / "tolv-viewer");
    const auto trust = [&](const char* root) { return scratch / root / "tolv-viewer" / "trust"; };

    struct Row {
        std::vector<const char*> roots;
        std::vector<const char*> found;
    };
    const Row rows[] = {
        {{"system", "user"}, {"system", "user"}},
        {{"system", "missing"}, {"system"}},
        {{"missing", "user"}, {"user"}},
        {{"bare", "missing"}, {}},
    };
    for (const Row& row : rows) {
        std::vector<fs::path> roots, expected;
        for (const char* root : row.roots)
            roots.push_back(scratch / root);
        for (const char* root : row.found)
            expected.push_back(trust(root));
        EXPECT_EQ(InstitutionAnchorPaths(roots), expected) << row.roots[0] << ", " << row.roots[1];
    }
    fs::remove_all(scratch);
}

} // namespace
} // namespace tolv::validation
