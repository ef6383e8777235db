#include "linux/MessageBox.h"

#include "linux/GPtr.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <vector>

namespace tolv::linux_edition {

namespace {

GtkMessageType MessageType(BoxKind kind) {
    switch (kind) {
    case BoxKind::Error:
        return GTK_MESSAGE_ERROR;
    case BoxKind::Warning:
        return GTK_MESSAGE_WARNING;
    case BoxKind::Information:
        return GTK_MESSAGE_INFO;
    case BoxKind::Plain:
        break;
    }
    return GTK_MESSAGE_OTHER;
}

const char* IconName(BoxKind kind) {
    switch (kind) {
    case BoxKind::Error:
        return "dialog-error";
    case BoxKind::Warning:
        return "dialog-warning";
    case BoxKind::Information:
        return "dialog-information";
    case BoxKind::Plain:
        break;
    }
    return nullptr;
}

void CollectButtons(GtkWidget* widget, gpointer data) {
    if (GTK_IS_BUTTON(widget))
        static_cast<std::vector<GtkWidget*>*>(data)->push_back(widget);
    else if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), CollectButtons, data);
}

std::string JsonString(const char* text) {
    std::string out = "\"";
    for (const char* p = text ? text : ""; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += *p;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += *p;
        }
    }
    return out + "\"";
}

// TOLV_VIEWER_BOX_LOG names a file that gets one JSON line for each box, read
// back from the dialog as it was built, for the tests; the dialog is shown all
// the same.
void RecordDialog(GtkWidget* dialog) {
    const char* log = g_getenv("TOLV_VIEWER_BOX_LOG");
    if (!log || !*log)
        return;
    gchar* text = nullptr;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    g_object_get(dialog, "text", &text, "message-type", &type, nullptr);
    UniqueGChar ownedText(text);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GtkWidget* image = gtk_message_dialog_get_image(GTK_MESSAGE_DIALOG(dialog));
    G_GNUC_END_IGNORE_DEPRECATIONS
    const gchar* iconName = nullptr;
    if (image && GTK_IS_IMAGE(image) &&
        gtk_image_get_storage_type(GTK_IMAGE(image)) == GTK_IMAGE_ICON_NAME)
        gtk_image_get_icon_name(GTK_IMAGE(image), &iconName, nullptr);
    GEnumClass* types = G_ENUM_CLASS(g_type_class_ref(GTK_TYPE_MESSAGE_TYPE));
    const char* typeName = g_enum_get_value(types, type)->value_nick;
    std::vector<GtkWidget*> buttons;
    gtk_container_forall(GTK_CONTAINER(dialog), CollectButtons, &buttons);
    std::string line = "{\"title\": " + JsonString(gtk_window_get_title(GTK_WINDOW(dialog))) +
                       ", \"type\": " + JsonString(typeName) +
                       ", \"icon\": " + JsonString(iconName) + ", \"text\": " + JsonString(text) +
                       ", \"buttons\": [";
    for (size_t i = 0; i < buttons.size(); ++i) {
        GtkWidget* ok = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
        line += (i ? ", " : "") + std::string("{\"label\": ") +
                JsonString(gtk_button_get_label(GTK_BUTTON(buttons[i]))) +
                ", \"ok\": " + (buttons[i] == ok ? "true" : "false") + "}";
    }
    line += "]}\n";
    g_type_class_unref(types);
    if (FILE* file = std::fopen(log, "a")) {
        std::fputs(line.c_str(), file);
        std::fclose(file);
    }
}

} // namespace

std::string ExpandLineMarks(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '_')
            c = '\n';
    return out;
}

GtkWidget* NewMessageDialog(const std::string& text, BoxKind kind, const char* title,
                            GtkWindow* parent) {
    // A file name in the text may not be UTF-8; GTK shows only UTF-8.
    UniqueGChar valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
    GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, MessageType(kind),
                                               GTK_BUTTONS_OK, "%s", valid.get());
    gtk_window_set_title(GTK_WINDOW(dialog), title);
    gtk_window_set_position(GTK_WINDOW(dialog),
                            parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    if (!parent)
        gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    // GTK 3 message dialogs no longer draw their kind; the icon tells it, as
    // on Windows and in Xfce's own dialogs.
    if (const char* icon = IconName(kind)) {
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), image);
        G_GNUC_END_IGNORE_DEPRECATIONS
        gtk_widget_show(image);
    }
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    RecordDialog(dialog);
    return dialog;
}

void ShowMessage(const std::string& text, BoxKind kind, const char* title) {
    if (!gdk_display_get_default()) {
        UniqueGChar valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
        std::fprintf(stderr, "%s: %s\n", title, valid.get());
        return;
    }
    GtkWidget* dialog = NewMessageDialog(text, kind, title, nullptr);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    // Let the window go away before the program ends.
    while (gtk_events_pending())
        gtk_main_iteration();
}

} // namespace tolv::linux_edition
