// VerifyTimeStamp over the tokens of make-timestamp-fixtures.py, with their
// root as the only anchor.

#include "validation/TimeStamp.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tolv::validation {
namespace {

Bytes Token(const std::string& name) {
    std::ifstream in(std::filesystem::path(TOLV_TIMESTAMP_FIXTURES) / name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

constexpr std::int64_t kStamped = 1614834367; // 2021-03-04 05:06:07 UTC
const char* const kTsa = "Tolv Zaman Damgası Birimi";

TEST(TimeStampTest, VerifyTimeStampOverTheFixtures) {
    struct Row {
        const char* token;
        std::vector<const char*> others;
        std::int64_t time = 0; // 0: not checked
        const char* authority = kTsa;
        const char* reason = nullptr; // a part of it; null for a valid token
        std::int64_t now = kStamped + 86400;
    };
    const Row rows[] = {
        {"token.der", {}, kStamped},
        {"token.der", {}, kStamped, kTsa, "bugün geçerli değil", 7258118400}, // in 2200
        {"sha1.der", {}, kStamped + 1},
        {"sha512.der", {}, kStamped + 2},
        {"ec.der", {}, kStamped + 3, "Tolv EC Zaman Damgası"},
        {"nocert.der", {"tsa.der"}, kStamped + 5},
        {"nocert.der", {}, kStamped + 5, "", "birimin sertifikası ne damgada ne de raporda"},
        {"other.der", {}, kStamped + 4, kTsa, "bu imzaya ait değil"},
        {"moved.der", {}, kStamped + 1, kTsa, "zaman damgasının imzası doğrulanmıyor"},
        {"broken.der", {}, kStamped, kTsa, "zaman damgasının imzası doğrulanmıyor"},
        {"noeku-token.der",
         {},
         kStamped,
         "Tolv Amaçsız Zaman Damgası",
         "“Tolv Amaçsız Zaman Damgası” sertifikası zaman damgası vermeye yetkili değil"},
        {"lax-token.der", {}, kStamped, "Tolv Gevşek Zaman Damgası", "yetkili değil"},
        {"wide-token.der", {}, kStamped, "Tolv Geniş Zaman Damgası", "yetkili değil"},
        {"foreign-token.der",
         {},
         kStamped + 6,
         "Tolv Yabancı Zaman Damgası",
         "sertifika zinciri zaman damgasının tarihinde geçerli değil: “Tolv Yabancı Zaman "
         "Damgası” sertifikasını düzenleyen"},
        {"early.der", {}, 1527811200, kTsa, "geçerlilik süresinin dışındaydı"},
        {"data.bin", {}, 0, "", "zaman damgası okunamadı"},
        {"tsa.der", {}, 0, "", "zaman damgası okunamadı"},
    };
    Anchors anchors(false);
    ASSERT_EQ(anchors.Add(std::filesystem::path(TOLV_TIMESTAMP_FIXTURES) / "root.der"), "");
    const Bytes covered = Token("data.bin");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.token);
        std::vector<Bytes> others;
        for (const char* other : row.others)
            others.push_back(Token(other));
        const TimeStampFacts facts =
            VerifyTimeStamp(Token(row.token), covered, others, anchors, row.now);
        EXPECT_EQ(facts.valid, !row.reason) << facts.reason;
        if (row.reason) {
            EXPECT_THAT(facts.reason, ::testing::HasSubstr(row.reason));
        } else {
            EXPECT_EQ(facts.reason, "");
        }
        EXPECT_EQ(facts.authority, row.authority);
        EXPECT_EQ(facts.time, row.time);
    }
}

} // namespace
} // namespace tolv::validation
