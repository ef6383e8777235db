// What each certificate of the throwaway PKI claims as qualified.

#include "validation/KeyPurpose.h"
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

TEST(QualifiedTest, KeyMeantForSignatures) {
    const struct {
        const char* certificate;
        bool fit;
    } rows[] = {
        {"plain.der", true},  // signing key usages
        {"eseal.der", true},  // no key usage at all
        {"mail.der", true},   // e-mail protection among its purposes
        {"tls.der", false},   // a web server's
        {"root.der", false},  // certificate and CRL signing only
        {"notcert.txt", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FitForSignatures(Read(row.certificate)), row.fit) << row.certificate;
}

} // namespace
} // namespace tolv::validation
