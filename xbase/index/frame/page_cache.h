// The page cache of an open index: ten slot descriptors, three of which own
// a page buffer, kept in most-recently-used order. Pages are written through
// at once; a slot flagged for write-back (a page just allocated) is written
// before its buffer is reused. The cache lives for one call only: the
// operation frame empties it at the end of every call, so that another
// process's changes are read afresh by the next call.
#pragma once
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/frame/memory_block.h"

namespace kv::xb::index {

inline constexpr XBSTATUS kNoSlotInUse = -9;
inline constexpr XBSTATUS kPageNotCached = -10;

// Where the pages of one index file lie.
struct PageFile {
  int fileNo = 0;
  bool readOnly = false;
  bool flush = true;     // passed to every write
  uint32_t endPage = 0;  // pages firstPage..endPage-1 may be read and written
  uint32_t pageSize = 512;
  // Files addressed in units smaller than a page (MDX: 512-byte block
  // numbers, pages of B units) set the unit and the first page number that
  // can hold a page; 0 means the unit is the page.
  uint32_t unitSize = 0;
  uint32_t firstPage = 1;
  uint64_t OffsetOf(uint32_t page) const {
    return uint64_t{page} * (unitSize != 0 ? unitSize : pageSize);
  }
};

class PageCache {
 public:
  static constexpr int kSlots = 10;
  static constexpr int kBuffered = 3;
  // The most buffers a family may ask for (the IDX family keeps four).
  static constexpr int kMaxBuffered = 4;
  // Bytes after every buffer beyond the page, always zero after a read: an
  // entry table that ends exactly at the page's end may read its trailing
  // child field there without leaving the buffer.
  static constexpr uint32_t kSlack = 8;

  // Module names of the failures of reads and writes (for the log).
  PageCache(const char* readModule, const char* writeModule)
      : readModule_(readModule), writeModule_(writeModule) {}

  XBSTATUS Allocate(uint32_t pageSize, int buffers = kBuffered);
  void Release();

  // Page `page` in the cache, moved to the front; `*data` stays valid until
  // the next Read, Fresh or Drop.
  XBSTATUS Read(PageFile& file, uint32_t page, uint8_t** data);
  // Writes the cached page `page` at once, then frees its slot.
  XBSTATUS Write(PageFile& file, uint32_t page);
  // A slot for a page just allocated: zero-filled, flagged for write-back.
  XBSTATUS Fresh(PageFile& file, uint32_t page, uint8_t** data);
  // Page `page` copied out of the cache into `out` (a page and the slack
  // after it), or copied from `in` into the cache and written at once.
  XBSTATUS CopyOut(PageFile& file, uint32_t page, uint8_t* out);
  XBSTATUS CopyIn(PageFile& file, uint32_t page, const uint8_t* in);
  // Read, Fresh and Write of the page at byte `offset` of a file whose
  // pages are named by their offsets: one not a multiple of the page size
  // fails as a seek.
  XBSTATUS ReadAt(PageFile& file, uint32_t offset, uint8_t** data);
  XBSTATUS FreshAt(PageFile& file, uint32_t offset, uint8_t** data);
  XBSTATUS WriteAt(PageFile& file, uint32_t offset) { return Write(file, offset / pageSize_); }
  // A damaged page structure found by a reader of this cache's pages: -18
  // logged under the read module.
  XBSTATUS Corrupt() const;
  // Empties the cache (pages flagged for write-back are written first).
  XBSTATUS Drop(PageFile& file);

  int InUse() const { return inUse_; }

 private:
  static constexpr uint8_t kInUse = 0x20;
  static constexpr uint8_t kLocked = 0x04;
  static constexpr uint8_t kWriteBack = 0x02;

  struct Slot {
    uint32_t page = 0;
    MemoryBlock* buffer = nullptr;  // null for the slots without a buffer
    uint8_t flags = 0;
  };

  // Takes a slot for a page not in the cache, writing back its old page when
  // flagged; returns its position or a negative status.
  int TakeSlot(PageFile& file, XBSTATUS* status);
  void MoveToFront(int position);
  XBSTATUS WriteSlot(PageFile& file, const Slot& slot);
  bool InRange(const PageFile& file, uint32_t page) const {
    return page >= file.firstPage && page < file.endPage;
  }

  const char* readModule_;
  const char* writeModule_;
  MemoryBlock buffers_[kMaxBuffered];
  Slot slots_[kSlots];
  int inUse_ = 0;
  int buffered_ = 0;
  uint32_t pageSize_ = 0;
};

}  // namespace kv::xb::index
