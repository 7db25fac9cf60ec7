#include "platform/ui/input_common.h"

#include "platform/ui/input.h"
#include "platform/ui/messages.h"

namespace kvp {

namespace detail {

bool MouseMessageAccepted(UINT message) {
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_RBUTTONDOWN ||
      message == WM_RBUTTONUP || message == WM_MOUSEMOVE) {
    return true;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

WPARAM MouseKeys(UINT message) {
  if (message == WM_LBUTTONDOWN) return MK_LBUTTON;
  if (message == WM_RBUTTONDOWN) return MK_RBUTTON;
  return 0;
}

LPARAM KeyFlags(bool down) {
  return down ? 1 : static_cast<LPARAM>(0xC0000001u);
}

}  // namespace detail

BOOL InjectClick(HWND window, int x, int y, bool right) {
  if (!InjectMouse(window, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, x, y)) return FALSE_;
  return InjectMouse(window, right ? WM_RBUTTONUP : WM_LBUTTONUP, x, y);
}

}  // namespace kvp
