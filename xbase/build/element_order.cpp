#include <algorithm>
#include <cstring>

#include "xbase/build/bulk_internal.h"
#include "xbase/index/frame/key_compare.h"

namespace kv::xb::bulk {

bool ElementOrder::Less(const uint8_t* a, const uint8_t* b) const {
  if (!collated_) return std::memcmp(a, b, size_) < 0;
  const int c = index::CompareCollated(a, b, keyLength_);
  if (c != 0) return c < 0;
  // Keys that collate equal (bytes the table does not know) go by record
  // number, as XBDNKADD places them, so that exact searches find them.
  return std::memcmp(a + keyLength_, b + keyLength_, 4) < 0;
}

// The elements are ordered through a table of their positions, then moved
// into place cycle by cycle: no second copy of the run is needed.
void SortElements(uint8_t* elements, uint32_t count, const ElementOrder& order, uint32_t* scratch) {
  const size_t size = order.elementSize();
  for (uint32_t i = 0; i < count; ++i) scratch[i] = i;
  std::sort(scratch, scratch + count, [&](uint32_t x, uint32_t y) {
    return order.Less(elements + size_t{x} * size, elements + size_t{y} * size);
  });
  uint8_t held[kMaxElement];
  for (uint32_t start = 0; start < count; ++start) {
    if (scratch[start] == start) continue;
    std::memcpy(held, elements + size_t{start} * size, size);
    uint32_t at = start;
    for (;;) {
      const uint32_t from = scratch[at];
      scratch[at] = at;
      if (from == start) {
        std::memcpy(elements + size_t{at} * size, held, size);
        break;
      }
      std::memcpy(elements + size_t{at} * size, elements + size_t{from} * size, size);
      at = from;
    }
  }
}

}  // namespace kv::xb::bulk
