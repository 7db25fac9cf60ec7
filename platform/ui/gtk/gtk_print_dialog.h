// The print set-up dialog as GTK's print dialog. OK gives a printer context
// of the graphics layer (a PDF document) for the printer chosen: the
// "Print to File" printer writes the file the dialog names, any other
// printer is a CUPS queue that the document is handed to. Runs on the
// thread that drives GTK.
#pragma once
#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>

#include <string>

#include "platform/gdi/printer.h"
#include "platform/ui/dialogs.h"

namespace kvp::detail::gtk {

enum class DialogOutcome { kChosen, kCancelled, kFailed };

// `choice` has been checked (size). With PD_RETURNDC the context is in
// hDC (the caller deletes it); with PD_RETURNDEFAULT no dialog is shown
// and the default printer is taken. kFailed when the context cannot be
// made for the printer chosen.
DialogOutcome RunPrintDialog(GtkWindow* parent, PRINTDLGA* choice);

// The port CreateDCA is given for the printer chosen: the file's path for
// the printer that prints to a file (its output URI, a file: URI), the
// queue's name for any other. Empty when the URI is not a local file.
KVP_API std::string PortOfPrinter(bool toFile, const char* printerName, const char* outputUri);

// The printer the dialog starts on, from the default printer of the
// profile ("driver,device,port" under "device" in "windows"): a port that
// is a path (or empty: "kvprint.pdf" in the Windows directory) is the file
// printer with that file; any other names a queue.
struct StartPrinter {
  bool toFile = true;
  std::string queue;
  std::string file;
};
KVP_API StartPrinter DefaultPrinter();

// The paper of a page set-up as the printer context's DEVMODEA (tenths of
// a millimetre, turned as the page is).
KVP_API DEVMODEA PaperOf(GtkPageSetup* setup);

}  // namespace kvp::detail::gtk
