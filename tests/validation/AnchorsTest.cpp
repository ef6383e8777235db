// Anchors::Add over files and folders of the throwaway PKI.

#include "validation/Anchors.h"

#include "tests/validation/Fixtures.h"

#include <gmock/gmock.h>

#include <vector>

namespace tolv::validation {
namespace {

using testing::Fixture;
using ::testing::HasSubstr;
using testing::Read;

TEST(AnchorsTest, AddReadsPemDerAndFoldersAndSaysWhyNot) {
    struct Row {
        const char* path;
        std::vector<const char*> added; // the certificates, in order, when it succeeds
        const char* error;              // a part of the Turkish text, when it fails
    };
    const Row rows[] = {
        {"two.pem", {"root.der", "inter.der"}, nullptr},
        {"root.der", {"root.der"}, nullptr},
        // Sorted by name; the text file and the subfolder are passed over.
        {"anchors", {"inter.der", "root.der"}, nullptr},
        {"empty", {}, nullptr},
        {"yok.pem", {}, "bulunamadı"},
        {"notcert.txt", {}, "içinde sertifika yok"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        Anchors anchors(false);
        const std::string error = anchors.Add(Fixture(row.path));
        if (row.error) {
            EXPECT_THAT(error, HasSubstr(row.error));
            EXPECT_THAT(error, HasSubstr(row.path));
            EXPECT_TRUE(anchors.Added().empty());
            continue;
        }
        EXPECT_EQ(error, "");
        std::vector<signature::Bytes> expected;
        for (const char* name : row.added)
            expected.push_back(Read(name));
        EXPECT_EQ(anchors.Added(), expected);
        // A move keeps them.
        Anchors moved(true);
        moved = std::move(anchors);
        EXPECT_EQ(moved.Added(), expected);
        EXPECT_FALSE(moved.WithSystem());
    }
}

} // namespace
} // namespace tolv::validation
