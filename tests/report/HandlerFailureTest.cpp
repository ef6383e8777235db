// Failures inside the parser's event handlers: expat is C, so they must come
// back as the reader's own error once the parser has returned, not unwind
// through it.

#include "ReportTesting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

namespace tolv::report::reporttest {
namespace {

using ::testing::HasSubstr;

enum class Throw { None, OnOpen, OnClose };

class ThrowingOutput : public MemoryOutput {
public:
    ThrowingOutput(Throw when, bool outOfMemory) : when_(when), outOfMemory_(outOfMemory) {}

    bool Open() override {
        if (when_ == Throw::OnOpen)
            Raise();
        return MemoryOutput::Open();
    }
    bool Close() override {
        MemoryOutput::Close();
        if (when_ == Throw::OnClose)
            Raise();
        return true;
    }

private:
    void Raise() {
        if (outOfMemory_)
            throw std::bad_alloc();
        throw std::runtime_error("disk kayboldu");
    }

    Throw when_;
    bool outOfMemory_;
};

// The text handed to the parser itself, not around it, so the output is
// opened from the character-data handler (a long text) or the end-tag handler
// (a short one, written when the element ends).
std::string ReportWithText(std::size_t base64Characters) {
    std::string text;
    while (text.size() < base64Characters)
        text += "QUJD";
    return Report(Base64Object(text));
}

std::string ErrorOf(const std::string& doc, ThrowingOutput& output) {
    ReportParser::Options options;
    options.skipPlainRuns = false;
    try {
        RunReport(doc, 0, options, &output);
    } catch (const ReportError& e) {
        return e.what();
    }
    return "(no ReportError)";
}

TEST(ReportParserHandlers, FailureWhileOpeningTheOutputBecomesAReportError) {
    const std::string longText = ReportWithText(1024 * 1024); // flushed from the text handler
    const std::string shortText = ReportWithText(8);          // flushed when the element ends
    for (const std::string* doc : {&longText, &shortText}) {
        ThrowingOutput failing(Throw::OnOpen, false);
        const std::string error = ErrorOf(*doc, failing);
        EXPECT_THAT(error, HasSubstr("Rapor dosyası işlenemedi: test.Tolv, satır "));
        EXPECT_THAT(error, HasSubstr(": disk kayboldu"));

        ThrowingOutput noMemory(Throw::OnOpen, true);
        EXPECT_THAT(ErrorOf(*doc, noMemory), HasSubstr(": bellek yetersiz"));
    }
}

TEST(ReportParserHandlers, FailureWhileClosingTheOutputBecomesAReportError) {
    ThrowingOutput failing(Throw::OnClose, false);
    const std::string error = ErrorOf(ReportWithText(8), failing);
    EXPECT_THAT(error, HasSubstr("Rapor dosyası işlenemedi: test.Tolv, satır 3"));
    EXPECT_THAT(error, HasSubstr(": disk kayboldu"));
}

} // namespace
} // namespace tolv::report::reporttest
