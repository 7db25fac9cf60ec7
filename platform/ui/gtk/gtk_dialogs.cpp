// Dialogs on the GTK backend. Until they are shown as GTK dialogs they are
// answered as on the headless screen, so that nothing waits for a dialog
// nobody can see: a message box prints itself and answers its default
// button, the font and print dialogs are cancelled.
#include "platform/ui/gtk/gtk_backend.h"

namespace kvp::detail::gtk {

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  return HeadlessBackend().ShowMessageBox(owner, text, caption, type);
}

BOOL ShowChooseFont(CHOOSEFONTA* choice) {
  return HeadlessBackend().ShowChooseFont(choice);
}

BOOL ShowPrintDlg(PRINTDLGA* choice) {
  return HeadlessBackend().ShowPrintDlg(choice);
}

}  // namespace kvp::detail::gtk
