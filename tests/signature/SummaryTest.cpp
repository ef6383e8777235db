// What a user is told when the check could not be made, for each cause.

#include "signature/Summary.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tolv::signature::SignatureReport;

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
