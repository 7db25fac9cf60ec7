// The hooks a host sets, one for the process: kept in the state every copy
// of the layer shares, so that a hook the host program sets answers the
// boxes and dialogs of every library DLL.
#include "platform/ui/hook_slots.h"
#include "platform/ui/win32/shared_ui.h"

namespace kvp::detail {

HookEntry ExchangeHook(HookSlot slot, HookEntry entry) {
  win32::SharedUiLock hold;
  HookEntry previous = hold.state().hooks[static_cast<int>(slot)];
  hold.state().hooks[static_cast<int>(slot)] = entry;
  return previous;
}

HookEntry CurrentHook(HookSlot slot) {
  win32::SharedUiLock hold;
  return hold.state().hooks[static_cast<int>(slot)];
}

}  // namespace kvp::detail
