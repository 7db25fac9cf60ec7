// The window table, classes, atoms and the live counts.
#include <algorithm>
#include <cctype>

#include "platform/ui/window.h"
#include "platform/ui/window_state.h"

namespace kvp {

namespace detail {

namespace {

constexpr ATOM kFirstStringAtom = 0xC000;
constexpr size_t kAtomLimit = 0x10000 - kFirstStringAtom;
constexpr size_t kLongestName = 255;

std::shared_ptr<WindowClass> MakeButtonClass() {
  auto button = std::make_shared<WindowClass>();
  button->name = "BUTTON";
  button->predefined = true;
  button->record.lpfnWndProc = ButtonProcedure;
  button->record.cbWndExtra = static_cast<int>(sizeof(LONG_PTR));
  button->record.lpszClassName = button->name.c_str();
  return button;
}

}  // namespace

Window::~Window() {
  if (picture != nullptr) cairo_surface_destroy(picture);
}

UiState& Ui() {
  static UiState* state = [] {
    auto* made = new UiState;  // lives to the end: threads may still end after exit begins
    auto button = MakeButtonClass();
    button->atom = kFirstStringAtom;
    made->atomNames.emplace_back("BUTTON");
    made->atoms.emplace("button", button->atom);
    made->classes.emplace("button", button);
    return made;
  }();
  return *state;
}

std::shared_ptr<Window> FindWindowLocked(HWND window) {
  auto found = Ui().windows.find(reinterpret_cast<uintptr_t>(window));
  if (found == Ui().windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return found->second;
}

std::shared_ptr<Window> FindWindow(HWND window) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  return FindWindowLocked(window);
}

RECT FrameInsets(DWORD style) {
  int side = 0;
  if ((style & WS_THICKFRAME) != 0) {
    side = 4;
  } else if ((style & (WS_BORDER | WS_DLGFRAME)) != 0) {
    side = 1;
  }
  const int caption = (style & WS_CAPTION) == WS_CAPTION ? 20 : 0;
  return RECT{side, side + caption, side, side};
}

SIZE ClientSize(const Window& window) {
  const RECT frame = FrameInsets(window.style);
  const LONG width = window.rect.right - window.rect.left - frame.left - frame.right;
  const LONG height = window.rect.bottom - window.rect.top - frame.top - frame.bottom;
  return SIZE{std::max<LONG>(width, 0), std::max<LONG>(height, 0)};
}

POINT ClientOrigin(const Window& window) {
  const RECT frame = FrameInsets(window.style);
  POINT origin{window.rect.left + frame.left, window.rect.top + frame.top};
  if (window.parent != nullptr) {
    auto parent = FindWindowLocked(window.parent);
    if (parent) {
      const POINT base = ClientOrigin(*parent);
      origin.x += base.x;
      origin.y += base.y;
    }
  }
  return origin;
}

bool IsDescendant(HWND ancestor, HWND window) {
  for (int depth = 0; window != nullptr && depth < 1000; ++depth) {
    if (window == ancestor) return true;
    auto found = Ui().windows.find(reinterpret_cast<uintptr_t>(window));
    if (found == Ui().windows.end()) return false;
    window = found->second->parent;
  }
  return false;
}

std::string LowerKey(const char* name) {
  std::string key(name);
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

ATOM AtomOf(const char* name, bool add) {
  const auto value = reinterpret_cast<uintptr_t>(name);
  if (value == 0) return 0;
  if (value < 0x10000) return static_cast<ATOM>(value);  // an integer atom
  const size_t length = std::char_traits<char>::length(name);
  if (length == 0 || length > kLongestName) return 0;
  UiState& ui = Ui();
  const std::string key = LowerKey(name);
  auto found = ui.atoms.find(key);
  if (found != ui.atoms.end()) return found->second;
  if (!add || ui.atomNames.size() >= kAtomLimit) return 0;
  const auto atom = static_cast<ATOM>(kFirstStringAtom + ui.atomNames.size());
  ui.atomNames.emplace_back(name);
  ui.atoms.emplace(key, atom);
  return atom;
}

void Unlink(Window& window) {
  UiState& ui = Ui();
  auto drop = [&](std::vector<HWND>& list) {
    list.erase(std::remove(list.begin(), list.end(), window.handle), list.end());
  };
  drop(ui.zOrder);
  if (window.parent != nullptr) {
    auto parent = ui.windows.find(reinterpret_cast<uintptr_t>(window.parent));
    if (parent != ui.windows.end()) drop(parent->second->children);
  }
  if (ui.capture == window.handle) ui.capture = nullptr;
  if (ui.foreground == window.handle) ui.foreground = nullptr;
  if (ui.focus == window.handle) ui.focus = nullptr;
}

void DropWindowsOfThread(DWORD threadId) {
  std::vector<std::shared_ptr<Window>> dropped;  // freed after the lock
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    UiState& ui = Ui();
    for (auto it = ui.windows.begin(); it != ui.windows.end();) {
      if (it->second->threadId == threadId) {
        Unlink(*it->second);
        if (it->second->windowClass) --it->second->windowClass->windows;
        dropped.push_back(std::move(it->second));
        it = ui.windows.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const auto& each : dropped) NotifyChanged(each->handle);
}

}  // namespace detail

using detail::Ui;

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
      reinterpret_cast<uintptr_t>(windowClass->lpszClassName) < 0x10000 ||
      windowClass->lpfnWndProc == nullptr || windowClass->cbWndExtra < 0 ||
      windowClass->cbWndExtra > 40 || windowClass->lpszClassName[0] == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> hold(Ui().mutex);
  const std::string key = detail::LowerKey(windowClass->lpszClassName);
  if (Ui().classes.count(key) != 0) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto made = std::make_shared<detail::WindowClass>();
  made->name = windowClass->lpszClassName;
  made->record = *windowClass;
  made->record.lpszClassName = made->name.c_str();
  made->record.lpszMenuName = nullptr;
  made->atom = detail::AtomOf(windowClass->lpszClassName, true);
  if (made->atom == 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  Ui().classes.emplace(key, made);
  return made->atom;
}

BOOL GetClassInfoA(HINSTANCE, const char* className, WNDCLASSA* windowClass) {
  if (className == nullptr || reinterpret_cast<uintptr_t>(className) < 0x10000 ||
      windowClass == nullptr) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE_;
  }
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = Ui().classes.find(detail::LowerKey(className));
  if (found == Ui().classes.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE_;
  }
  *windowClass = found->second->record;
  return TRUE_;
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
  if (className == nullptr || reinterpret_cast<uintptr_t>(className) < 0x10000) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE_;
  }
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = Ui().classes.find(detail::LowerKey(className));
  if (found == Ui().classes.end() || found->second->predefined) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE_;
  }
  if (found->second->windows != 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE_;
  }
  Ui().classes.erase(found);
  return TRUE_;
}

ATOM GlobalAddAtomA(const char* name) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  const ATOM atom = detail::AtomOf(name, true);
  if (atom == 0) SetLastError(ERROR_INVALID_PARAMETER);
  return atom;
}

ATOM GlobalFindAtomA(const char* name) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  return detail::AtomOf(name, false);
}

size_t UiLiveWindows() {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  return Ui().windows.size();
}

size_t UiLiveClasses() {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  size_t count = 0;
  for (const auto& [key, windowClass] : Ui().classes) {
    if (!windowClass->predefined) ++count;
  }
  return count;
}

size_t UiLiveMenus() {
  return detail::LiveMenuCount();
}

}  // namespace kvp
