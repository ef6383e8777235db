// tolv-viewer REPORT: shows the PDF that a signed report carries.
// tolv-viewer --imza [REPORT]: the "İmza bilgisi" window of its signature.
// tolv-viewer --help, --version: on standard output, without a window.

#include "linux/FileMode.h"
#include "linux/MessageBox.h"
#include "linux/PreferencesWindow.h"
#include "linux/Settings.h"
#include "linux/SignatureWindow.h"
#include "linux/Texts.h"

#include <glib.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <exception>
#include <string_view>

using namespace tolv::linux_edition;

namespace {

// The desktop entry's "İmza bilgisi" action and the "Tolv İmza Bilgisi" entry.
constexpr char kSignatureInfoOption[] = "--imza";

constexpr char kUsage[] =
    "kullanım: tolv-viewer RAPOR.Tolv           raporun içindeki PDF belgesini gösterir\n"
    "          tolv-viewer --imza [RAPOR.Tolv]  raporun imza bilgisini gösterir\n"
    "          tolv-viewer                      tercihler penceresini açar\n"
    "          tolv-viewer --help | --version\n";

// The answer to --help or --version as the only argument; nothing otherwise.
const char* OptionAnswer(int argc, char** argv) {
    if (argc != 2)
        return nullptr;
    if (std::string_view(argv[1]) == "--help")
        return kUsage;
    if (std::string_view(argv[1]) == "--version")
        return "tolv-viewer " TOLV_VERSION_TEXT "\n";
    return nullptr;
}

void ShowUnexpected(const char* report, const std::string& what) {
    const std::string text = kUnexpectedError + what;
    ShowMessage(report ? ReportBoxText(report, text) : text, BoxKind::Plain);
}

} // namespace

int main(int argc, char** argv) {
    if (const char* answer = OptionAnswer(argc, argv)) {
        std::fputs(answer, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const char* report = nullptr; // in file mode, which every box names
    try {
        g_set_prgname(kAppId);
        g_set_application_name(kAppTitle);
        // No GTK option parsing: the one argument is the report, whatever it
        // says; only the verb's switch followed by a report is read as one.
        if (gtk_init_check(nullptr, nullptr))
            gtk_window_set_default_icon_name(kAppId);
        if (argc < 2 || argv[1][0] == '\0')
            return RunPreferences();
        if (argc >= 3 && std::string_view(argv[1]) == kSignatureInfoOption)
            return ShowSignatureWindow(argv[2], LoadSettings());
        // The menu's "Tolv İmza Bilgisi" entry, started without a report.
        if (argc == 2 && std::string_view(argv[1]) == kSignatureInfoOption) {
            const std::string chosen = ChooseReport();
            return chosen.empty() ? 1 : ShowSignatureWindow(chosen, LoadSettings());
        }
        report = argv[1];
        return ViewReport(report);
    } catch (const std::exception& error) {
        ShowUnexpected(report, error.what());
    } catch (...) {
        ShowUnexpected(report, "bilinmeyen hata");
    }
    return 1;
}
