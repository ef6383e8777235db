#pragma once
// Viewing one report: read the preferences, write the PDF, start the browser
// with it, wait for the browser, end the program.

#include <cstdint>
#include <string>

namespace tolv {

namespace signature {
struct SignatureReport;
}

// How file mode names a report on its boxes: the file name without its folder
// (the whole path when it has no file name), in UTF-8.
std::string ReportNameUtf8(const std::wstring& reportPath);

class Browser {
public:
    // Ends the process itself; returns only by throwing (an unreadable report,
    // or anything else unexpected), for the caller to show.
    [[noreturn]] void Show(const std::wstring& LetFileName);

    // The browser's arguments for the current SeparateFrame and PDFFile.
    std::wstring CMDParameters(const int32_t& LetWidth, const int32_t& LetHeight,
                               const int32_t& LetPosX, const int32_t& LetPosY) const;

    // Writes the PDF that the report carries; false when it carries none that
    // could be written. Throws when the report cannot be read.
    bool PDFFileFromXADESFile(const std::wstring& LetXADESFile, const std::wstring& LetPDFFile);

private:
    std::wstring GetExecutablePath(const std::wstring& shortName) const;
    void ReadPreferences();
    // Writes the PDF and checks the signature in the same read; a broken
    // signature, one that could not be checked, a signer whose certificate
    // the report shows revoked before signing, an invalid signature or a
    // signer no trusted anchor vouches for asks the user first, and No
    // discards the new PDF.
    bool WriteCheckedPdf(const std::wstring& report, const std::wstring& pdf);
    // Whether the report may be shown after its check; asks where it must.
    bool MayShow(const signature::SignatureReport& check);
    // A box of file mode: the text under the report's name.
    int ShowAboutReport(const std::string& text, unsigned style) const;

    std::string ReportName; // for the boxes
    std::wstring PDFFile;
    std::wstring DesktopFolder;
    bool UseEdge = false;
    bool SavePDFOnDesktop = false;
    bool SeparateFrame = false;
    bool CheckSignature = true;
    bool WarnUnverified = true;
    bool WarnUntrusted = true;
    bool Declined = false; // the user chose not to see a report the check warned of
};

} // namespace tolv
