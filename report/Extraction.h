#pragma once
// The reader's engine behind WritePdfFromReport, with the two places where a
// test may stand between it and its files (to make a read or a write fail
// part way through a large report).

#include "report/Io.h"
#include "report/ReportReader.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace tolv::report {

struct FileTaps {
    std::function<std::unique_ptr<ByteSource>(std::unique_ptr<ByteSource>)> input;
    std::function<std::unique_ptr<ByteSink>(std::unique_ptr<ByteSink>)> output;
};

// Reads the report for its events alone, as ReadReport does.
void ReadReport(const std::filesystem::path& report, XmlObserver& observer, const FileTaps& taps);

PdfResult ExtractPdf(const std::filesystem::path& report, const std::filesystem::path& pdf,
                     const ReadHooks& hooks, const FileTaps& taps);

} // namespace tolv::report
