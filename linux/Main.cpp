// tolv-viewer REPORT: shows the PDF that a signed report carries.
// tolv-viewer --imza REPORT: what the check of its signature found.

#include "linux/FileMode.h"
#include "linux/MessageBox.h"
#include "linux/PreferencesWindow.h"
#include "linux/Texts.h"

#include <glib.h>
#include <gtk/gtk.h>

#include <exception>
#include <string_view>

using namespace tolv::linux_edition;

namespace {

// The desktop entry's "İmza bilgisi" action.
constexpr char kSignatureInfoOption[] = "--imza";

} // namespace

int main(int argc, char** argv) {
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
            return ShowSignatureInfo(argv[2]);
        return ViewReport(argv[1]);
    } catch (const std::exception& error) {
        ShowMessage(std::string(kUnexpectedError) + error.what(), BoxKind::Plain);
    } catch (...) {
        ShowMessage(std::string(kUnexpectedError) + "bilinmeyen hata", BoxKind::Plain);
    }
    return 1;
}
