// What the İmza bilgisi window says for each kind of conclusion, from facts
// given directly: the verdict, the lines a clerk reads and the details.

#include "validation/SignatureSummary.h"

#include "Fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <utility>
#include <string>

namespace tolv::validation {
namespace {

using signature::Status;
using testing::Read;

bool Has(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}

TEST(SignatureSummaryTest, SaysTheVerdictThenWhoWhenAndHow) {
    signature::SignatureReport intact;
    intact.status = Status::Intact;
    intact.signerCertificate = Read("qualified.der");
    intact.signatureMethod = "rsa-sha256";

    ValidationReport valid;
    valid.conclusion = {Indication::Valid, SubIndication::None, {}};
    valid.chain.outcome = ChainFacts::Outcome::Found;
    valid.chain.anchor = "Tolv Sınama Kök";
    valid.qualified.turkishPolicy = true;
    valid.revocation.status = Revocation::Good;
    valid.revocation.source = "ocsp";
    valid.timeStamp = TimeStampFacts{true, testing::kJune2025, "Tolv Zaman Damgası", {}};

    ValidationReport revoked = valid;
    revoked.conclusion = {Indication::Invalid, SubIndication::Revoked, "sertifika imzadan önce iptal edilmiş"};
    revoked.revocation = {Revocation::Revoked, testing::kJune2020, "crl", {}};

    ValidationReport askedOnline = valid;
    askedOnline.conclusion = {Indication::Indeterminate, SubIndication::TryLater, "iptal bilgisi yok"};
    askedOnline.timeStamp.reset();
    askedOnline.qualified = {};
    askedOnline.revocation = {Revocation::Unknown, {}, {}, "OCSP yanıtı 1: bu sertifika için değil", true,
                              testing::kJune2025};

    signature::SignatureReport altered = intact;
    altered.status = Status::Altered;
    ValidationReport alteredValidation = valid;
    alteredValidation.conclusion = {Indication::Invalid, SubIndication::HashFailure, "imza değeri doğrulanmıyor"};

    const struct Row {
        const char* what;
        const signature::SignatureReport& report;
        const ValidationReport& validation;
        Verdict verdict;
        VerdictIcon icon;
        const char* verdictText;
        const char* reason;
        std::vector<std::string> lines; // each a part of some line
    } rows[] = {
        {"valid", intact, valid, Verdict::Valid, VerdictIcon::Good, "İmza geçerli", "",
         {"İmzalayan: ", "Nitelikli elektronik sertifika (", "zaman damgası: Tolv Zaman Damgası",
          "iptal edilmemiş (raporun kendi OCSP yanıtı)", "Güvenilen kök: Tolv Sınama Kök"}},
        {"revoked before signing", intact, revoked, Verdict::Invalid, VerdictIcon::Bad, "İmza geçersiz",
         "Sertifika imzadan önce iptal edilmiş.", {"İptal durumu: sertifika ", "raporun kendi iptal listesi"}},
        {"asked online, nothing said", intact, askedOnline, Verdict::Indeterminate, VerdictIcon::Caution,
         "İmza doğrulanamadı", "İptal bilgisi yok.",
         {"Nitelikli elektronik sertifika değil", "denetlenemedi (OCSP yanıtı 1: bu sertifika için değil)"}},
        {"altered", altered, alteredValidation, Verdict::Altered, VerdictIcon::Bad,
         "Rapor imzalandıktan sonra değiştirilmiş", "İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.",
         {"İmzalayan: "}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const SignatureSummary s = Summarize("rapor ğüş.Tolv", row.report, row.validation);
        EXPECT_EQ(s.title, "İmza bilgisi: rapor ğüş.Tolv");
        EXPECT_EQ(s.verdict, row.verdict);
        EXPECT_EQ(s.icon, row.icon);
        EXPECT_EQ(s.verdictText, row.verdictText);
        EXPECT_EQ(s.reason, row.reason);
        for (const std::string& part : row.lines)
            EXPECT_TRUE(Has(s.lines, part)) << part << "\n" << SummaryText(s);
        // An altered report's revocation is no news.
        EXPECT_EQ(Has(s.lines, "İptal durumu"), row.report.status == Status::Intact);
        EXPECT_EQ(s.certificate, intact.signerCertificate);
        EXPECT_TRUE(Has(s.details, "SHA-256 parmak izi: ")) << SummaryText(s);
        EXPECT_TRUE(Has(s.details, "Seri numarası: "));
        EXPECT_FALSE(s.legalNote.empty());
    }
    // When online answers were had, with the zone: the hour today, the day
    // too for one from the cache.
    for (const auto& [askedAt, says] : {std::pair{std::int64_t(std::time(nullptr)), "(çevrimiçi soruldu, saat "},
                                        std::pair{testing::kJune2025 + 12 * 3600, "(çevrimiçi soruldu, 01.06.2025 "}}) {
        ValidationReport good = valid;
        good.revocation.online = true;
        good.revocation.askedAt = askedAt;
        const SignatureSummary online = Summarize("a.Tolv", intact, good);
        EXPECT_TRUE(Has(online.lines, says)) << SummaryText(online);
        EXPECT_TRUE(Has(online.lines, " (UTC")) << SummaryText(online);
    }
}

TEST(SignatureSummaryTest, ReportWithoutSignatureHasNoSignerLines) {
    signature::SignatureReport none;
    none.status = Status::Unknown;
    ValidationReport validation;
    validation.conclusion = {Indication::Indeterminate, SubIndication::FormatFailure, "imzanın biçimi denetime uygun değil"};
    const SignatureSummary s = Summarize("a.Tolv", none, validation);
    EXPECT_EQ(s.verdictText, "İmza doğrulanamadı");
    EXPECT_EQ(s.reason, "İmzanın biçimi denetime uygun değil.");
    EXPECT_TRUE(s.lines.empty()) << SummaryText(s);
    EXPECT_TRUE(s.certificate.empty());
}

// The local time and its stated offset give back the instant, whatever the
// machine's zone.
TEST(SignatureSummaryTest, LocalTimesStateTheirOffset) {
    for (const std::int64_t t : {testing::kJune2020, testing::kJanuary2020, std::int64_t(1798761599)}) {
        const std::string text = LocalTimeWithZone(t);
        int d, mo, y, h, mi, oh, om;
        char sign;
        ASSERT_EQ(std::sscanf(text.c_str(), "%2d.%2d.%4d %2d:%2d (UTC%c%2d:%2d)", &d, &mo, &y, &h, &mi, &sign,
                              &oh, &om),
                  8)
            << text;
        std::tm parts{};
        parts.tm_year = y - 1900, parts.tm_mon = mo - 1, parts.tm_mday = d, parts.tm_hour = h, parts.tm_min = mi;
        const std::int64_t offset = (sign == '-' ? -1 : 1) * (oh * 3600 + om * 60);
#ifdef _WIN32
        const std::int64_t asUtc = _mkgmtime(&parts);
#else
        const std::int64_t asUtc = timegm(&parts);
#endif
        EXPECT_EQ(asUtc - offset, t - t % 60) << text;
    }
}

} // namespace
} // namespace tolv::validation
