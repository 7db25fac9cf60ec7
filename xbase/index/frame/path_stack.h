// The path from the root to the page of the current position: one (page,
// entry index) pair per tree level. Its capacity bounds the depth of every
// descent, so that a damaged file whose page is its own descendant ends in
// an error instead of an endless descent.
#pragma once
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/frame/memory_block.h"

namespace kv::xb::index {

struct PathLevel {
  uint32_t page;
  int32_t index;
};

class PathStack {
 public:
  // Capacity for a tree whose pages hold at least `half` + 1 children: the
  // smallest m + 1 with (half + 1)^m >= 0x7FFFFFFF / (half + 1), enough for
  // every tree of up to 2^31 entries.
  static int CapacityFor(uint16_t half);

  XBSTATUS Allocate(uint16_t half);
  int capacity() const { return capacity_; }
  int depth() const { return depth_; }
  void set_depth(int depth) { depth_ = depth; }
  void Reset() { depth_ = -1; }
  PathLevel& operator[](int level) { return levels_.as<PathLevel>()[level]; }
  // Takes the levels and depth of `other` (of no greater capacity).
  void CopyFrom(PathStack& other) {
    depth_ = other.depth_ < capacity_ ? other.depth_ : -1;
    for (int l = 0; l <= depth_; ++l) (*this)[l] = other[l];
  }
  // Whether a level below `level` still fits.
  bool CanDescend(int level) const { return level + 1 < capacity_; }

 private:
  MemoryBlock levels_;
  int capacity_ = 0;
  int depth_ = -1;
};

}  // namespace kv::xb::index
