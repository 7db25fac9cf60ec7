// Injected mouse and key input, posted like a device's.
#include "platform/ui/input.h"

#include "platform/ui/input_common.h"
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
  if (!detail::MouseMessageAccepted(message)) return FALSE_;
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
  return PostMessageA(target, message, detail::MouseKeys(message),
                      MAKELPARAM(static_cast<WORD>(local.x), static_cast<WORD>(local.y)));
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
  return PostMessageA(window, down ? WM_KEYDOWN : WM_KEYUP, virtualKey, detail::KeyFlags(down));
}

}  // namespace kvp
