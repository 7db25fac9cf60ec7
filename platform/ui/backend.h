// Internal: the seam between the window system and what shows it.
//
// The window code keeps every window, queue and menu itself; a backend only
// answers what a person would (a menu choice, a dialog) and hears what
// changed so that it can show it. The headless backend answers from queued
// test input; a desktop backend answers from a real screen.
//
// Every call may come from any thread that owns windows, never with the
// window table's mutex held. A backend must not call a window procedure
// from a thread of its own: what the user did reaches the windows as posted
// messages on their thread's queue.
#pragma once
#include <cstddef>
#include <vector>

#include "platform/ui/dialogs.h"
#include "platform/ui/input.h"
#include "platform/ui/window_types.h"

namespace kvp::detail {

class Backend {
 public:
  virtual ~Backend() = default;
  // "headless" or "gtk".
  virtual const char* Name() const = 0;
  virtual int ScreenWidth() const = 0;
  virtual int ScreenHeight() const = 0;
  // The command chosen in a menu shown at `at` (screen coordinates), 0 when
  // dismissed. `items` is the menu flattened, submenus after their item.
  virtual UINT ChooseFromMenu(HWND owner, POINT at, const std::vector<TrackedMenuItem>& items) = 0;
  // A window's picture changed (painted, shown, moved, resized, hidden), or
  // the window is gone (the handle is no longer valid).
  virtual void WindowChanged(HWND window) = 0;
  // The cursor set with SetCursor (null: none) and the capturing window
  // (null: released).
  virtual void CursorChanged(HCURSOR cursor) = 0;
  virtual void CaptureChanged(HWND capture) = 0;
  // Dialogs that no hook answered. Headless: the box's caption and text
  // on stderr and its default button; font and print dialogs cancelled.
  virtual int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;
  virtual BOOL ShowChooseFont(CHOOSEFONTA* choice) = 0;
  virtual BOOL ShowPrintDlg(PRINTDLGA* choice) = 0;
  // Waits until the backend has shown every change told so far.
  virtual void Flush() = 0;
  // Objects the backend still holds for windows, menus and dialogs (0 for
  // the headless backend, which holds none).
  virtual size_t LiveObjects() = 0;
};

// The backend in use, chosen once at first use (backend_select.cpp).
Backend& CurrentBackend();
// The headless backend (always available). Exported for the GTK backend's
// library, whose menus and dialogs fall back on it.
KVP_API Backend& HeadlessBackend();

// The oldest queued menu choice (input.h), taken from the queue; false when
// none is queued.
bool TakeMenuChoice(UINT* chosen);

// The headless answer to a message box: its default button (MB_DEFBUTTON2/3
// choose the second/third; the first when the chosen one does not exist).
int DefaultMessageBoxButton(UINT type);

}  // namespace kvp::detail
