// The table of open-file handles shared by every file family.
//
// A handle is a 0-based slot index. A slot holds the family's control block,
// the family type, the quick-closed flag and the path by which a quick-closed
// file is reopened.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "kv/xbase.h"

namespace kv::xb {

enum class SlotType : uint16_t {
  Free = 0,
  Data = 1,
  Ndx = 2,
  DbtMemo = 3,
  FptMemo = 4,
  Mdx = 5,
  Idx = 6,
  Ntx = 7,
};

// Bits of a control block's open-state word.
inline constexpr uint16_t kStateReadOnly = 0x0001;
inline constexpr uint16_t kStateBit1 = 0x0002;
inline constexpr uint16_t kStateShared = 0x0004;

// Common head of every family's control block.
struct ControlBlock {
  virtual ~ControlBlock() = default;
  // Drops what keeps the operating-system file open besides its file number
  // (a mapping), before that file is closed.
  virtual void ReleaseViews() {}
  uint16_t state = 0;  // open-state word
  int fileNo = 0;      // file number of the file layer (2..101)
};

// The full path (up to the 260 characters of the platform's paths): a quick-closed
// file is reopened by it, so it must never be cut.
inline constexpr size_t kSlotPathBytes = 260;

struct Slot {
  SlotType type = SlotType::Free;
  bool quickClosed = false;
  char path[kSlotPathBytes + 1] = {};
  std::unique_ptr<ControlBlock> block;
};

class HandleTable {
 public:
  // Makes `count` free slots (the engine asks for min(n, 100) - 5).
  bool Allocate(int count);
  void Release();

  int SlotCount() const { return count_; }
  int OpenCount() const { return open_; }

  // The lowest free slot, or -1.
  int FindFree() const;
  // Takes slot `index` for `type` with its control block and path.
  void Take(int index, SlotType type, std::unique_ptr<ControlBlock> block, const char* path);
  // Frees the slot and destroys its control block.
  void Free(int index);

  Slot* Get(int index) {
    return index >= 0 && index < SlotCount() ? &slots_[static_cast<size_t>(index)] : nullptr;
  }

 private:
  std::vector<Slot> slots_;
  int count_ = 0;  // slots_.size(), kept so that Get needs no division
  int open_ = 0;
};

}  // namespace kv::xb
