// Creating and destroying windows, and calling their procedures.
#include <algorithm>

#include "platform/kernel/threads.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"
#include "platform/ui/window_state.h"

namespace kvp {

namespace detail {

LRESULT CallProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC procedure = nullptr;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = FindWindowLocked(window);
    if (!found) return 0;
    procedure = found->procedure;
  }
  return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}

}  // namespace detail

namespace {

using detail::Ui;

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
constexpr int kLargestSide = 16384;

int ClampSide(int side) {
  return std::clamp(side, 0, kLargestSide);
}

// Enters the window and links it to its parent or the z-order; answers
// null when the class or the parent is wrong.
std::shared_ptr<detail::Window> Enter(DWORD exStyle, const char* className, const char* title,
                                      DWORD style, int x, int y, int width, int height, HWND parent,
                                      HMENU menu, HINSTANCE instance) {
  detail::UiState& ui = Ui();
  std::lock_guard<std::mutex> hold(ui.mutex);
  std::shared_ptr<detail::WindowClass> windowClass;
  if (className != nullptr && reinterpret_cast<uintptr_t>(className) >= 0x10000) {
    auto found = ui.classes.find(detail::LowerKey(className));
    if (found != ui.classes.end()) windowClass = found->second;
  } else if (className != nullptr) {
    const auto atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(className));
    for (const auto& [key, known] : ui.classes) {
      if (known->atom == atom) windowClass = known;
    }
  }
  if (!windowClass) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  const bool child = (style & WS_CHILD) != 0;
  std::shared_ptr<detail::Window> parentWindow;
  if (parent != nullptr) {
    parentWindow = detail::FindWindowLocked(parent);
    if (!parentWindow) return nullptr;
  } else if (child) {
    SetLastError(ERROR_INVALID_PARAMETER);  // a child needs its parent
    return nullptr;
  }
  auto window = std::make_shared<detail::Window>();
  window->handle = reinterpret_cast<HWND>((++ui.nextHandle << 4) | 0x8);
  window->windowClass = windowClass;
  window->procedure = windowClass->record.lpfnWndProc;
  window->style = style & ~WS_VISIBLE;
  window->exStyle = exStyle;
  window->title = title != nullptr ? title : "";
  window->instance = instance;
  window->extra.assign(static_cast<size_t>(windowClass->record.cbWndExtra), 0);
  window->threadId = GetCurrentThreadId();
  window->queue = detail::CurrentQueue();
  window->enabled = (style & WS_DISABLED) == 0;
  if (child) {
    window->parent = parent;
    window->id = static_cast<LONG_PTR>(reinterpret_cast<uintptr_t>(menu));
  } else if (parentWindow) {
    // The owner is always a top-level window.
    HWND owner = parent;
    while (parentWindow && parentWindow->parent != nullptr) {
      owner = parentWindow->parent;
      parentWindow = detail::FindWindowLocked(owner);
    }
    window->owner = owner;
  }
  if (!child && x == CW_USEDEFAULT) {
    const int step = 16 + 24 * static_cast<int>(ui.cascade++ % 10);
    x = step;
    y = step;
  } else if (x == CW_USEDEFAULT) {
    x = y = 0;
  }
  if (width == CW_USEDEFAULT) {
    width = child ? 0 : kDefaultWidth;
    height = child ? 0 : kDefaultHeight;
  }
  window->rect = RECT{x, y, x + ClampSide(width), y + ClampSide(height)};
  ui.windows.emplace(reinterpret_cast<uintptr_t>(window->handle), window);
  ++windowClass->windows;
  if (child) {
    parentWindow->children.insert(parentWindow->children.begin(), window->handle);
  } else {
    // A new window goes in front of its band (topmost windows first).
    auto at = ui.zOrder.begin();
    if ((exStyle & WS_EX_TOPMOST) == 0) {
      while (at != ui.zOrder.end()) {
        auto other = detail::FindWindowLocked(*at);
        if (!other || (other->exStyle & WS_EX_TOPMOST) == 0) break;
        ++at;
      }
    }
    ui.zOrder.insert(at, window->handle);
  }
  return window;
}

// Under the mutex: the windows owned by `owner` and the children of a window.
std::vector<HWND> OwnedWindows(HWND owner) {
  std::vector<HWND> owned;
  for (const auto& [value, window] : Ui().windows) {
    if (window->owner == owner) owned.push_back(window->handle);
  }
  return owned;
}

}  // namespace

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param) {
  auto window =
      Enter(exStyle, className, title, style, x, y, width, height, parent, menu, instance);
  if (!window) return nullptr;
  HWND handle = window->handle;
  CREATESTRUCTA create{};
  create.lpCreateParams = param;
  create.hInstance = instance;
  create.hMenu = menu;
  create.hwndParent = parent;
  create.x = window->rect.left;
  create.y = window->rect.top;
  create.cx = window->rect.right - window->rect.left;
  create.cy = window->rect.bottom - window->rect.top;
  create.style = static_cast<LONG>(style);
  create.lpszName = title;
  create.lpszClass = window->windowClass->name.c_str();
  create.dwExStyle = exStyle;
  const auto createParam = reinterpret_cast<LPARAM>(&create);
  if (detail::CallProcedure(handle, WM_NCCREATE, 0, createParam) == 0 ||
      detail::CallProcedure(handle, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(handle);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!IsWindow(handle)) return nullptr;  // the procedure destroyed it
  if ((style & WS_VISIBLE) != 0) ShowWindow(handle, SW_SHOW);
  return handle;
}

BOOL DestroyWindow(HWND window) {
  std::vector<HWND> owned;
  std::vector<HWND> children;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return FALSE_;
    if (found->threadId != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE_;
    }
    if (found->destroying) return TRUE_;
    found->destroying = true;
    owned = OwnedWindows(window);
  }
  for (HWND each : owned) DestroyWindow(each);
  ShowWindow(window, SW_HIDE);
  detail::CallProcedure(window, WM_DESTROY, 0, 0);
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (found) children = found->children;
  }
  for (HWND each : children) DestroyWindow(each);
  detail::CallProcedure(window, WM_NCDESTROY, 0, 0);
  std::shared_ptr<detail::Window> gone;  // freed after the lock
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = Ui().windows.find(reinterpret_cast<uintptr_t>(window));
    if (found == Ui().windows.end()) return TRUE_;
    gone = found->second;
    detail::Unlink(*gone);
    --gone->windowClass->windows;
    // The owner takes the activation back, as on a desktop.
    if (Ui().foreground == nullptr && gone->owner != nullptr) Ui().foreground = gone->owner;
    Ui().windows.erase(found);
  }
  detail::DropTimersOfWindow(gone->queue, window);
  detail::NotifyChanged(window);  // the backend lets go of what showed it
  return TRUE_;
}

BOOL IsWindow(HWND window) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  return Ui().windows.count(reinterpret_cast<uintptr_t>(window)) != 0 ? TRUE_ : FALSE_;
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
  if (procedure == nullptr) return 0;
  return procedure(window, message, wParam, lParam);
}

}  // namespace kvp
