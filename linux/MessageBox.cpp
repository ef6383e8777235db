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
    case BoxKind::Question:
        return GTK_MESSAGE_QUESTION;
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
    case BoxKind::Question:
        return "dialog-question";
    case BoxKind::Plain:
        break;
    }
    return nullptr;
}

GtkWidget* NewDialog(const std::string& text, BoxKind kind, const char* title, GtkWindow* parent,
                     GtkButtonsType buttons) {
    // A file name in the text may not be UTF-8; GTK shows only UTF-8.
    UniqueGChar valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
    GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, MessageType(kind), buttons,
                                               "%s", valid.get());
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
    return dialog;
}

bool HasDisplay(const std::string& text, const char* title) {
    if (gdk_display_get_default())
        return true;
    UniqueGChar valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
    std::fprintf(stderr, "%s: %s\n", title, valid.get());
    return false;
}

// Runs the box until it is answered and lets it go away before the program
// goes on (or ends).
int RunDialog(GtkWidget* dialog) {
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    while (gtk_events_pending())
        gtk_main_iteration();
    return response;
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
    GtkWidget* dialog = NewDialog(text, kind, title, parent, GTK_BUTTONS_OK);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    return dialog;
}

void ShowMessage(const std::string& text, BoxKind kind, const char* title) {
    if (HasDisplay(text, title))
        RunDialog(NewMessageDialog(text, kind, title, nullptr));
}

bool AskYesNo(const std::string& text, BoxKind kind, const char* title) {
    if (!HasDisplay(text, title))
        return false;
    GtkWidget* dialog = NewDialog(text, kind, title, nullptr, GTK_BUTTONS_NONE);
    // The affirmative button on the right, as GNOME places it.
    gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_Hayır", GTK_RESPONSE_NO, "_Evet", GTK_RESPONSE_YES,
                           nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_NO);
    return RunDialog(dialog) == GTK_RESPONSE_YES;
}

} // namespace tolv::linux_edition
