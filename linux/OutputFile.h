#pragma once
// Where the PDF of a report is written.

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tolv::linux_edition {

// A failure of the viewer itself, with a Turkish reason for the user.
class ViewerError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The desktop copy: the desktop folder, the report's file name, ".Pdf"
// (a.Tolv gives a.Tolv.Pdf, as on Windows).
std::filesystem::path DesktopPdfPath(const std::filesystem::path& desktopFolder,
                                     const std::filesystem::path& report);

// Creates the desktop copy new, empty and 0600, so that the PDF written over it
// keeps that mode: a home folder may be open to every local user. An earlier
// copy of that name is left as it is (and keeps its mode). true when this run
// created the file.
bool CreateDesktopPdf(const std::filesystem::path& pdf);

// The folder for PDFs nobody asked to keep: tolv-viewer in the runtime folder
// ($XDG_RUNTIME_DIR) where that is usable (the user's own, mode 0700), else in
// the cache folder.
std::filesystem::path PrivateFolder();

// Removes the viewer's own files in folder (PDFs, the reader's scratch files)
// that are the user's and were last written more than a day ago.
void RemoveOldFiles(const std::filesystem::path& folder);

// Creates a new, empty file (mode 0600, never an existing one) in folder, which
// is made private (0700) first and rid of old files, named after the report:
// a.Tolv gives a.pdf, or "a (2).pdf" and so on when that name is taken. The
// browser's tab and its "save as" then show a name the user knows. Throws
// ViewerError.
std::filesystem::path CreatePrivatePdf(const std::filesystem::path& folder,
                                       const std::filesystem::path& report);

} // namespace tolv::linux_edition
