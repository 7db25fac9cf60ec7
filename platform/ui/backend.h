// Internal: the seam between the window system and what shows it.
//
// The window code keeps every window, queue and menu itself; a backend only
// answers what a person would (a menu choice, a dialog) and hears what
// changed so that it can show it. The headless backend answers from queued
// test input; a desktop backend answers from a real screen.
#pragma once
#include <vector>

#include "platform/ui/input.h"
#include "platform/ui/window_types.h"

namespace kvp::detail {

class Backend {
 public:
  virtual ~Backend() = default;
  virtual int ScreenWidth() const = 0;
  virtual int ScreenHeight() const = 0;
  // The command chosen in a menu shown at `at` (screen coordinates), 0 when
  // dismissed. `items` is the menu flattened, submenus after their item.
  virtual UINT ChooseFromMenu(HWND owner, POINT at, const std::vector<TrackedMenuItem>& items) = 0;
  // A window's picture changed (painted, shown, moved, resized, hidden).
  virtual void WindowChanged(HWND window) = 0;
};

// The backend in use: the headless one unless another was chosen at start.
Backend& CurrentBackend();

}  // namespace kvp::detail
