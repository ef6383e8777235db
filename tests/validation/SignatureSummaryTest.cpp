// What the İmza bilgisi window says, from facts given directly.

#include "validation/SignatureSummary.h"

#include "Fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
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

// The windows' end-to-end tests read every kind of verdict back; these are the
// lines they do not reach.
TEST(SignatureSummaryTest, SaysWhatTheWindowsTestsDoNotReach) {
    signature::SignatureReport intact;
    intact.status = Status::Intact;
    intact.signerCertificate = Read("qualified.der");
    ValidationReport valid;
    valid.conclusion = {Indication::Valid, SubIndication::None, {}};
    valid.chain.outcome = ChainFacts::Outcome::Found;
    valid.qualified.turkishPolicy = true;
    valid.revocation = {Revocation::Good, {}, "ocsp", {}, true, std::int64_t(std::time(nullptr))};
    ValidationReport cached = valid;
    cached.revocation.askedAt = testing::kJune2025 + 12 * 3600;
    ValidationReport broken = valid;
    broken.conclusion = {Indication::Invalid, SubIndication::SigCryptoFailure,
                         "imza değeri doğrulanmıyor"};
    ValidationReport revokedLater = valid;
    revokedLater.revocation.status = Revocation::Revoked;
    revokedLater.timeStamp = TimeStampFacts{true};
    signature::SignatureReport expired = intact;
    expired.signerCertificate = Read("old.der"); // ended in 2021
    ValidationReport stamped = valid;
    stamped.timeStamp = TimeStampFacts{true};
    ValidationReport unreachable = valid;
    unreachable.conclusion = {Indication::Indeterminate, SubIndication::TryLater,
                              "raporda iptal bilgisi yok"};
    unreachable.revocation = {Revocation::None, {}, {}, "çevrimiçi sorulamadı: (curl hata 7)"};
    signature::SignatureReport unsigned_;
    unsigned_.cause = signature::UnknownCause::NoSignature;
    ValidationReport format;
    format.conclusion = {Indication::Indeterminate, SubIndication::FormatFailure, "imzanın biçimi"};

    const struct {
        const char* what;
        const signature::SignatureReport& report;
        const ValidationReport& validation;
        std::string heading, reason;         // the verdict and the line under it
        std::vector<std::string> lines;      // each a part of some line; none for no lines at all
        std::string detail = "Sonuç kodu: "; // a part of some detail
        bool asking = false;
    } rows[] = {
        {"qualified, asked online today",
         intact,
         valid,
         "İmza geçerli",
         "",
         {"Nitelikli elektronik sertifika (", "(çevrimiçi soruldu, saat ", " (UTC"}},
        {"an answer from the cache, with its day",
         intact,
         cached,
         "İmza geçerli",
         "",
         {"(çevrimiçi soruldu, 01.06.2025 "}},
        {"a broken value: the conclusion's reason among the details",
         intact,
         broken,
         "Rapor imzalandıktan sonra değiştirilmiş",
         "İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.",
         {"İmzalayan: "},
         "Teknik ayrıntı: imza değeri doğrulanmıyor"},
        {"revoked after a time-stamp: why it is still valid",
         intact,
         revokedLater,
         "İmza geçerli",
         "",
         {"imza, iptalden önce atıldığı zaman damgasıyla kanıtlanmış"}},
        {"expired since a time-stamp: why it is still valid",
         expired,
         stamped,
         "İmza geçerli",
         "",
         {"imza, sürenin dolmasından önce atıldığı zaman damgasıyla kanıtlanmış"}},
        {"no responder: plain words above, the error below",
         intact,
         unreachable,
         "Sertifikanın iptal edilip edilmediği öğrenilemedi",
         "İnternete bağlıyken yeniden deneyin; sonuç değişmezse yöneticinize sorun.",
         {"İptal durumu: öğrenilemedi (çevrimiçi sorulamadı)"},
         "Teknik ayrıntı: çevrimiçi sorulamadı: (curl"},
        {"asking online: no verdict, no revocation yet",
         intact,
         unreachable,
         "İmza denetleniyor…",
         "",
         {"İmzalayan: "},
         "SHA-256",
         true},
        {"no signature: no signer's lines",
         unsigned_,
         format,
         "Bu raporda imza yok",
         "Raporu kimin hazırladığı ve sonradan değiştirilip değiştirilmediği bilinemez. İmzalı "
         "hâlini "
         "gönderenden isteyin.",
         {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const SignatureSummary s = Summarize("a.Tolv", row.report, row.validation, row.asking);
        EXPECT_EQ(s.verdictText, row.heading);
        EXPECT_EQ(s.reason, row.reason);
        EXPECT_EQ(s.lines.empty(), row.lines.empty()) << SummaryText(s);
        for (const std::string& part : row.lines)
            EXPECT_TRUE(Has(s.lines, part)) << part << "\n" << SummaryText(s);
        EXPECT_EQ(Has(s.lines, "İptal durumu"), !row.asking && !row.lines.empty())
            << SummaryText(s);
        EXPECT_TRUE(Has(s.details, row.detail)) << SummaryText(s);
        EXPECT_EQ(Has(s.details, "SHA-256 parmak izi: "), !row.report.signerCertificate.empty());
    }
}

// File mode's question where the end-to-end rows do not reach: a broken
// chain asks; an invalid conclusion warns, whatever WarnUntrusted says.
TEST(SignatureSummaryTest, FileModeAsksOfABrokenChainAndWarnsOfAnInvalidSignature) {
    signature::SignatureReport intact;
    intact.status = Status::Intact;
    intact.signer = "Ayşe Yılmaz";
    ValidationReport broken, invalid;
    broken.chain.outcome = ChainFacts::Outcome::Broken;
    invalid.chain.outcome = ChainFacts::Outcome::Found;
    invalid.conclusion = {Indication::Invalid, SubIndication::Revoked, "sertifika iptal edilmiş"};
    const auto asked = QuestionFor(intact, broken, true);
    ASSERT_TRUE(asked && !asked->warning);
    EXPECT_NE(asked->text.find("görünen “Ayşe Yılmaz” adı doğrulanamadı"), std::string::npos);
    const auto warned = QuestionFor(intact, invalid, false);
    ASSERT_TRUE(warned && warned->warning);
    EXPECT_EQ(warned->text.rfind("Bu raporun imzası geçersiz: sertifika iptal edilmiş. ", 0), 0u);
}

// The local time and its stated offset give back the instant, whatever the
// machine's zone.
TEST(SignatureSummaryTest, LocalTimesStateTheirOffset) {
    for (const std::int64_t t :
         {testing::kJune2020, testing::kJanuary2020, std::int64_t(1798761599)}) {
        const std::string text = LocalTimeWithZone(t);
        int d, mo, y, h, mi, oh, om;
        char sign;
        ASSERT_EQ(std::sscanf(text.c_str(), "%2d.%2d.%4d %2d:%2d (UTC%c%2d:%2d)", &d, &mo, &y, &h,
                              &mi, &sign, &oh, &om),
                  8)
            << text;
        std::tm parts{};
        parts.tm_year = y - 1900, parts.tm_mon = mo - 1, parts.tm_mday = d, parts.tm_hour = h,
        parts.tm_min = mi;
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
