// ValidateChain over the throwaway PKI, at pinned times.

#include "validation/Chain.h"

#include "tests/signature/TestPlatform.h"
#include "tests/validation/Fixtures.h"

#include <gmock/gmock.h>

#include <ctime>
#include <memory>
#include <optional>
#include <vector>

namespace tolv::validation {
namespace {

using testing::Fixture;
using testing::Read;
using Outcome = ChainFacts::Outcome;

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Found:
        return "Found";
    case Outcome::NoChain:
        return "NoChain";
    case Outcome::OutOfBounds:
        return "OutOfBounds";
    case Outcome::Broken:
        break;
    }
    return "Broken";
}

constexpr std::int64_t kNow = -1; // the clock, for the certificate that ended in 2021

TEST(ChainTest, ValidateChainAtPinnedTimes) {
    struct Row {
        const char* what;
        const char* signer;
        std::vector<const char*> intermediates;
        std::vector<const char*> added;
        bool system = false;
        bool systemTrustsRoot = false; // root.pem made a root of this computer for the row
        // Its purposes narrowed to these in its properties (Windows).
        std::optional<std::vector<const char*>> rootPurposes = std::nullopt;
        const char* distrusted = nullptr; // a certificate the system distrusts (Windows)
        std::int64_t time = testing::kJune2025;
        Outcome outcome = Outcome::Found;
        const char* anchor = nullptr; // its file, for Found and OutOfBounds
        std::size_t length = 0;       // of the chain, for Found and OutOfBounds
        const char* outOfBounds = nullptr;
        const char* reason = ""; // a part of it; Found has none
    };
    const char* const root = "Tolv Sınama Kök";
    const Row rows[] = {
        {.what = "the added root",
         .signer = "qualified.der",
         .intermediates = {"inter.der"},
         .added = {"root.der"},
         .anchor = "root.der",
         .length = 3},
        {.what = "no anchor at all",
         .signer = "qualified.der",
         .intermediates = {"inter.der"},
         .added = {},
         .outcome = Outcome::NoChain,
         .reason = "“Tolv Sınama Nitelikli ESHS” sertifikasını düzenleyen sertifika bulunamadı"},
        {.what = "the system's anchors, which do not hold the root",
         .signer = "qualified.der",
         .intermediates = {"inter.der"},
         .added = {},
         .system = true,
         .outcome = Outcome::NoChain,
         .reason = "“Tolv Sınama Nitelikli ESHS” sertifikasını düzenleyen"},
        {.what = "the system's anchors holding the root",
         .signer = "qualified.der",
         .intermediates = {"inter.der"},
         .added = {},
         .system = true,
         .systemTrustsRoot = true,
         .anchor = "root.der",
         .length = 3},
        {.what = "the system's root narrowed to server authentication",
         .signer = "qualified.der",
         .intermediates = {"inter.der"},
         .system = true,
         .systemTrustsRoot = true,
         .rootPurposes = std::vector{"1.3.6.1.5.5.7.3.1"},
         .outcome = Outcome::NoChain,
         .reason = "“Tolv Sınama Nitelikli ESHS” sertifikasını düzenleyen"},
        {.what = "the system's root with every purpose disabled",
         .signer = "qualified.der",
         .intermediates = {"inter.der"},
         .system = true,
         .systemTrustsRoot = true,
         .rootPurposes = std::vector<const char*>{},
         .outcome = Outcome::NoChain,
         .reason = "“Tolv Sınama Nitelikli ESHS” sertifikasını düzenleyen"},
        {.what = "the system's root narrowed to server authentication and document signing",
         .signer = "qualified.der",
         .intermediates = {"inter.der"},
         .system = true,
         .systemTrustsRoot = true,
         .rootPurposes = std::vector{"1.3.6.1.5.5.7.3.1", "1.3.6.1.4.1.311.10.3.12"},
         .anchor = "root.der",
         .length = 3},
        {.what = "an intermediate the system distrusts, under the added root",
         .signer = "qualified.der",
         .intermediates = {"inter.der"},
         .added = {"root.der"},
         .system = true,
         .distrusted = "inter.der",
         .outcome = Outcome::Broken,
         .reason = "bu bilgisayarda güvenilmeyenler arasında"},
        {.what = "the system's and the added root",
         .signer = "plain.der",
         .intermediates = {"inter.der"},
         .added = {"two.pem"},
         .system = true,
         .anchor = "inter.der",
         .length = 2},
        {.what = "an added anchor that is not self-signed",
         .signer = "turkish.der",
         .intermediates = {"inter.der"},
         .added = {"inter.der"},
         .anchor = "inter.der",
         .length = 2},
        {.what = "the old leaf in its time",
         .signer = "old.der",
         .intermediates = {"inter.der"},
         .added = {"root.der"},
         .time = testing::kJune2020,
         .anchor = "root.der",
         .length = 3},
        {.what = "the old leaf in 2025",
         .signer = "old.der",
         .intermediates = {"inter.der"},
         .added = {"root.der"},
         .outcome = Outcome::OutOfBounds,
         .anchor = "root.der",
         .length = 3,
         .outOfBounds = "Tolv Eski İmzacı",
         .reason = "“Tolv Eski İmzacı” sertifikası değerlendirilen tarihte geçerlilik süresinin "
                   "dışındaydı"},
        {.what = "the old leaf now",
         .signer = "old.der",
         .intermediates = {"inter.der"},
         .added = {"root.der"},
         .time = kNow,
         .outcome = Outcome::OutOfBounds,
         .anchor = "root.der",
         .length = 3,
         .outOfBounds = "Tolv Eski İmzacı",
         .reason = "“Tolv Eski İmzacı”"},
        {.what = "before the leaf was issued",
         .signer = "plain.der",
         .intermediates = {"inter.der"},
         .added = {"root.der"},
         .time = testing::kJune2020,
         .outcome = Outcome::OutOfBounds,
         .anchor = "root.der",
         .length = 3,
         .outOfBounds = "Sıradan İmzacı",
         .reason = "“Sıradan İmzacı”"},
        {.what = "intermediates in reverse order, one twice",
         .signer = "qualified.der",
         .intermediates = {"root.der", "inter.der", "plain.der", "inter.der"},
         .added = {"root.der"},
         .anchor = "root.der",
         .length = 3},
        {.what = "the intermediate missing",
         .signer = "qualified.der",
         .intermediates = {},
         .added = {"root.der"},
         .outcome = Outcome::NoChain,
         .reason = "“Nitelikli İmzacı” sertifikasını düzenleyen"},
        {.what = "a self-signed signer",
         .signer = "self.der",
         .intermediates = {"inter.der"},
         .added = {"root.der"},
         .outcome = Outcome::NoChain,
         .reason = "“Kendinden İmzalı” kendinden imzalı"},
        {.what = "issued by a certificate that is not a CA",
         .signer = "notca-leaf.der",
         .intermediates = {"notca.der"},
         .added = {"root.der"},
         .outcome = Outcome::Broken,
         .reason = "“Tolv CA Olmayan” bir sertifika makamı (CA) sertifikası değil"},
        {.what = "a signature changed",
         .signer = "tampered.der",
         .intermediates = {"inter.der"},
         .added = {"root.der"},
         .outcome = Outcome::Broken,
         .reason = "“Sıradan İmzacı” sertifikasının imzası doğrulanmıyor"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::unique_ptr<signature::testing::TrustedRoot> trusted;
        if (row.systemTrustsRoot) {
            trusted = std::make_unique<signature::testing::TrustedRoot>(
                Fixture("root.pem"), Fixture("root.der"), false, row.rootPurposes);
#ifndef _WIN32
            if (row.rootPurposes)
                continue; // no such properties here
#endif
            ASSERT_EQ(trusted->failure(), "");
        }
        std::unique_ptr<signature::testing::TrustedRoot> distrusted;
        if (row.distrusted) {
            distrusted = std::make_unique<signature::testing::TrustedRoot>(
                Fixture(row.distrusted), Fixture(row.distrusted), true);
            if (!distrusted->failure().empty())
                continue; // Linux has no such store
        }
        Anchors anchors(row.system);
        for (const char* added : row.added)
            ASSERT_EQ(anchors.Add(Fixture(added)), "");
        std::vector<signature::Bytes> intermediates;
        for (const char* name : row.intermediates)
            intermediates.push_back(Read(name));
        const std::int64_t time = row.time == kNow ? std::time(nullptr) : row.time;
        const signature::Bytes signer = Read(row.signer);

        // The second time through an Anchors moved after its first chain.
        std::optional<Anchors> moved;
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1)
                moved.emplace(std::move(anchors));
            const ChainFacts facts =
                ValidateChain(signer, intermediates, moved ? *moved : anchors, time);
            EXPECT_STREQ(OutcomeName(facts.outcome), OutcomeName(row.outcome)) << facts.reason;
            if (row.outcome == Outcome::Found)
                EXPECT_EQ(facts.reason, "");
            else
                EXPECT_THAT(facts.reason, ::testing::HasSubstr(row.reason));
            if (!row.anchor) {
                EXPECT_TRUE(facts.chain.empty() || row.outcome == Outcome::Broken);
                continue;
            }
            ASSERT_EQ(facts.chain.size(), row.length);
            EXPECT_EQ(facts.chain.front(), signer);
            EXPECT_EQ(facts.chain.back(), Read(row.anchor));
            EXPECT_EQ(facts.anchor,
                      std::string(row.anchor) == "root.der" ? root : "Tolv Sınama Nitelikli ESHS");
            EXPECT_EQ(facts.outOfBounds, row.outOfBounds ? row.outOfBounds : "");
            if (row.outOfBounds && std::string(row.signer) == "old.der") {
                EXPECT_EQ(facts.notBefore, testing::kJanuary2020);
                EXPECT_EQ(facts.notAfter, testing::kEndOf2021);
            }
        }
    }
}

} // namespace
} // namespace tolv::validation
