// tolv-extract REPORT PDF
// Writes the PDF that a signed report carries, with the viewer's own reader, for
// batch use and scripts. Exit status: 0 written, 1 no PDF in the report, 2 the
// report cannot be read, 3 the PDF cannot be written.

#include "report/File.h"
#include "report/ReportReader.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "tools/ErrorLine.h"

namespace {

int Run(const std::filesystem::path& report, const std::filesystem::path& pdf) {
    using Outcome = tolv::report::PdfResult::Outcome;
    try {
        const tolv::report::PdfResult result = tolv::report::WritePdfFromReport(report, pdf);
        if (result.outcome == Outcome::Written)
            return 0;
        if (result.outcome == Outcome::NotWritten) {
            const std::string text =
                "tolv-extract: PDF yazılamadı: " + tolv::report::PathText(pdf) + " (" +
                result.reason + ")";
            tolv::tools::PrintLine(text.c_str());
            return 3;
        }
        tolv::tools::PrintLine("tolv-extract: raporda PDF bulunamadı");
        return 1;
    } catch (const std::exception& error) {
        const std::string text = std::string("tolv-extract: ") + error.what();
        tolv::tools::PrintLine(text.c_str());
        return 2;
    }
}

const char* kUsage = "kullanım: tolv-extract RAPOR.Tolv ÇIKTI.pdf";

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        tolv::tools::PrintLine(kUsage);
        return 2;
    }
    return Run(argv[1], argv[2]);
}
#else
int main(int argc, char** argv) {
    if (argc != 3) {
        tolv::tools::PrintLine(kUsage);
        return 2;
    }
    return Run(argv[1], argv[2]);
}
#endif
