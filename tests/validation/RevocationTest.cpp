// CheckRevocation over the OCSP responses and CRLs of make-revocation-fixtures.py.

#include "validation/Revocation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace tolv::validation {
namespace {

Bytes Read(const std::string& name) {
    std::ifstream in(std::filesystem::path(TOLV_REVOCATION_FIXTURES) / name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<Bytes> ReadAll(const std::vector<const char*>& names) {
    std::vector<Bytes> contents;
    for (const char* name : names)
        contents.push_back(Read(name));
    return contents;
}

constexpr std::int64_t kRevokedAt = 1717200000;    // 2024-06-01, revoked.der's revocation
constexpr std::int64_t kDecember2024 = 1733011200; // before the data was produced (2025-01-01)
constexpr std::int64_t kJune2025 = 1748736000;     // after it

TEST(RevocationTest, CheckRevocationOfTheFixtures) {
    struct Row {
        const char* what;
        const char* certificate = "leaf.der";
        std::vector<const char*> ocsp = {};
        std::vector<const char*> crls = {};
        std::vector<const char*> others = {};
        std::int64_t time = kDecember2024;
        Revocation status = Revocation::Good;
        const char* source = "";
        std::optional<std::int64_t> revokedAt = {};
        const char* reason = ""; // a part of it, for Unknown
    };
    const Row rows[] = {
        {.what = "good, signed by the CA", .ocsp = {"ocsp-ca.der"}, .source = "ocsp"},
        {.what = "good, signed by its delegated responder",
         .ocsp = {"ocsp-responder.der"},
         .source = "ocsp"},
        {.what = "revoked, a SHA-256 CertID, the responder's certificate only among the others",
         .certificate = "revoked.der",
         .ocsp = {"ocsp-revoked.der"},
         .others = {"rogue.der", "responder.der"},
         .status = Revocation::Revoked,
         .source = "ocsp",
         .revokedAt = kRevokedAt},
        {.what = "revoked, no reason given",
         .certificate = "unstated.der",
         .ocsp = {"ocsp-unstated.der"},
         .others = {"responder.der"},
         .status = Revocation::Revoked,
         .source = "ocsp",
         .revokedAt = kRevokedAt},
        {.what = "a responder without the OCSP-signing key usage",
         .ocsp = {"ocsp-rogue.der"},
         .others = {"rogue.der"},
         .status = Revocation::Unknown,
         .reason = "OCSP yanıtı 1: yanıtı imzalayan “Tolv Yetkisiz OCSP” OCSP imzalama yetkisi "
                   "taşımıyor"},
        {.what = "a responder another CA of the same name issued",
         .ocsp = {"ocsp-foreign.der"},
         .status = Revocation::Unknown,
         .reason = "“Tolv Yabancı OCSP” sertifikasını, denetlenen sertifikayı düzenleyen "
                   "düzenlememiş"},
        {.what = "signed by a CA of the issuer's name and serial",
         .ocsp = {"ocsp-impostor.der"},
         .others = {"impostor.der"},
         .status = Revocation::Unknown,
         .reason = "“Tolv Sınama İptal Kökü” sertifikasını, denetlenen sertifikayı düzenleyen "
                   "düzenlememiş"},
        {.what = "a response produced before the best signature time",
         .ocsp = {"ocsp-nocerts.der"},
         .others = {"responder.der"},
         .time = kJune2025,
         .status = Revocation::Unknown,
         .reason = "imzanın atıldığı kanıtlanan zamandan önce üretilmiş"},
        {.what = "a response about another certificate",
         .ocsp = {"ocsp-unstated.der"},
         .others = {"responder.der"},
         .status = Revocation::Unknown,
         .reason = "bu sertifika için değil"},
        {.what = "good, the responder's certificate only among the others",
         .ocsp = {"ocsp-nocerts.der"},
         .others = {"responder.der"},
         .source = "ocsp"},
        {.what = "good, the responder's key in a stranger's certificate put first",
         .ocsp = {"ocsp-nocerts.der"},
         .others = {"twin.der", "responder.der"},
         .source = "ocsp"},
        {.what = "the responder's certificate nowhere",
         .ocsp = {"ocsp-nocerts.der"},
         .status = Revocation::Unknown,
         .reason = "yanıtı imzalayanın sertifikası bulunamadı"},
        {.what = "not an OCSP response",
         .ocsp = {"ca.der"},
         .status = Revocation::Unknown,
         .reason = "OCSP yanıtı 1: okunamadı"},
        {.what = "good by the CRL", .crls = {"crl.der"}, .source = "crl"},
        {.what = "revoked by the CRL",
         .certificate = "revoked.der",
         .crls = {"crl.der"},
         .status = Revocation::Revoked,
         .source = "crl",
         .revokedAt = kRevokedAt},
        {.what = "one partition of the CA's list: it may leave the certificate out",
         .crls = {"crl-partition.der"},
         .status = Revocation::Unknown,
         .reason = "tam bir iptal listesi değil"},
        {.what = "...but a revocation it lists counts",
         .certificate = "revoked.der",
         .crls = {"crl-partition.der"},
         .status = Revocation::Revoked,
         .source = "crl",
         .revokedAt = kRevokedAt},
        {.what = "a CRL signed by another key",
         .crls = {"crl-impostor.der"},
         .status = Revocation::Unknown,
         .reason = "iptal listesi 1: imzası sertifikayı düzenleyenin anahtarıyla doğrulanmıyor"},
        {.what = "a CRL issued before the best signature time",
         .crls = {"crl.der"},
         .time = kJune2025,
         .status = Revocation::Unknown,
         .reason = "imzanın atıldığı kanıtlanan zamandan önce yayımlanmış"},
        {.what = "a revocation however old the list that shows it",
         .certificate = "revoked.der",
         .crls = {"crl.der"},
         .time = kJune2025,
         .status = Revocation::Revoked,
         .source = "crl",
         .revokedAt = kRevokedAt},
        {.what = "a delegated responder whose own status nothing shows",
         .ocsp = {"ocsp-checked.der"},
         .status = Revocation::Unknown,
         .reason = "“Tolv Denetlenen OCSP” sertifikasının iptal durumu bilinmiyor"},
        {.what = "a delegated responder the CA's list shows unrevoked",
         .ocsp = {"ocsp-checked.der"},
         .crls = {"crl.der"},
         .source = "ocsp"},
        {.what = "a response that does not count beside a CRL that does",
         .ocsp = {"ocsp-rogue.der"},
         .crls = {"crl.der"},
         .others = {"rogue.der"},
         .source = "crl"},
        {.what = "a revoking response beside answers that do not count",
         .certificate = "unstated.der",
         .ocsp = {"ocsp-ca.der", "ocsp-unstated.der"},
         .crls = {"crl-impostor.der"},
         .others = {"responder.der"},
         .status = Revocation::Revoked,
         .source = "ocsp",
         .revokedAt = kRevokedAt},
        {.what = "no data", .status = Revocation::None},
    };
    const Bytes issuer = Read("ca.der");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const RevocationData data{ReadAll(row.ocsp), ReadAll(row.crls)};
        const RevocationFacts facts =
            CheckRevocation(Read(row.certificate), issuer, data, ReadAll(row.others), row.time);
        EXPECT_STREQ(RevocationName(facts.status), RevocationName(row.status)) << facts.reason;
        EXPECT_EQ(facts.source, row.source);
        EXPECT_EQ(facts.revokedAt, row.revokedAt);
        if (row.status == Revocation::Unknown)
            EXPECT_THAT(facts.reason, ::testing::HasSubstr(row.reason));
        else
            EXPECT_EQ(facts.reason, "");
    }
}

} // namespace
} // namespace tolv::validation
