// Showing, placing and sizing windows, the z-order and screen metrics.
#include <algorithm>

#include "platform/kernel/system.h"
#include "platform/ui/backend.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"
#include "platform/ui/window_state.h"

namespace kvp {

namespace {

using detail::Ui;

bool Topmost(HWND handle) {
  auto window = detail::FindWindowLocked(handle);
  return window && (window->exStyle & WS_EX_TOPMOST) != 0;
}

// Under the mutex: puts a top-level window into the z-order after
// `insertAfter` (HWND_TOP, HWND_BOTTOM, HWND_TOPMOST, HWND_NOTOPMOST or a
// window), or a child into its parent's list.
void Reorder(detail::Window& window, HWND insertAfter) {
  detail::UiState& ui = Ui();
  std::vector<HWND>* list = &ui.zOrder;
  if (window.parent != nullptr) {
    auto parent = detail::FindWindowLocked(window.parent);
    if (!parent) return;
    list = &parent->children;
  }
  list->erase(std::remove(list->begin(), list->end(), window.handle), list->end());
  if (window.parent == nullptr) {
    if (insertAfter == HWND_TOPMOST) window.exStyle |= WS_EX_TOPMOST;
    if (insertAfter == HWND_NOTOPMOST) window.exStyle &= ~WS_EX_TOPMOST;
    if (insertAfter != HWND_TOP && insertAfter != HWND_BOTTOM && insertAfter != HWND_TOPMOST &&
        insertAfter != HWND_NOTOPMOST) {
      // Behind a window means joining its band.
      if (Topmost(insertAfter)) {
        window.exStyle |= WS_EX_TOPMOST;
      } else {
        window.exStyle &= ~WS_EX_TOPMOST;
      }
    }
  }
  auto at = list->begin();
  if (insertAfter == HWND_BOTTOM) {
    at = list->end();
  } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST ||
             insertAfter == HWND_NOTOPMOST) {
    if ((window.exStyle & WS_EX_TOPMOST) == 0) {
      while (at != list->end() && Topmost(*at)) ++at;
    }
  } else {
    at = std::find(list->begin(), list->end(), insertAfter);
    if (at != list->end()) ++at;
  }
  if (insertAfter == HWND_BOTTOM && window.parent == nullptr &&
      (window.exStyle & WS_EX_TOPMOST) != 0) {
    window.exStyle &= ~WS_EX_TOPMOST;
  }
  list->insert(at, window.handle);
}

}  // namespace

BOOL ShowWindow(HWND window, int command) {
  bool was = false;
  bool activate = false;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return FALSE_;
    was = found->visible;
    const bool show = command != SW_HIDE;
    if (show == was) return was ? TRUE_ : FALSE_;
    found->visible = show;
    found->style = show ? (found->style | WS_VISIBLE) : (found->style & ~WS_VISIBLE);
    activate = show && found->parent == nullptr && command != SW_SHOWNOACTIVATE &&
               command != SW_SHOWNA && command != SW_SHOWMINNOACTIVE;
    if (!show && Ui().capture == window) Ui().capture = nullptr;
  }
  detail::CallProcedure(window, WM_SHOWWINDOW, command != SW_HIDE ? TRUE_ : FALSE_, 0);
  if (command != SW_HIDE) {
    InvalidateRect(window, nullptr, TRUE_);
  }
  if (activate) SetForegroundWindow(window);
  detail::NotifyChanged(window);
  return was ? TRUE_ : FALSE_;
}

