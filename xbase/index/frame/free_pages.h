// Pages freed by deletions and their reuse, and the compaction at close.
//
// A freed page has count byte 0xFF and, at offset 4, the number of the next
// free page (0 ends the chain). The chain's head lives only in the control
// block of one open: two processes never share freed pages. Pages still free
// when the index is closed are reclaimed: the highest live pages are moved
// down into them and the file is cut after the last live page.
#pragma once
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/index/frame/page_cache.h"

namespace kv::xb::index {

inline constexpr uint8_t kFreedMark = 0xFF;

class FreePageList {
 public:
  uint32_t head() const { return head_; }
  bool empty() const { return head_ == 0; }
  void Clear() { head_ = 0; }

  // Marks `page` free and writes it.
  XBSTATUS Free(PageCache& cache, PageFile& file, uint32_t page);
  // Takes the head of the chain into `*page` (0 when the chain is empty). A
  // damaged link ends the chain.
  XBSTATUS Take(PageCache& cache, PageFile& file, uint32_t* page);

 private:
  uint32_t head_ = 0;
};

// A new page for the tree: the head of the free chain, else the end page
// (the file grows by one page and the header word at `endPageOffset` is
// rewritten). `*data` is the zeroed page in the cache, flagged for write-back.
XBSTATUS AllocatePage(PageCache& cache, PageFile& file, FreePageList& freePages,
                      uint32_t endPageOffset, uint32_t* page, uint8_t** data);

// Moves a live page of the tree to another page number: the family knows
// which pointer (a parent's child field or the header's root) names it.
class PageMover {
 public:
  virtual ~PageMover() = default;
  virtual XBSTATUS Move(uint32_t from, uint32_t to) = 0;
};

// Moves the highest live pages into the free ones, then sets the end page one
// past the highest live page and cuts the file there. `*newEnd` receives the
// new end page. `lowestPage` is the first page that can hold tree pages.
XBSTATUS CompactPages(PageCache& cache, PageFile& file, FreePageList& freePages, PageMover& mover,
                      uint32_t lowestPage, uint32_t* newEnd);

}  // namespace kv::xb::index
