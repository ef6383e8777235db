#pragma once
// Starting the browser, or the desktop's PDF application, and waiting for it.

#include "linux/Settings.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tolv::linux_edition {

// The program names looked up on PATH, best first: Google Chrome, then
// Chromium (what Debian and Pardus ship); Microsoft Edge for Linux.
const std::vector<std::string>& BrowserPrograms(BrowserChoice choice);

// The full path of the first of BrowserPrograms(choice) found on PATH, or
// empty. Desktop has no program of its own and always gives empty.
std::string FindBrowser(BrowserChoice choice);

// What the viewer uses when no setting names a browser: Chrome or Chromium
// where installed, else the desktop's PDF application.
BrowserChoice DefaultBrowser();

// The browser's argv: the program and the PDF's file:// URL; with the frame,
// an application window of the Windows edition's size and position.
std::vector<std::string> BrowserArgv(const std::string& program, const std::string& url,
                                     bool frame);

// The file:// URL of a path, percent-encoded UTF-8 (blanks, '#', '%' and
// Turkish letters included). Empty when the path is not absolute.
std::string FileUri(const std::filesystem::path& path);

// Starts argv in the home folder and waits for it: true only if it started
// and ended with exit code 0.
bool RunAndWait(const std::vector<std::string>& argv);

// Opens the PDF with the desktop's default application for PDF files and
// waits for the process it starts: true if there is one, it started and it
// ended with exit code 0. An application started over D-Bus (DBusActivatable)
// is waited for until it has answered the request to open the file: true if
// it took it.
bool OpenWithDesktopApp(const std::filesystem::path& pdf);

} // namespace tolv::linux_edition
