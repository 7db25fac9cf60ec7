// Internal (Windows build): the user interface's state that is the
// process's one, in memory every copy of the layer shares
// (kernel/win32/process_memory.h): the hooks a host sets, the menu choices
// tests queue and what the last tracked menu showed, and the windows, menus
// and classes made through the layer, which tests count. Its fields are
// plain data, the same in every copy; change them only under the lock.
#pragma once
#include <cstddef>
#include <vector>

#include "platform/ui/hook_slots.h"
#include "platform/ui/input.h"
#include "platform/ui/window_types.h"

namespace kvp::win32 {

inline constexpr int kSharedMenuChoices = 256;
inline constexpr int kSharedMenuItems = 256;
inline constexpr int kSharedMenuText = 96;
inline constexpr int kSharedHandles = 4096;

struct SharedMenuItem {
  UINT flags;
  UINT id;
  int depth;
  char text[kSharedMenuText];  // cut to the room, zero-terminated
};

struct SharedUi {
  volatile LONG lock;
  detail::HookEntry hooks[detail::kHookSlots];
  // Queued menu choices: a ring of `choiceCount` from `firstChoice`.
  UINT choices[kSharedMenuChoices];
  UINT firstChoice;
  UINT choiceCount;
  // The last menu tracked in place of the system's.
  BOOL tracked;
  POINT at;
  HWND owner;
  UINT chosen;
  UINT itemCount;
  SharedMenuItem items[kSharedMenuItems];
  // Made through the layer (null: a free place); counted while the system
  // still knows them.
  LONG classes;
  void* windows[kSharedHandles];
  void* menus[kSharedHandles];
};

// Holds the shared state's lock for its life. Never held across a call
// that may run a window procedure or a hook.
class SharedUiLock {
 public:
  SharedUiLock();
  ~SharedUiLock();
  SharedUiLock(const SharedUiLock&) = delete;
  SharedUiLock& operator=(const SharedUiLock&) = delete;
  SharedUi& state() { return *state_; }

 private:
  SharedUi* state_;
};

// Under the lock: notes a handle just made in `table`, over one the system
// no longer knows when the table is full; counts those it still knows.
void RememberHandle(void* (&table)[kSharedHandles], void* handle, BOOL (*alive)(void*));
size_t CountAlive(void* (&table)[kSharedHandles], BOOL (*alive)(void*));

// Takes the lock: what a menu tracked in place of the system's showed and
// the choice it answered (input.h's LastTrackedMenu).
void RecordTrackedMenu(HWND owner, POINT at, UINT chosen,
                       const std::vector<TrackedMenuItem>& items);

}  // namespace kvp::win32
