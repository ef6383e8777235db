#pragma once
// What a run of --verify over many reports has found so far, and the lines
// that say it on standard error.

#include <array>
#include <cstddef>
#include <string>

namespace tolv::tools {

enum class Verdict { Intact, Altered, Unknown, Unreadable };
enum class Judgement { None, Valid, Invalid, Indeterminate }; // None: not validated
// What a run must find for exit status 0: an archive's integrity, or
// signatures that can be accepted as valid.
enum class Requirement { Intact, Valid };

class VerifyTally {
public:
    explicit VerifyTally(Requirement require = Requirement::Intact) : require_(require) {}
    void Add(Verdict verdict, Judgement judgement);
    std::size_t Reports() const { return reports_; }

    // 4 any altered or invalid, else 2 any unreadable, else 6 any read but not
    // valid where valid is required, else 5 any unknown, else 0.
    int ExitStatus() const;
    // "… rapor denetlendi (… rapor/sn)", for the line overwritten in place.
    std::string ProgressText(double seconds) const;
    // Every count, and how long the run took.
    std::string SummaryText(double seconds) const;

private:
    std::size_t Count(Verdict v) const { return verdicts_[static_cast<std::size_t>(v)]; }
    std::size_t Count(Judgement j) const { return judgements_[static_cast<std::size_t>(j)]; }

    std::size_t NotValid() const {
        return Count(Judgement::Invalid) + Count(Judgement::Indeterminate);
    }

    Requirement require_;
    std::size_t reports_ = 0;
    std::array<std::size_t, 4> verdicts_{};
    std::array<std::size_t, 4> judgements_{};
};

} // namespace tolv::tools
