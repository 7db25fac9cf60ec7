// Injected mouse and key input on Windows, posted to the window's thread
// queue as the system posts a device's: to the deepest visible, enabled
// child under the point, or to the capturing window, in its own client
// coordinates. Input to a hidden or disabled window is refused.
#include "platform/kernel/win_types.h"
#include "platform/ui/input.h"
#include "platform/ui/input_common.h"
#include "platform/ui/messages.h"
#include "platform/ui/win32/user32.h"

namespace kvp {

namespace {

// Whether the window is shown and it and the parents it is a child of are
// enabled (the system's IsWindowEnabled looks at the window alone).
bool Reachable(HWND window) {
  if (!win32::IsWindowVisible(window)) return false;
  HWND at = window;
  for (int depth = 0; at != nullptr && depth < 1000; ++depth) {
    if (!win32::IsWindowEnabled(at)) return false;
    if ((static_cast<DWORD>(win32::GetWindowLongA(at, GWL_STYLE)) & WS_CHILD) == 0) return true;
    at = win32::GetParent(at);
  }
  return false;
}

// The deepest visible, enabled child of `window` under the screen point
// (the window itself when none).
HWND HitTest(HWND window, POINT screen) {
  for (int depth = 0; depth < 1000; ++depth) {
    POINT local = screen;
    win32::ScreenToClient(window, &local);
    HWND hit = win32::ChildWindowFromPointEx(window, local, win32::CWP_SKIPINVISIBLE);
    if (hit == nullptr || hit == window || !win32::IsWindowEnabled(hit)) return window;
    window = hit;
  }
  return window;
}

// Refuses what no device would reach, with the error the headless screen
// gives.
bool Refused(HWND window) {
  if (!win32::IsWindow(window)) return true;
  if (Reachable(window)) return false;
  SetLastError(ERROR_ACCESS_DENIED);
  return true;
}

}  // namespace

BOOL InjectMouse(HWND window, UINT message, int x, int y) {
  if (!detail::MouseMessageAccepted(message)) return FALSE_;
  if (Refused(window)) return FALSE_;
  POINT screen{x, y};
  win32::ClientToScreen(window, &screen);
  win32::SetCursorPos(screen.x, screen.y);
  HWND target = win32::GetCapture();
  if (target == nullptr) target = HitTest(window, screen);
  POINT local = screen;
  win32::ScreenToClient(target, &local);
  return win32::PostMessageA(target, message, detail::MouseKeys(message),
                             MAKELPARAM(static_cast<WORD>(local.x), static_cast<WORD>(local.y)));
}

BOOL InjectKey(HWND window, UINT virtualKey, bool down) {
  if (Refused(window)) return FALSE_;
  return win32::PostMessageA(window, down ? WM_KEYDOWN : WM_KEYUP, virtualKey,
                             detail::KeyFlags(down));
}

}  // namespace kvp
