// The NTX page writer of a bulk build: receives the keys in index order and
// fills the pages bottom-up, each page written once, in the fresh layout
// (item i at 2 x M + 4 + i x (L + 8)). A page is filled with M items, the
// most the insert code leaves in a page (it splits a page only when a key
// comes to a full one). The key after a full leaf goes up as the separator
// of the leaf and the next page, as in any B-tree whose interior items are
// keys of their own. The last two pages of each level are held back until
// the end: when the last one is left with fewer than half a page, the two
// share their items evenly through their separator, so that every page but
// the root holds at least half a page, as the delete code expects.
#pragma once
#include <cstdint>
#include <vector>

#include "xbase/index/ntx/ntx_index.h"

namespace kv::xb::bulk {

class NtxPageWriter {
 public:
  // `ix` is the freshly created index, open: its first page (the empty
  // root) is the first leaf, later pages go after it.
  explicit NtxPageWriter(ntx::NtxIndex& ix);

  // One key: L bytes as stored, its record number.
  XBSTATUS Add(const uint8_t* key, uint32_t record);

  // Evens out the last pages, writes every page still held and the root.
  XBSTATUS Finish();

 private:
  // A page being filled: its items in order; the entry after the last item
  // carries the page's rightmost child (interior pages).
  struct PageItems {
    uint32_t offset = 0;
    std::vector<ntx::Item> items;  // count + 1 entries
    int count() const { return static_cast<int>(items.size()) - 1; }
  };
  struct Level {
    PageItems current;
    PageItems previous;
    bool hasPrevious = false;
  };

  XBSTATUS Push(size_t level, const ntx::Item& item);
  XBSTATUS Close(size_t level, uint32_t rightmostChild);
  XBSTATUS Even(size_t level);
  XBSTATUS Write(const PageItems& page);
  void Start(PageItems& page);

  ntx::NtxIndex& ix_;
  std::vector<Level> levels_;
  uint32_t end_ = 0;  // offset of the next page to hand out
  ntx::Page page_{};
};

}  // namespace kv::xb::bulk
