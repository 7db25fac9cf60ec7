// Dialogs on the GTK backend: message boxes, the font dialog and the print
// set-up dialog, each run on the GTK thread while the window's thread that
// asked waits for the answer (as a Windows box holds its caller).
#include "platform/ui/gtk/gtk_backend.h"
#include "platform/ui/gtk/gtk_dialogs_font.h"
#include "platform/ui/gtk/gtk_message_box.h"
#include "platform/ui/gtk/gtk_print_dialog.h"
#include "platform/ui/window.h"

namespace kvp::detail::gtk {

namespace {

// The top-level window a dialog is kept above: the owner's, climbing from
// a child through its parents (null: no owner).
HWND TopLevelOwner(HWND owner) {
  for (int depth = 0; owner != nullptr && IsWindow(owner) && depth < 64; ++depth) {
    if ((static_cast<DWORD>(GetWindowLongPtrA(owner, GWL_STYLE)) & WS_CHILD) == 0) return owner;
    owner = GetParent(owner);
  }
  return nullptr;
}

// On the GTK thread: the GTK window of the owner, or null.
GtkWindow* ParentOf(HWND topLevel) {
  if (topLevel == nullptr) return nullptr;
  GtkWidget* widget = ToplevelOf(topLevel);
  return widget != nullptr && GTK_IS_WINDOW(widget) ? GTK_WINDOW(widget) : nullptr;
}

}  // namespace

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  // Window procedures never run on the GTK thread, so nothing there asks;
  // should anything, it must not wait for itself.
  if (OnGtkThread()) return HeadlessBackend().ShowMessageBox(owner, text, caption, type);
  const HWND topLevel = TopLevelOwner(owner);
  int answer = 0;
  RunOnGtkAndWait([&] { answer = RunMessageBox(ParentOf(topLevel), text, caption, type); });
  return answer;
}

BOOL ShowChooseFont(CHOOSEFONTA* choice) {
  if (OnGtkThread()) return HeadlessBackend().ShowChooseFont(choice);
  const HWND topLevel = TopLevelOwner(choice->hwndOwner);
  BOOL chosen = FALSE_;
  RunOnGtkAndWait([&] { chosen = RunFontDialog(ParentOf(topLevel), choice); });
  return chosen;
}

BOOL ShowPrintDlg(PRINTDLGA* choice) {
  if (OnGtkThread()) return HeadlessBackend().ShowPrintDlg(choice);
  const HWND topLevel = TopLevelOwner(choice->hwndOwner);
  DialogOutcome outcome = DialogOutcome::kCancelled;
  RunOnGtkAndWait([&] { outcome = RunPrintDialog(ParentOf(topLevel), choice); });
  return outcome == DialogOutcome::kChosen ? TRUE_ : FALSE_;
}

}  // namespace kvp::detail::gtk
