#include "tools/VerifyTally.h"

#include <cstdio>

namespace tolv::tools {

namespace {

// Turkish writes a decimal comma.
std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    std::string out = text;
    for (char& c : out)
        if (c == '.')
            c = ',';
    return out;
}

} // namespace

void VerifyTally::Add(Verdict verdict, Judgement judgement) {
    ++reports_;
    ++verdicts_[static_cast<std::size_t>(verdict)];
    ++judgements_[static_cast<std::size_t>(judgement)];
}

int VerifyTally::ExitStatus() const {
    // A changed report is the news a batch must not lose behind a missing one.
    if (Count(Verdict::Altered) > 0 || Count(Judgement::Invalid) > 0)
        return 4;
    if (Count(Verdict::Unreadable) > 0)
        return 2;
    if (require_ == Requirement::Valid && NotValid() > 0)
        return 6;
    return Count(Verdict::Unknown) > 0 ? 5 : 0;
}

std::string VerifyTally::ProgressText(double seconds) const {
    const double rate = seconds > 0 ? double(reports_) / seconds : 0;
    return "tolv-extract: " + std::to_string(reports_) + " rapor denetlendi (" +
           std::to_string(static_cast<long long>(rate + 0.5)) + " rapor/sn)";
}

std::string VerifyTally::SummaryText(double seconds) const {
    auto n = [](std::size_t count) { return std::to_string(count); };
    return "tolv-extract: " + n(reports_) + " rapor " + Seconds(seconds) +
           " saniyede denetlendi: " + n(Count(Verdict::Intact)) + " sağlam, " +
           n(Count(Verdict::Altered)) + " değiştirilmiş, " + n(Count(Verdict::Unknown)) +
           " denetlenemeyen, " + n(Count(Verdict::Unreadable)) + " okunamayan; " +
           n(Count(Judgement::Valid)) + " geçerli, " + n(Count(Judgement::Invalid)) +
           " geçersiz, " + n(Count(Judgement::Indeterminate)) + " doğrulanamayan" +
           (require_ == Requirement::Valid ? "; " + n(NotValid()) + " geçerli olmayan" : "");
}

} // namespace tolv::tools
