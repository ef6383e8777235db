#pragma once
// The viewer's settings in a key file: the user's
// $XDG_CONFIG_HOME/tolv-viewer/settings.ini, the desktop's defaults in
// $XDG_CONFIG_DIRS/tolv-viewer/settings.ini (/etc/xdg/tolv-viewer/settings.ini)
// and the administrator's policy in /etc/xdg/tolv-viewer/settings.ini and
// /etc/tolv-viewer/settings.ini.
//
//   [Viewer]
//   Browser=chrome     chrome, edge or desktop (the desktop's PDF application)
//   SavePDF=1          0 off, any other number on (the Windows edition's rule);
//                      true/false, yes/no, on/off as well
//   Frame=0            likewise
//   CheckSignature=1   likewise; 0 turns the signature check of file mode off
//   WarnUnverified=1   likewise; 0 opens a report whose signature could not be
//                      checked without asking (a broken one still asks)
//   OnlineRevocation=1 likewise; 0 keeps the "İmza bilgisi" window from asking
//                      a certificate's revocation online
//   WarnUntrusted=1    likewise; 0 opens an intact report whose signer no
//                      trusted anchor vouches for without asking
//
// The first three are the user's preferences: the user's file wins over the
// defaults. The last four are the administrator's policy: read from the fixed
// folders alone, whatever XDG_CONFIG_DIRS says (the user sets it), they win;
// the user's file counts only where they say nothing, and the preferences
// window neither shows nor writes them.
//
// A file that cannot be read, a Browser value that is none of the three and a
// switch that is neither a number nor one of those words are skipped, as if
// they were absent: the next file in that order, or the default, applies.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tolv::linux_edition {

enum class BrowserChoice { Chrome, Edge, Desktop };

struct Settings {
    // Empty: not set anywhere; the viewer then uses Chrome or Chromium where
    // installed, else the desktop's PDF application.
    std::optional<BrowserChoice> browser;
    bool savePDF = false;
    bool frame = false;
    bool checkSignature = true;
    bool warnUnverified = true;
    bool onlineRevocation = true;
    bool warnUntrusted = true;
};

inline constexpr char kSettingsGroup[] = "Viewer";
inline constexpr char kBrowserKey[] = "Browser";
inline constexpr char kSavePDFKey[] = "SavePDF";
inline constexpr char kFrameKey[] = "Frame";
inline constexpr char kCheckSignatureKey[] = "CheckSignature";
inline constexpr char kWarnUnverifiedKey[] = "WarnUnverified";
inline constexpr char kOnlineRevocationKey[] = "OnlineRevocation";
inline constexpr char kWarnUntrustedKey[] = "WarnUntrusted";

// An on/off setting: true, yes, on / false, no, off (any letter case, blanks
// around ignored), or a number read by the Windows edition's rule (0 off, any
// other on). Empty for any other text.
std::optional<bool> ParseSwitch(std::string_view text);

// "chrome", "edge", "desktop" (any letter case, blanks around ignored).
std::optional<BrowserChoice> ParseBrowserChoice(std::string_view text);
const char* BrowserChoiceName(BrowserChoice choice);

// The user's file, then the defaults of each folder of XDG_CONFIG_DIRS, most
// important first.
std::vector<std::filesystem::path> SettingsFiles();
std::filesystem::path UserSettingsFile();

// The administrator's files under etc: etc/xdg/tolv-viewer/settings.ini, then
// etc/tolv-viewer/settings.ini.
std::vector<std::filesystem::path> PolicyFiles(const std::filesystem::path& etc);
// /etc; in the tests' own builds (TOLV_TEST_SYSCONFDIR_HOOK, never the
// package's) $TOLV_TEST_SYSCONFDIR where set, so that a test can play the
// administrator.
std::filesystem::path SystemConfigFolder();

// Each preference from the first of files that holds a usable value for it;
// each switch of the policy from the first of policyFiles, then from the
// first of files (the user's).
Settings LoadSettings(const std::vector<std::filesystem::path>& files,
                      const std::vector<std::filesystem::path>& policyFiles);
inline Settings LoadSettings() {
    return LoadSettings(SettingsFiles(), PolicyFiles(SystemConfigFolder()));
}

// Writes the three preferences into the user's file and keeps whatever else it
// holds (comments, other keys). The new content goes to a new file in the same
// folder, is flushed to disk and then renamed over the old one, so a crash
// leaves the old file or the new one, never half of one. Answers an empty
// text on success, else why it failed (for the user). An unset browser is
// written as no Browser key at all. Where the file is a symbolic link, its
// target is replaced and the link stays; the file keeps its mode.
std::string SaveSettings(const Settings& settings, const std::filesystem::path& file);
inline std::string SaveSettings(const Settings& settings) {
    return SaveSettings(settings, UserSettingsFile());
}

} // namespace tolv::linux_edition
