// Injected input for the headless screen (no Windows equivalent; used by
// tests and the host's demonstrations).
//
// Mouse and key input is posted to the queue of the window's thread, as a
// real device would, and is taken in by the thread's message loop. A point
// is in the client coordinates of the window named; it goes to the deepest
// visible, enabled child under it, or to the capturing window (coordinates
// converted). Input to a disabled or hidden window is refused (FALSE).
#pragma once
#include <string>
#include <vector>

#include "platform/ui/window_types.h"

namespace kvp {

// WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP or
// WM_MOUSEMOVE at (x, y); the cursor moves there.
KVP_API BOOL InjectMouse(HWND window, UINT message, int x, int y);
// Down then up.
KVP_API BOOL InjectClick(HWND window, int x, int y, bool right);
// WM_KEYDOWN (down) or WM_KEYUP to the window.
KVP_API BOOL InjectKey(HWND window, UINT virtualKey, bool down);

// Choices for the menus tracked next, first in first out, process-wide: a
// command id, or 0 to dismiss.
KVP_API void QueueMenuChoice(UINT command);
KVP_API void ClearMenuChoices();
KVP_API size_t PendingMenuChoices();

// What the last tracked menu showed, for tests.
struct TrackedMenuItem {
  UINT flags;  // MF_SEPARATOR, MF_POPUP, MF_CHECKED, MF_GRAYED
  UINT id;
  std::string text;
  int depth;  // 0 for the tracked menu, 1 for its submenus, ...
};
struct TrackedMenu {
  bool tracked = false;
  POINT at{0, 0};
  HWND owner = nullptr;
  UINT chosen = 0;
  std::vector<TrackedMenuItem> items;
};
KVP_API TrackedMenu LastTrackedMenu();

}  // namespace kvp
