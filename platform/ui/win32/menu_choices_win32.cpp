// The menu choices tests queue, and what the last menu tracked in place of
// the system's showed: one queue for the process, in the state every copy
// of the layer shares, so that a choice the test program queues is taken
// by the menu a library DLL tracks.
#include <algorithm>
#include <cstring>

#include "platform/ui/backend.h"
#include "platform/ui/input.h"
#include "platform/ui/win32/shared_ui.h"

namespace kvp {

namespace detail {

bool TakeMenuChoice(UINT* chosen) {
  win32::SharedUiLock hold;
  win32::SharedUi& state = hold.state();
  if (state.choiceCount == 0) return false;
  *chosen = state.choices[state.firstChoice];
  state.firstChoice = (state.firstChoice + 1) % win32::kSharedMenuChoices;
  --state.choiceCount;
  return true;
}

}  // namespace detail

// A choice beyond the queue's room is dropped: no test queues that many
// before the menus that take them.
void QueueMenuChoice(UINT command) {
  win32::SharedUiLock hold;
  win32::SharedUi& state = hold.state();
  if (state.choiceCount == win32::kSharedMenuChoices) return;
  state.choices[(state.firstChoice + state.choiceCount) % win32::kSharedMenuChoices] = command;
  ++state.choiceCount;
}

void ClearMenuChoices() {
  win32::SharedUiLock hold;
  hold.state().firstChoice = 0;
  hold.state().choiceCount = 0;
}

size_t PendingMenuChoices() {
  win32::SharedUiLock hold;
  return hold.state().choiceCount;
}

TrackedMenu LastTrackedMenu() {
  win32::SharedUiLock hold;
  const win32::SharedUi& state = hold.state();
  TrackedMenu last;
  last.tracked = state.tracked != FALSE_;
  last.at = state.at;
  last.owner = state.owner;
  last.chosen = state.chosen;
  for (UINT i = 0; i < state.itemCount; ++i) {
    const win32::SharedMenuItem& item = state.items[i];
    last.items.push_back(TrackedMenuItem{item.flags, item.id, item.text, item.depth});
  }
  return last;
}

namespace win32 {

void RecordTrackedMenu(HWND owner, POINT at, UINT chosen,
                       const std::vector<TrackedMenuItem>& items) {
  SharedUiLock hold;
  SharedUi& state = hold.state();
  state.tracked = TRUE_;
  state.at = at;
  state.owner = owner;
  state.chosen = chosen;
  state.itemCount = static_cast<UINT>(std::min<size_t>(items.size(), kSharedMenuItems));
  for (UINT i = 0; i < state.itemCount; ++i) {
    SharedMenuItem& item = state.items[i];
    item.flags = items[i].flags;
    item.id = items[i].id;
    item.depth = items[i].depth;
    const size_t length = std::min(items[i].text.size(), sizeof item.text - 1);
    std::memcpy(item.text, items[i].text.data(), length);
    item.text[length] = '\0';
  }
}

}  // namespace win32

}  // namespace kvp
