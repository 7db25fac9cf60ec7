#include "xbase/frame/select.h"

#include "xbase/frame/file_layer.h"

namespace kv::xb {

constexpr const char* kModule = "SLOCK";

ControlBlock* Select(XBHANDLE handle, SlotType type) {
  Slot* slot = Current().handles.Get(handle);
  if (slot == nullptr || slot->type != type || !slot->block) {
    XB_FAIL(XB_E_HANDLE);
    return nullptr;
  }
  ControlBlock* block = slot->block.get();
  if (slot->quickClosed) {
    uint16_t mode = 0;
    if (block->state & kStateReadOnly) mode |= os::kModeReadOnly;
    if (block->state & kStateShared) mode |= os::kModeShared;
    uint16_t state = 0;
    int fileNo = 0;
    if (os::Open(&fileNo, slot->path, mode, &state) != 0) {
      XB_FAIL(XB_E_OPEN);
      return nullptr;
    }
    block->fileNo = fileNo;
    slot->quickClosed = false;
  }
  return block;
}

void QuickCloseAll() {
  HandleTable& table = Current().handles;
  for (int i = 0; i < table.SlotCount(); ++i) {
    Slot* slot = table.Get(i);
    if (slot->type == SlotType::Free || slot->quickClosed || !slot->block) continue;
    Current().status = 0;
    slot->block->ReleaseViews();
    os::Close(slot->block->fileNo);
    if (Current().status == 0) slot->quickClosed = true;
  }
}

}  // namespace kv::xb
