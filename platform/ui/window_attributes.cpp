// Window longs, properties, titles, enabling, focus, capture and cursors.
#include <algorithm>
#include <cstring>

#include "platform/ui/backend.h"
#include "platform/ui/window.h"
#include "platform/ui/window_state.h"

namespace kvp {

namespace {

using detail::Ui;

constexpr uintptr_t kCursorBase = 0x7F000;

bool KnownCursorId(uintptr_t id) {
  return id == 32512 || id == 32513 || id == 32514 || id == 32515;
}

}  // namespace

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return 0;
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(found->procedure);
    case GWLP_USERDATA:
      return found->userData;
    case GWL_STYLE:
      return static_cast<LONG_PTR>(found->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(found->exStyle);
    case GWLP_ID:
      return found->id;
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(found->instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(found->parent != nullptr ? found->parent : found->owner);
    default:
      break;
  }
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > found->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG_PTR value;
  std::memcpy(&value, found->extra.data() + index, sizeof(value));
  return value;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return 0;
  LONG_PTR previous = 0;
  switch (index) {
    case GWLP_WNDPROC:
      if (value == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      previous = reinterpret_cast<LONG_PTR>(found->procedure);
      found->procedure = reinterpret_cast<WNDPROC>(value);
      return previous;
    case GWLP_USERDATA:
      previous = found->userData;
      found->userData = value;
      return previous;
    case GWL_STYLE:
      previous = static_cast<LONG_PTR>(found->style);
      // Visibility and the child bit change through their own calls only.
      found->style = (static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_CHILD)) |
                     (found->style & (WS_VISIBLE | WS_CHILD));
      return previous;
    case GWL_EXSTYLE:
      previous = static_cast<LONG_PTR>(found->exStyle);
      found->exStyle = static_cast<DWORD>(value);
      return previous;
    case GWLP_ID:
      previous = found->id;
      found->id = value;
      return previous;
    default:
      break;
  }
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > found->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  std::memcpy(&previous, found->extra.data() + index, sizeof(previous));
  std::memcpy(found->extra.data() + index, &value, sizeof(value));
  return previous;
}

BOOL SetPropA(HWND window, const char* name, HANDLE data) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return FALSE_;
  const ATOM atom = detail::AtomOf(name, true);
  if (atom == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  found->properties[atom] = data;
  return TRUE_;
}

HANDLE GetPropA(HWND window, const char* name) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return nullptr;
  auto property = found->properties.find(detail::AtomOf(name, false));
  return property != found->properties.end() ? property->second : nullptr;
}

HANDLE RemovePropA(HWND window, const char* name) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return nullptr;
  auto property = found->properties.find(detail::AtomOf(name, false));
  if (property == found->properties.end()) return nullptr;
  HANDLE data = property->second;
  found->properties.erase(property);
  return data;
}

int GetClassNameA(HWND window, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return 0;
  const std::string& name = found->windowClass->name;
  const int copied = std::min(static_cast<int>(name.size()), size - 1);
  std::memcpy(buffer, name.data(), static_cast<size_t>(copied));
  buffer[copied] = '\0';
  return copied;
}

BOOL SetWindowTextA(HWND window, const char* text) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return FALSE_;
  found->title = text != nullptr ? text : "";
  return TRUE_;
}

int GetWindowTextA(HWND window, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) {
    buffer[0] = '\0';
    return 0;
  }
  const int copied = std::min(static_cast<int>(found->title.size()), size - 1);
  std::memcpy(buffer, found->title.data(), static_cast<size_t>(copied));
  buffer[copied] = '\0';
  return copied;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  bool wasDisabled = false;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return FALSE_;
    wasDisabled = !found->enabled;
    if (wasDisabled == !enable) return wasDisabled ? TRUE_ : FALSE_;
    found->enabled = enable != FALSE_;
    found->style = enable ? (found->style & ~WS_DISABLED) : (found->style | WS_DISABLED);
    if (!enable && Ui().capture == window) Ui().capture = nullptr;
    if (!enable && Ui().focus == window) Ui().focus = nullptr;
  }
  detail::CallProcedure(window, WM_ENABLE, enable ? TRUE_ : FALSE_, 0);
  return wasDisabled ? TRUE_ : FALSE_;
}

BOOL IsWindowEnabled(HWND window) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  return found && found->enabled ? TRUE_ : FALSE_;
}

HWND SetFocus(HWND window) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  HWND previous = Ui().focus;
  if (window != nullptr) {
    auto found = detail::FindWindowLocked(window);
    if (!found || !found->enabled) return nullptr;
  }
  Ui().focus = window;
  return previous;
}

HWND GetFocus() {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  return Ui().focus;
}

HWND SetCapture(HWND window) {
  HWND previous = nullptr;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    if (!detail::FindWindowLocked(window)) return nullptr;
    previous = Ui().capture;
    Ui().capture = window;
  }
  detail::CurrentBackend().CaptureChanged(window);
  if (previous != nullptr && previous != window) {
    detail::CallProcedure(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
  }
  return previous;
}

BOOL ReleaseCapture() {
  HWND previous = nullptr;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    previous = Ui().capture;
    Ui().capture = nullptr;
  }
  if (previous != nullptr) {
    detail::CurrentBackend().CaptureChanged(nullptr);
    detail::CallProcedure(previous, WM_CAPTURECHANGED, 0, 0);
  }
  return TRUE_;
}

HWND GetCapture() {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  return Ui().capture;
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
  const auto id = reinterpret_cast<uintptr_t>(name);
  if (instance != nullptr || !KnownCursorId(id)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return reinterpret_cast<HCURSOR>(kCursorBase + id);
}

HCURSOR SetCursor(HCURSOR cursor) {
  const auto value = reinterpret_cast<uintptr_t>(cursor);
  if (cursor != nullptr && (value < kCursorBase || !KnownCursorId(value - kCursorBase))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HCURSOR previous = nullptr;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    previous = Ui().cursor;
    Ui().cursor = cursor;
  }
  if (previous != cursor) detail::CurrentBackend().CursorChanged(cursor);
  return previous;
}

HCURSOR GetCursor() {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  return Ui().cursor;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) return FALSE_;
  std::lock_guard<std::mutex> hold(Ui().mutex);
  *point = Ui().cursorPos;
  return TRUE_;
}

}  // namespace kvp
