// Moving whole runs of items between pages (split, merge, redistribution):
// the items are gathered in key order with their children, rearranged, and
// placed back into the slots of the receiving page in order.
#pragma once
#include "xbase/index/ntx/ntx_index.h"

namespace kv::xb::ntx {

// Room for two pages' items, a separator and the trailing children.
inline constexpr int kWideItems = 2 * (1020 / 11) + 4;

// Copies the page's n keys and its trailing item (only the child counts)
// into `out[0..n]`; returns n.
inline int GatherItems(const NtxIndex& ix, const Page& page, Item* out) {
  const int n = NtxIndex::Count(page);
  for (int i = 0; i <= n; ++i) ix.GetItem(page, i, &out[i]);
  return n;
}

// Writes `count` items and a trailing item carrying `trailing` as child,
// keeping the page's slot table: item i goes to the offset of slot i.
inline void PlaceItems(const NtxIndex& ix, Page& page, const Item* items, int count,
                       uint32_t trailing) {
  NtxIndex::SetCount(page, count);
  for (int i = 0; i < count; ++i) ix.PutItem(page, i, items[i]);
  Item last;
  last.child = trailing;
  ix.PutItem(page, count, last);
}

}  // namespace kv::xb::ntx
