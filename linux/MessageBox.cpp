#include "linux/MessageBox.h"

#include "linux/GPtr.h"

#include <gtk/gtk.h>

#include <cstdio>

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
        // Setting the image resets the kind, which assistive technology reads.
        g_object_set(dialog, "message-type", MessageType(kind), nullptr);
    }
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
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
