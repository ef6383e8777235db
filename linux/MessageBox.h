#pragma once
// The message box of the Linux edition: a GTK message dialog with one OK
// button (or Evet and Hayır), a title and the icon of its kind, shown until
// it is answered.

#include "linux/Texts.h"

#include <gtk/gtk.h>

#include <string>

namespace tolv::linux_edition {

// Plain is the unexpected-error box, which has no icon on Windows either.
enum class BoxKind { Plain, Error, Warning, Information, Question };

// Lines are separated by '\n'. Without a display the text goes to standard
// error instead.
void ShowMessage(const std::string& text, BoxKind kind, const char* title = kAppTitle);

// A box with "Evet" and "Hayır", Hayır the default: true only for Evet. Esc
// and closing the box are Hayır, and so is a start without a display (the
// text then goes to standard error).
bool AskYesNo(const std::string& text, BoxKind kind, const char* title = kAppTitle);

// The same box built but not shown, for a window whose main loop runs: modal
// to parent. The caller shows it and destroys it on its "response".
GtkWidget* NewMessageDialog(const std::string& text, BoxKind kind, const char* title,
                            GtkWindow* parent);

// "_" marks a line break in the Windows edition's resource strings.
std::string ExpandLineMarks(std::string_view text);

} // namespace tolv::linux_edition
