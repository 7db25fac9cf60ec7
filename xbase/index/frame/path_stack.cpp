#include "xbase/index/frame/path_stack.h"

namespace kv::xb::index {

int PathStack::CapacityFor(uint16_t half) {
  // A page that holds fewer than two children would make the bound endless;
  // such a file is refused at open, and two is the floor here.
  const uint64_t base = half + 1u < 2u ? 2u : half + 1u;
  const uint64_t target = 0x7FFFFFFFu / base;
  uint64_t power = 1;
  int m = 0;
  while (power < target) {
    power *= base;
    ++m;
  }
  return m + 1;
}

XBSTATUS PathStack::Allocate(uint16_t half) {
  capacity_ = CapacityFor(half);
  depth_ = -1;
  return levels_.Allocate(sizeof(PathLevel) * static_cast<size_t>(capacity_));
}

}  // namespace kv::xb::index