BOOL IsWindowVisible(HWND window) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  for (int depth = 0; depth < 1000; ++depth) {
    auto found = detail::FindWindowLocked(window);
    if (!found || !found->visible) return FALSE_;
    if (found->parent == nullptr) return TRUE_;
    window = found->parent;
  }
  return FALSE_;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  bool moved = false;
  bool sized = false;
  SIZE client{};
  POINT origin{};
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return FALSE_;
    if ((flags & SWP_NOZORDER) == 0) {
      const bool special = insertAfter == HWND_TOP || insertAfter == HWND_BOTTOM ||
                           insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST;
      if (!special && (insertAfter == window || !detail::FindWindowLocked(insertAfter))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE_;
      }
      Reorder(*found, insertAfter);
    }
    RECT rect = found->rect;
    if ((flags & SWP_NOMOVE) == 0) {
      rect.right += x - rect.left;
      rect.bottom += y - rect.top;
      rect.left = x;
      rect.top = y;
    }
    if ((flags & SWP_NOSIZE) == 0) {
      rect.right = rect.left + std::clamp(width, 0, 16384);
      rect.bottom = rect.top + std::clamp(height, 0, 16384);
    }
    moved = rect.left != found->rect.left || rect.top != found->rect.top;
    sized = rect.right - rect.left != found->rect.right - found->rect.left ||
            rect.bottom - rect.top != found->rect.bottom - found->rect.top;
    found->rect = rect;
    client = detail::ClientSize(*found);
    origin = POINT{rect.left + detail::FrameInsets(found->style).left,
                   rect.top + detail::FrameInsets(found->style).top};
  }
  if ((flags & SWP_HIDEWINDOW) != 0) ShowWindow(window, SW_HIDE);
  if ((flags & SWP_SHOWWINDOW) != 0) ShowWindow(window, SW_SHOWNA);
  if (moved) {
    detail::CallProcedure(window, WM_MOVE, 0,
                          MAKELPARAM(static_cast<WORD>(origin.x), static_cast<WORD>(origin.y)));
  }
  if (sized) {
    detail::CallProcedure(window, WM_SIZE, 0,
                          MAKELPARAM(static_cast<WORD>(client.cx), static_cast<WORD>(client.cy)));
    if ((flags & SWP_NOREDRAW) == 0) InvalidateRect(window, nullptr, TRUE_);
  }
  if ((flags & SWP_NOACTIVATE) == 0 && GetParent(window) == nullptr && IsWindowVisible(window)) {
    SetForegroundWindow(window);
  }
  detail::NotifyChanged(window);
  return TRUE_;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  if (!SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE)) {
    return FALSE_;
  }
  if (repaint) InvalidateRect(window, nullptr, TRUE_);
  return TRUE_;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  if (rect == nullptr) return FALSE_;
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return FALSE_;
  *rect = found->rect;
  if (found->parent != nullptr) {
    auto parent = detail::FindWindowLocked(found->parent);
    if (parent) {
      const POINT base = detail::ClientOrigin(*parent);
      rect->left += base.x;
      rect->right += base.x;
      rect->top += base.y;
      rect->bottom += base.y;
    }
  }
  return TRUE_;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  if (rect == nullptr) return FALSE_;
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return FALSE_;
  const SIZE size = detail::ClientSize(*found);
  *rect = RECT{0, 0, size.cx, size.cy};
  return TRUE_;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  if (point == nullptr) return FALSE_;
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return FALSE_;
  const POINT origin = detail::ClientOrigin(*found);
  point->x += origin.x;
  point->y += origin.y;
  return TRUE_;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  if (point == nullptr) return FALSE_;
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return FALSE_;
  const POINT origin = detail::ClientOrigin(*found);
  point->x -= origin.x;
  point->y -= origin.y;
  return TRUE_;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD) {
  if (rect == nullptr) return FALSE_;
  const RECT frame = detail::FrameInsets(style);
  rect->left -= frame.left;
  rect->top -= frame.top;
  rect->right += frame.right;
  rect->bottom += frame.bottom;
  return TRUE_;
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return detail::CurrentBackend().ScreenWidth();
    case SM_CYSCREEN:
      return detail::CurrentBackend().ScreenHeight();
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CYCAPTION:
      return 20;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return 4;
    default:
      return 0;
  }
}

HWND GetParent(HWND window) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return nullptr;
  return found->parent != nullptr ? found->parent : found->owner;
}

HWND GetWindow(HWND window, UINT relation) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return nullptr;
  if (relation == GW_OWNER) return found->owner;
  if (relation == GW_CHILD) return found->children.empty() ? nullptr : found->children.front();
  const std::vector<HWND>* list = &Ui().zOrder;
  if (found->parent != nullptr) {
    auto parent = detail::FindWindowLocked(found->parent);
    if (!parent) return nullptr;
    list = &parent->children;
  }
  auto at = std::find(list->begin(), list->end(), window);
  if (at == list->end()) return nullptr;
  switch (relation) {
    case GW_HWNDFIRST:
      return list->front();
    case GW_HWNDLAST:
      return list->back();
    case GW_HWNDNEXT:
      return at + 1 != list->end() ? *(at + 1) : nullptr;
    case GW_HWNDPREV:
      return at != list->begin() ? *(at - 1) : nullptr;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* processId) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return 0;
  if (processId != nullptr) *processId = GetCurrentProcessId();
  return found->threadId;
}

BOOL SetForegroundWindow(HWND window) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return FALSE_;
  while (found && found->parent != nullptr) found = detail::FindWindowLocked(found->parent);
  if (!found) return FALSE_;
  Reorder(*found, HWND_TOP);
  Ui().foreground = found->handle;
  return TRUE_;
}

HWND GetForegroundWindow() {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  return Ui().foreground;
}

HWND SetActiveWindow(HWND window) {
  HWND previous = GetForegroundWindow();
  return SetForegroundWindow(window) ? previous : nullptr;
}

HWND GetActiveWindow() {
  return GetForegroundWindow();
}

BOOL BringWindowToTop(HWND window) {
  return SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace kvp
