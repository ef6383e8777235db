#include "linux/PreferencesWindow.h"

#include "linux/GPtr.h"
#include "linux/Launch.h"
#include "linux/MessageBox.h"
#include "linux/Settings.h"
#include "linux/Texts.h"

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <array>
#include <string>

namespace tolv::linux_edition {

namespace {

constexpr char kWindowTitle[] = "TolvViewer - Tercihler";
// On Linux the package made the association when it was installed.
constexpr char kIntro[] = "Kurulum paketi, imzalı rapor tolv dosyalarını 'TolvViewer' ile "
                          "ilişkilendirdi. İmzalı dosya içeriklerini görmek için üzerlerine "
                          "çift tıklatın.";
constexpr char kBrowserGroup[] = "PDF Gösterimi Kullanılacak Tarayıcı";
constexpr char kNotInstalled[] = " (kurulu değil)";
constexpr char kChromiumLabel[] = "_Chromium";

// The options in the order of the group; the Windows edition has the first two.
struct BrowserOption {
    BrowserChoice choice;
    const char* label;
};
constexpr std::array<BrowserOption, 3> kBrowserOptions{{
    {BrowserChoice::Chrome, "_Google Chrome"},
    {BrowserChoice::Edge, "Microsoft _Edge"},
    {BrowserChoice::Desktop, "_Masaüstünün PDF uygulaması"},
}};

struct Window {
    GtkWidget* window = nullptr;
    std::array<GtkWidget*, kBrowserOptions.size()> browsers{};
    GtkWidget* savePDF = nullptr;
    GtkWidget* frame = nullptr;
    GtkWidget* save = nullptr;
    bool saveFailed = false;
};

bool Installed(BrowserChoice choice) {
    if (choice != BrowserChoice::Desktop)
        return !FindBrowser(choice).empty();
    UniqueGObject<GAppInfo> app(g_app_info_get_default_for_type("application/pdf", FALSE));
    return app != nullptr;
}

// The option's text, with the name of the desktop's application where there is
// one and a word when the browser is missing: it stays choosable, since it may
// be installed later.
std::string OptionLabel(const BrowserOption& option) {
    std::string label = option.label;
    // What will start: Chromium where it stands in for Chrome.
    if (option.choice == BrowserChoice::Chrome) {
        const std::string program = FindBrowser(option.choice);
        UniqueGChar name(g_path_get_basename(program.c_str()));
        if (!program.empty() && g_str_has_prefix(name.get(), "chromium"))
            return kChromiumLabel;
    }
    if (option.choice == BrowserChoice::Desktop) {
        UniqueGObject<GAppInfo> app(g_app_info_get_default_for_type("application/pdf", FALSE));
        if (app)
            return label + " (" + g_app_info_get_display_name(app.get()) + ")";
    }
    return Installed(option.choice) ? label : label + kNotInstalled;
}

Settings Chosen(const Window& w) {
    Settings settings;
    for (size_t i = 0; i < kBrowserOptions.size(); ++i)
        if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.browsers[i])))
            settings.browser = kBrowserOptions[i].choice;
    settings.savePDF = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.savePDF));
    settings.frame = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.frame));
    return settings;
}

void Show(const Window& w, const Settings& settings) {
    const BrowserChoice browser = settings.browser.value_or(DefaultBrowser());
    for (size_t i = 0; i < kBrowserOptions.size(); ++i)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.browsers[i]),
                                     kBrowserOptions[i].choice == browser);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.savePDF), settings.savePDF);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.frame), settings.frame);
}

// Saving and cancelling both end the program, as on Windows: the window is not
// left open for a second attempt after a failed save.
void OnSave(GtkButton*, gpointer data) {
    Window& w = *static_cast<Window*>(data);
    const std::string error = SaveSettings(Chosen(w));
    if (error.empty()) {
        gtk_widget_destroy(w.window);
        return;
    }
    w.saveFailed = true;
    GtkWidget* box = NewMessageDialog(error, BoxKind::Error, kAppTitle, GTK_WINDOW(w.window));
    g_signal_connect_swapped(box, "response", G_CALLBACK(gtk_widget_destroy), w.window);
    gtk_widget_show(box);
}

void OnCancel(GtkButton*, gpointer data) {
    gtk_widget_destroy(static_cast<Window*>(data)->window);
}

// The boxes of the window run in its own main loop: a nested loop of a box
// run to completion would hold up the accessibility bus as well.
void OnAbout(GtkButton*, gpointer data) {
    Window& w = *static_cast<Window*>(data);
    GtkWidget* box = NewMessageDialog(ExpandLineMarks(kAboutText), BoxKind::Information,
                                      kAboutTitle, GTK_WINDOW(w.window));
    g_signal_connect(box, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    gtk_widget_show(box);
}

// Enter saves from anywhere but a push button (which it presses), Esc closes
// without saving: the Windows window's default and cancel buttons. GTK's own
// check and option buttons would take Enter as a toggle.
gboolean OnKeyPress(GtkWidget* window, GdkEventKey* event, gpointer) {
    if (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK))
        return FALSE;
    if (event->keyval == GDK_KEY_Escape) {
        gtk_widget_destroy(window);
        return TRUE;
    }
    const bool enter = event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter ||
                       event->keyval == GDK_KEY_ISO_Enter;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
    if (enter && focus && GTK_IS_TOGGLE_BUTTON(focus)) {
        gtk_window_activate_default(GTK_WINDOW(window));
        return TRUE;
    }
    return FALSE;
}

