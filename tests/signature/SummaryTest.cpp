// The "İmza bilgisi" box's lines and icon, for each kind of answer of the check.

#include "signature/Summary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

using tolv::signature::SignatureReport;
using tolv::signature::Status;
using tolv::signature::SummaryIcon;

// Istanbul's offset without its rules: the same answer on every system.
class TurkishTime : public ::testing::Environment {
public:
    void SetUp() override {
#ifdef _WIN32
        _putenv_s("TZ", "TRT-3");
        _tzset();
#else
        setenv("TZ", "TRT-3", 1);
        tzset();
#endif
    }
};
const auto* const kTurkishTime = ::testing::AddGlobalTestEnvironment(new TurkishTime);

constexpr char kLimits[] = "Bu denetim imzanın yasal geçerliliğini, sertifikanın iptal durumunu "
                           "ya da nitelikli olup olmadığını göstermez.";
constexpr char kUntrusted[] = "Sertifika zinciri bu bilgisayarın güvendiği bir kök sertifikaya "
                              "ulaşmıyor; imzalayanın kimliği bu bilgisayarca doğrulanamadı.";

SignatureReport Signed(Status status, bool trusted) {
    SignatureReport report;
    report.status = status;
    report.signer = "Örnek İmzacı";
    report.issuer = "Tolv Test Kök";
    report.notBefore = 1733011200; // 2024-12-01 00:00 UTC
    report.notAfter = 1827619199;  // 2027-11-30 23:59:59 UTC
    report.signingTimeText = "2024-03-18T10:15:42+03:00";
    report.signingTime = 1710746142;
    report.trusted = trusted;
    return report;
}

struct Row {
    const char* name;
    SignatureReport report;
    SummaryIcon icon;
    std::string text;
};

// The end-to-end tests read the whole box for the samples; these are the
// lines they do not reach: a trusted chain, a certificate without a full
// validity, a claimed time that is not a time, no certificate at all.
TEST(SummaryTest, TheBoxSaysWhatTheCheckFound) {
    SignatureReport unknown;
    unknown.reason = "raporda imza yok";
    SignatureReport oddTime = Signed(Status::Unknown, false);
    oddTime.reason = "sertifika okunamadı";
    oddTime.notAfter.reset();
    oddTime.signingTime.reset();
    oddTime.signingTimeText = "dün";

    const Row rows[] = {
        {"altered, trusted", Signed(Status::Altered, true), SummaryIcon::Warning,
         "İmza bozuk: rapor imzalandıktan sonra değiştirilmiş.\n\nİmzalayan: Örnek İmzacı\n"
         "Sertifikayı veren: Tolv Test Kök\n"
         "Sertifika geçerlilik süresi: 01.12.2024 03:00 – 01.12.2027 02:59\n"
         "İmza zamanı (imzalayanın beyanı): 18.03.2024 10:15\n"
         "Sertifika zinciri bu bilgisayarın güvendiği bir kök sertifikaya ulaşıyor.\n\n" +
             std::string(kLimits)},
        {"unknown, no certificate", unknown, SummaryIcon::Question,
         std::string("İmza denetlenemedi: raporda imza yok.\n\n") + kLimits},
        {"unknown, half a validity, a time as written", oddTime, SummaryIcon::Question,
         "İmza denetlenemedi: sertifika okunamadı.\n\nİmzalayan: Örnek İmzacı\n"
         "Sertifikayı veren: Tolv Test Kök\nİmza zamanı (imzalayanın beyanı): dün\n" +
             std::string(kUntrusted) + "\n\n" + kLimits},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(tolv::signature::SummaryText(row.report), row.text);
        EXPECT_EQ(tolv::signature::IconOf(row.report.status), row.icon);
    }
}

// The file-mode cases read the question for a report without a signature and
// one with a DOCTYPE; these are the other causes a user is told of.
TEST(SummaryTest, TheQuestionSaysWhyTheCheckCouldNotBeMade) {
    using tolv::signature::UnknownCause;
    const struct {
        UnknownCause cause;
        const char* name;
        const char* text;
    } rows[] = {
        {UnknownCause::Method, "dsa-sha1",
         "rapor, bu programın denetleyemediği bir yöntemle imzalanmış (dsa-sha1)"},
        {UnknownCause::NoCertificate, "", "imzalayanın sertifikası raporda yok ya da okunamıyor"},
        {UnknownCause::ChangedWhileRead, "", "rapor okunurken değişti"},
    };
    for (const auto& row : rows) {
        SignatureReport report;
        report.cause = row.cause;
        report.causeName = row.name;
        EXPECT_EQ(tolv::signature::UnverifiedQuestion(report),
                  "Bu raporun imzası denetlenemedi: " + std::string(row.text) +
                      ". Raporun imzalayandan geldiği ve sonradan değiştirilmediği "
                      "doğrulanamadı.\n\nRapor yine de açılsın mı?");
    }
}

} // namespace
