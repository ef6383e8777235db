#pragma once

#include <filesystem>
#include <stdexcept>

namespace tolv::report {

// A report that cannot be read or parsed. what() is a Turkish description for
// the user, in UTF-8.
class ReportError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes the PDF that the signed report LetXADESFile carries to LetPDFFile.
// true: the PDF was written; false: no qualifying element could be decoded and
// written. Throws ReportError when the report cannot be read or is not a
// well-formed XML document.
bool PDFFileFromXADESFile(const std::filesystem::path& LetXADESFile,
                          const std::filesystem::path& LetPDFFile);

} // namespace tolv::report
