// What each certificate of the throwaway PKI claims as qualified.

#include "validation/Qualified.h"

#include "tests/validation/Fixtures.h"

namespace tolv::validation {
namespace {

using testing::Read;

TEST(QualifiedTest, ClaimOfEachCertificate) {
    struct Row {
        const char* certificate;
        bool compliance, sscd, typePresent, esign, turkish;
        bool claimed;
    };
    const Row rows[] = {
        {"qualified.der", true, true, true, true, false, true},
        {"eseal.der", true, false, true, false, false, false},
        {"compliance.der", true, false, false, false, false, true},
        {"turkish.der", false, false, false, false, true, true},
        {"plain.der", false, false, false, false, false, false},
        {"root.der", false, false, false, false, false, false},
        {"notcert.txt", false, false, false, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.certificate);
        const QualifiedClaim claim = QualifiedClaimOf(Read(row.certificate));
        EXPECT_EQ(claim.qcCompliance, row.compliance);
        EXPECT_EQ(claim.qcSscd, row.sscd);
        EXPECT_EQ(claim.qcTypePresent, row.typePresent);
        EXPECT_EQ(claim.qcTypeEsign, row.esign);
        EXPECT_EQ(claim.turkishPolicy, row.turkish);
        EXPECT_EQ(claim.Claimed(), row.claimed);
    }
}

} // namespace
} // namespace tolv::validation
