// The font dialog as GTK's font chooser, with the Windows dialog's effects
// (colour, underline, strike-out) below it. Runs on the thread that drives
// GTK.
#pragma once
#include <gtk/gtk.h>

#include "platform/ui/dialogs.h"

namespace kvp::detail::gtk {

// `choice` has been checked (size, font record). On OK fills its LOGFONTA
// (face, height, weight, italic and, with CF_EFFECTS, underline and
// strike-out), iPointSize and, with CF_EFFECTS, rgbColors; answers TRUE.
// Cancel or closing leaves the records as they were and answers FALSE.
BOOL RunFontDialog(GtkWindow* parent, CHOOSEFONTA* choice);

}  // namespace kvp::detail::gtk
