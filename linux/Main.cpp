// tolv-viewer REPORT: shows the PDF that a signed report carries.

#include "linux/FileMode.h"
#include "linux/MessageBox.h"
#include "linux/PreferencesWindow.h"
#include "linux/Texts.h"

#include <glib.h>
#include <gtk/gtk.h>

#include <exception>

using namespace tolv::linux_edition;

int main(int argc, char** argv) {
    try {
        g_set_prgname(kAppId);
        g_set_application_name(kAppTitle);
        // No GTK option parsing: the one argument is the report, whatever it says.
        if (gtk_init_check(nullptr, nullptr))
            gtk_window_set_default_icon_name(kAppId);
        if (argc < 2 || argv[1][0] == '\0')
            return RunPreferences();
        return ViewReport(argv[1]);
    } catch (const std::exception& error) {
        ShowMessage(std::string(kUnexpectedError) + error.what(), BoxKind::Plain);
    } catch (...) {
        ShowMessage(std::string(kUnexpectedError) + "bilinmeyen hata", BoxKind::Plain);
    }
    return 1;
}
