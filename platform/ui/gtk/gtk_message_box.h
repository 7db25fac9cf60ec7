// Message boxes as GTK message dialogs: the button set, icon and default
// button of the box's type, modal over its owner. Runs on the thread that
// drives GTK; the answer is the Windows result code (IDOK, IDCANCEL, ...).
#pragma once
#include <gtk/gtk.h>

#include "platform/ui/message_box.h"

namespace kvp::detail::gtk {

// `parent` may be null (a box with no owner). A null caption reads "Error",
// as on Windows.
int RunMessageBox(GtkWindow* parent, const char* text, const char* caption, UINT type);

// The answer a box of `type` gives when it is closed rather than answered
// (Escape, the close button): IDCANCEL where there is a Cancel button, IDOK
// for a lone OK, 0 where the box cannot be closed that way (Yes/No,
// Abort/Retry/Ignore).
KVP_API int CloseAnswer(UINT type);

}  // namespace kvp::detail::gtk
