#include "xbase/index/frame/free_pages.h"

#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/index/frame/operation_frame.h"

namespace kv::xb::index {

XBSTATUS FreePageList::Free(PageCache& cache, PageFile& file, uint32_t page) {
  uint8_t* data = nullptr;
  XBSTATUS s = cache.Read(file, page, &data);
  if (s != 0) return s;
  PutLE32(data, kFreedMark);
  PutLE32(data + 4, head_);
  s = cache.Write(file, page);
  if (s != 0) return s;
  head_ = page;
  return 0;
}

XBSTATUS FreePageList::Take(PageCache& cache, PageFile& file, uint32_t* page) {
  *page = 0;
  if (head_ == 0) return 0;
  uint8_t* data = nullptr;
  const XBSTATUS s = cache.Read(file, head_, &data);
  if (s != 0) return s;
  *page = head_;
  const uint32_t next = GetLE32(data + 4);
  // Another process may have reused the page: a link that is not a freed
  // page inside the file ends the chain rather than handing out a live page.
  head_ = (data[0] == kFreedMark && next != head_ && next < file.endPage) ? next : 0;
  return 0;
}

XBSTATUS AllocatePage(PageCache& cache, PageFile& file, FreePageList& freePages,
                      uint32_t endPageOffset, uint32_t* page, uint8_t** data) {
  constexpr const char* kModule = "NPPUT";
  uint32_t taken = 0;
  XBSTATUS s = freePages.Take(cache, file, &taken);
  if (s != 0) return s;
  if (taken == 0) {
    taken = file.endPage;
    const uint64_t newLength = (uint64_t{taken} + 1) * file.pageSize;
    if (newLength > 0xFFFFFFFFu) return XB_FAIL(XB_E_WRITE);
    s = os::SetLength(file.fileNo, static_cast<uint32_t>(newLength));
    if (s != 0) return s;
    file.endPage = taken + 1;
    s = WriteHeaderWord(file.fileNo, endPageOffset, file.endPage, file.flush);
    if (s != 0) return s;
  }
  s = cache.Fresh(file, taken, data);
  if (s != 0) return s;
  *page = taken;
  return 0;
}

namespace {

// Whether `page` holds a live tree page (its count byte is not the mark).
XBSTATUS IsLive(PageCache& cache, PageFile& file, uint32_t page, bool* live) {
  uint8_t* data = nullptr;
  const XBSTATUS s = cache.Read(file, page, &data);
  if (s != 0) return s;
  *live = data[0] != kFreedMark;
  return 0;
}

XBSTATUS MarkFree(PageCache& cache, PageFile& file, uint32_t page) {
  uint8_t* data = nullptr;
  XBSTATUS s = cache.Read(file, page, &data);
  if (s != 0) return s;
  PutLE32(data, kFreedMark);
  PutLE32(data + 4, 0);
  return cache.Write(file, page);
}

}  // namespace

XBSTATUS CompactPages(PageCache& cache, PageFile& file, FreePageList& freePages, PageMover& mover,
                      uint32_t lowestPage, uint32_t* newEnd) {
  // Every page above the highest live one is dropped at the end; a chain
  // longer than the file is damaged.
  uint32_t guard = file.endPage;
  while (!freePages.empty()) {
    if (guard-- == 0) return XB_E_FORMAT;
    uint32_t target = 0;
    XBSTATUS s = freePages.Take(cache, file, &target);
    if (s != 0) return s;
    uint32_t highest = 0;
    for (uint32_t p = file.endPage - 1; p > target; --p) {
      bool live = false;
      if ((s = IsLive(cache, file, p, &live)) != 0) return s;
      if (live) {
        highest = p;
        break;
      }
    }
    if (highest == 0) continue;  // nothing live above this free page
    if ((s = mover.Move(highest, target)) != 0) return s;
    if ((s = MarkFree(cache, file, highest)) != 0) return s;
  }
  uint32_t end = file.endPage;
  while (end - 1 > lowestPage) {
    bool live = false;
    const XBSTATUS s = IsLive(cache, file, end - 1, &live);
    if (s != 0) return s;
    if (live) break;
    --end;
  }
  *newEnd = end;
  return 0;
}

}  // namespace kv::xb::index
