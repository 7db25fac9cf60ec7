#include "xbase/frame/handle_table.h"

#include <cstring>
#include <new>

namespace kv::xb {

bool HandleTable::Allocate(int count) {
  Release();
  if (count <= 0) return true;
  try {
    slots_.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    slots_.clear();
    return false;
  }
  count_ = count;
  return true;
}

void HandleTable::Release() {
  slots_.clear();
  slots_.shrink_to_fit();
  count_ = 0;
  open_ = 0;
}

int HandleTable::FindFree() const {
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].type == SlotType::Free) return static_cast<int>(i);
  }
  return -1;
}

void HandleTable::Take(int index, SlotType type, std::unique_ptr<ControlBlock> block,
                       const char* path) {
  Slot& slot = slots_[static_cast<size_t>(index)];
  slot.type = type;
  slot.quickClosed = false;
  slot.block = std::move(block);
  std::memset(slot.path, 0, sizeof slot.path);
  if (path != nullptr) std::strncpy(slot.path, path, kSlotPathBytes);
  ++open_;
}

void HandleTable::Free(int index) {
  Slot& slot = slots_[static_cast<size_t>(index)];
  if (slot.type == SlotType::Free) return;
  slot.type = SlotType::Free;
  slot.quickClosed = false;
  slot.block.reset();
  slot.path[0] = '\0';
  --open_;
}

}  // namespace kv::xb
