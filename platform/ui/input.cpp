// Injected mouse and key input, posted like a device's.
#include "platform/ui/input.h"

#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "platform/ui/window_state.h"

namespace kvp {

namespace {

using detail::Ui;

bool Inside(const RECT& rect, POINT point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
         point.y < rect.bottom;
}

// Under the mutex: whether the window and its ancestors are shown and
// enabled.
bool Reachable(const detail::Window& window) {
  const detail::Window* at = &window;
  for (int depth = 0; at != nullptr && depth < 1000; ++depth) {
    if (!at->visible || !at->enabled) return false;
    if (at->parent == nullptr) return true;
    auto parent = detail::FindWindowLocked(at->parent);
    at = parent.get();
  }
  return false;
}

// Under the mutex: the deepest visible, enabled child of `window` under
// the screen point (the window itself when none).
std::shared_ptr<detail::Window> HitTest(std::shared_ptr<detail::Window> window, POINT screen) {
  for (int depth = 0; depth < 1000; ++depth) {
    std::shared_ptr<detail::Window> hit;
    const POINT origin = detail::ClientOrigin(*window);
    const POINT local{screen.x - origin.x, screen.y - origin.y};
    for (HWND each : window->children) {
      auto child = detail::FindWindowLocked(each);
      if (child && child->visible && Inside(child->rect, local)) {
        hit = child;
        break;
      }
    }
    if (!hit || !hit->enabled) return window;
    window = hit;
  }
  return window;
}

}  // namespace

BOOL InjectMouse(HWND window, UINT message, int x, int y) {
  if (message != WM_LBUTTONDOWN && message != WM_LBUTTONUP && message != WM_RBUTTONDOWN &&
      message != WM_RBUTTONUP && message != WM_MOUSEMOVE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  HWND target = nullptr;
  POINT local{};
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return FALSE_;
    if (!Reachable(*found)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE_;
    }
    const POINT origin = detail::ClientOrigin(*found);
    const POINT screen{origin.x + x, origin.y + y};
    Ui().cursorPos = screen;
    std::shared_ptr<detail::Window> receiver;
    if (Ui().capture != nullptr) receiver = detail::FindWindowLocked(Ui().capture);
    if (!receiver) receiver = HitTest(found, screen);
    const POINT base = detail::ClientOrigin(*receiver);
    local = POINT{screen.x - base.x, screen.y - base.y};
    target = receiver->handle;
  }
  WPARAM keys = 0;
  if (message == WM_LBUTTONDOWN) keys = MK_LBUTTON;
  if (message == WM_RBUTTONDOWN) keys = MK_RBUTTON;
  return PostMessageA(target, message, keys,
                      MAKELPARAM(static_cast<WORD>(local.x), static_cast<WORD>(local.y)));
}

BOOL InjectClick(HWND window, int x, int y, bool right) {
  if (!InjectMouse(window, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, x, y)) return FALSE_;
  return InjectMouse(window, right ? WM_RBUTTONUP : WM_LBUTTONUP, x, y);
}

BOOL InjectKey(HWND window, UINT virtualKey, bool down) {
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return FALSE_;
    if (!Reachable(*found)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE_;
    }
  }
  const LPARAM flags = down ? 1 : static_cast<LPARAM>(0xC0000001u);
  return PostMessageA(window, down ? WM_KEYDOWN : WM_KEYUP, virtualKey, flags);
}

}  // namespace kvp
