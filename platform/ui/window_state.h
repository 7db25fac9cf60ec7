// Internal: the process-wide window table, classes and atoms.
//
// One mutex guards every window, class and atom; it is never held while a
// window procedure runs (procedures call back into the layer), and it may
// be taken before a queue's mutex, never after.
#pragma once
#include <cairo.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ui/window_types.h"

namespace kvp::detail {

struct Queue;

struct WindowClass {
  std::string name;
  WNDCLASSA record{};
  ATOM atom = 0;
  bool predefined = false;
  size_t windows = 0;
};

struct Window {
  ~Window();
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> windowClass;
  WNDPROC procedure = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;       // WS_CHILD windows only
  HWND owner = nullptr;        // top-level windows only
  std::vector<HWND> children;  // front first
  RECT rect{};                 // screen coordinates; a child's in its parent's client area
  std::string title;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  HINSTANCE instance = nullptr;
  std::vector<unsigned char> extra;
  std::map<ATOM, HANDLE> properties;
  DWORD threadId = 0;
  std::shared_ptr<Queue> queue;
  cairo_surface_t* picture = nullptr;  // made on first use, client-sized
  bool visible = false;
  bool enabled = true;
  bool hasUpdate = false;
  RECT update{};
  bool erase = false;
  bool destroying = false;
};

struct UiState {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
  std::vector<HWND> zOrder;                                     // top-level windows, front first
  std::map<std::string, std::shared_ptr<WindowClass>> classes;  // key: lower case
  std::map<std::string, ATOM> atoms;                            // key: lower case
  std::vector<std::string> atomNames;                           // index = atom - 0xC000
  uintptr_t nextHandle = 0;
  unsigned cascade = 0;
  HWND capture = nullptr;
  HWND foreground = nullptr;
  HWND focus = nullptr;
  HCURSOR cursor = nullptr;
  POINT cursorPos{0, 0};
};

// The few internals marked KVP_API are those the GTK backend uses, which is
// a library of its own (libkvplatform_gtk.so, loaded on first use): it reads
// the window table to show it. Everything else stays hidden.
KVP_API UiState& Ui();

// Under Ui().mutex: the window behind the handle, or null
// (ERROR_INVALID_WINDOW_HANDLE).
KVP_API std::shared_ptr<Window> FindWindowLocked(HWND window);
// Takes the mutex itself.
std::shared_ptr<Window> FindWindow(HWND window);

// Under the mutex: frame insets and client geometry.
RECT FrameInsets(DWORD style);
KVP_API SIZE ClientSize(const Window& window);
KVP_API POINT ClientOrigin(const Window& window);  // screen coordinates
KVP_API bool IsDescendant(HWND ancestor, HWND window);

// Under the mutex: the lower-case key of a name; the atom of a name (made
// when `add`), or 0.
std::string LowerKey(const char* name);
ATOM AtomOf(const char* name, bool add);

// Under the mutex: takes a window out of the z-order and its parent's list.
void Unlink(Window& window);
// Removes every window of a thread that ends, without messages.
void DropWindowsOfThread(DWORD threadId);

// Calls the window's current procedure (0 for a dead window).
LRESULT CallProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The predefined "BUTTON" class's procedure.
LRESULT ButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Tells the backend that the window's picture changed.
void NotifyChanged(HWND window);

// Marks the window's queue for a wakeup (an update region appeared).
void WakeQueue(const std::shared_ptr<Queue>& queue);

// Removes the timers of a destroyed window.
void DropTimersOfWindow(const std::shared_ptr<Queue>& queue, HWND window);

// The window's client area with its visible children drawn over it, as a
// new image surface (the caller destroys it); null for a dead window.
// Takes the mutex itself.
KVP_API cairo_surface_t* ComposeWindowPicture(HWND window);

// Live menus (menus.cpp).
size_t LiveMenuCount();

}  // namespace kvp::detail