GtkWidget* IntroLabel() {
    GtkWidget* label = gtk_label_new(nullptr);
    UniqueGChar markup(g_markup_printf_escaped("<b>%s</b>", kIntro));
    gtk_label_set_markup(GTK_LABEL(label), markup.get());
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    return label;
}

GtkWidget* BrowserGroup(Window& w) {
    GtkWidget* frame = gtk_frame_new(kBrowserGroup);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    GSList* group = nullptr;
    for (size_t i = 0; i < kBrowserOptions.size(); ++i) {
        const std::string label = OptionLabel(kBrowserOptions[i]);
        w.browsers[i] = gtk_radio_button_new_with_mnemonic(group, label.c_str());
        group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(w.browsers[i]));
        gtk_box_pack_start(GTK_BOX(box), w.browsers[i], FALSE, FALSE, 0);
    }
    gtk_container_add(GTK_CONTAINER(frame), box);
    return frame;
}

GtkWidget* Button(const char* mnemonic, GCallback handler, Window& w) {
    GtkWidget* button = gtk_button_new_with_mnemonic(mnemonic);
    g_signal_connect(button, "clicked", handler, &w);
    return button;
}

GtkWidget* Buttons(Window& w) {
    GtkWidget* box = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_button_box_set_layout(GTK_BUTTON_BOX(box), GTK_BUTTONBOX_END);
    gtk_box_set_spacing(GTK_BOX(box), 6);
    w.save = Button("_Kaydet", G_CALLBACK(OnSave), w);
    gtk_container_add(GTK_CONTAINER(box), Button("_Hakkında", G_CALLBACK(OnAbout), w));
    gtk_container_add(GTK_CONTAINER(box), w.save);
    gtk_container_add(GTK_CONTAINER(box), Button("_İptal", G_CALLBACK(OnCancel), w));
    return box;
}

void Build(GtkApplication* app, Window& w) {
    w.window = gtk_application_window_new(app);
    gtk_window_set_title(GTK_WINDOW(w.window), kWindowTitle);
    gtk_window_set_resizable(GTK_WINDOW(w.window), FALSE);
    gtk_window_set_position(GTK_WINDOW(w.window), GTK_WIN_POS_CENTER);
    gtk_window_set_icon_name(GTK_WINDOW(w.window), kAppId);

    GtkWidget* content = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_container_set_border_width(GTK_CONTAINER(content), 12);
    gtk_box_pack_start(GTK_BOX(content), IntroLabel(), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(content), BrowserGroup(w), FALSE, FALSE, 0);

    GtkWidget* checks = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    w.savePDF =
        gtk_check_button_new_with_mnemonic("Çıktı dosyasını masaüstünde _PDF olarak oluştur");
    w.frame = gtk_check_button_new_with_mnemonic("_Ayrı çerçevede göster");
    gtk_box_pack_start(GTK_BOX(checks), w.savePDF, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(checks), w.frame, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(content), checks, FALSE, FALSE, 0);

    gtk_box_pack_start(GTK_BOX(content), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE,
                       FALSE, 0);
    gtk_box_pack_start(GTK_BOX(content), Buttons(w), FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(w.window), content);

    gtk_widget_set_can_default(w.save, TRUE);
    gtk_window_set_default(GTK_WINDOW(w.window), w.save);
    g_signal_connect(w.window, "key-press-event", G_CALLBACK(OnKeyPress), nullptr);

    Show(w, LoadSettings());
    gtk_widget_show_all(w.window);
    // The Windows window opens with the focus on the desktop check box.
    gtk_widget_grab_focus(w.savePDF);
}

void OnActivate(GtkApplication* app, gpointer data) {
    Window& w = *static_cast<Window*>(data);
    if (w.window) {
        // A second start: the running instance is asked to activate.
        gtk_window_present(GTK_WINDOW(w.window));
        return;
    }
    Build(app, w);
    g_signal_connect(w.window, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer data) {
                         static_cast<Window*>(data)->window = nullptr;
                     }),
                     &w);
}

} // namespace

int RunPreferences() {
    // One window per user session: a second start finds the first over D-Bus
    // and has it brought to the front. Without a session bus each start is
    // on its own.
    UniqueGObject<GtkApplication> app(gtk_application_new(
        (std::string(kAppId) + ".Preferences").c_str(), G_APPLICATION_DEFAULT_FLAGS));
    Window w;
    g_signal_connect(app.get(), "activate", G_CALLBACK(OnActivate), &w);
    const int status = g_application_run(G_APPLICATION(app.get()), 0, nullptr);
    return status != 0 ? status : w.saveFailed ? 1 : 0;
}

} // namespace tolv::linux_edition
