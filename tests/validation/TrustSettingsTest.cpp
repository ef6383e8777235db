// The institution's trust folders: which of them count, in a scratch tree.

#include "validation/TrustSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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

#ifndef _WIN32
    // The user's root comes from XDG_CONFIG_HOME (Windows reads the registry instead).
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string before = saved ? saved : "";
    for (const char* root : {"user", "missing"}) {
        setenv("XDG_CONFIG_HOME", (scratch / root).c_str(), 1);
        const std::vector<fs::path> found = InstitutionAnchorPaths();
        EXPECT_EQ(std::count(found.begin(), found.end(), trust(root)), root == std::string("user"))
            << root;
    }
    if (saved)
        setenv("XDG_CONFIG_HOME", before.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
#endif
    fs::remove_all(scratch);
}

} // namespace
} // namespace tolv::validation
