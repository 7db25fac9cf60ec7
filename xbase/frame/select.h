// Selecting a handle: every family function that takes a handle starts here.
#pragma once
#include "xbase/frame/engine.h"

namespace kv::xb {

// The control block of `handle` when it is open with `type`; reopens a
// quick-closed file. Null with the status set (-13 wrong handle or type, -46
// reopen failed) otherwise.
ControlBlock* Select(XBHANDLE handle, SlotType type);

template <typename Block>
[[gnu::always_inline]] inline Block* SelectAs(XBHANDLE handle, SlotType type) {
  // Inline for an open handle of the right type; Select does the rest
  // (errors, reopening after a quick close).
  Slot* slot = Current().handles.Get(handle);
  if (slot != nullptr && slot->type == type && !slot->quickClosed && slot->block)
    return static_cast<Block*>(slot->block.get());
  return static_cast<Block*>(Select(handle, type));
}

// Closes the operating-system file of every open handle, keeping the handles.
void QuickCloseAll();

}  // namespace kv::xb
