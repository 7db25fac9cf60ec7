#include "xbase/index/frame/page_cache.h"

#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"

namespace kv::xb::index {

XBSTATUS PageCache::Allocate(uint32_t pageSize, int buffers) {
  if (buffers < 1 || buffers > kMaxBuffered) return XB_E_ARGUMENT;
  pageSize_ = pageSize;
  inUse_ = 0;
  buffered_ = 0;
  for (int i = 0; i < kSlots; ++i) slots_[i] = Slot{};
  for (int i = 0; i < buffers; ++i) {
    const XBSTATUS s = buffers_[i].Allocate(pageSize + kSlack);
    if (s != 0) {
      Release();
      return s;
    }
    slots_[i].buffer = &buffers_[i];
    ++buffered_;
  }
  return 0;
}

XBSTATUS PageCache::CopyOut(PageFile& file, uint32_t page, uint8_t* out) {
  uint8_t* data = nullptr;
  const XBSTATUS s = Read(file, page, &data);
  if (s == 0) std::memcpy(out, data, pageSize_ + kSlack);
  return s;
}

XBSTATUS PageCache::CopyIn(PageFile& file, uint32_t page, const uint8_t* in) {
  uint8_t* data = nullptr;
  const XBSTATUS s = Fresh(file, page, &data);
  if (s != 0) return s;
  std::memcpy(data, in, pageSize_);
  return Write(file, page);
}

XBSTATUS PageCache::ReadAt(PageFile& file, uint32_t offset, uint8_t** data) {
  if (pageSize_ == 0 || offset % pageSize_ != 0) {
    const char* kModule = readModule_;
    return XB_FAIL(XB_E_SEEK);
  }
  return Read(file, offset / pageSize_, data);
}

XBSTATUS PageCache::FreshAt(PageFile& file, uint32_t offset, uint8_t** data) {
  if (pageSize_ == 0 || offset % pageSize_ != 0) {
    const char* kModule = writeModule_;
    return XB_FAIL(XB_E_SEEK);
  }
  return Fresh(file, offset / pageSize_, data);
}

XBSTATUS PageCache::Corrupt() const {
  const char* kModule = readModule_;
  return XB_FAIL(XB_E_FORMAT);
}

void PageCache::Release() {
  for (auto& b : buffers_) b.Free();
  for (auto& s : slots_) s = Slot{};
  inUse_ = 0;
  buffered_ = 0;
}

void PageCache::MoveToFront(int position) {
  const Slot moved = slots_[position];
  for (int i = position; i > 0; --i) slots_[i] = slots_[i - 1];
  slots_[0] = moved;
}

XBSTATUS PageCache::WriteSlot(PageFile& file, const Slot& slot) {
  XBSTATUS s = os::Seek(file.fileNo, file.OffsetOf(slot.page));
  if (s == 0) s = os::Write(file.fileNo, slot.buffer->data(), file.pageSize, file.flush);
  return s;
}

int PageCache::TakeSlot(PageFile& file, XBSTATUS* status) {
  *status = 0;
  if (buffered_ == 0) {
    const char* kModule = readModule_;
    *status = XB_FAIL(XB_E_MEMORY);
    return -1;
  }
  int position;
  if (inUse_ < buffered_) {
    position = inUse_++;
  } else {
    position = inUse_ - 1;  // the least recently used
    Slot& old = slots_[position];
    if (old.flags & kWriteBack) {
      const XBSTATUS s = WriteSlot(file, old);
      if (s != 0) {
        *status = s;
        return -1;
      }
    }
  }
  slots_[position].page = 0;
  slots_[position].flags = 0;
  return position;
}

XBSTATUS PageCache::Read(PageFile& file, uint32_t page, uint8_t** data) {
  const char* kModule = readModule_;
  if (!InRange(file, page)) return XB_FAIL(XB_E_SEEK);
  for (int i = 0; i < inUse_; ++i) {
    if (slots_[i].page == page) {
      MoveToFront(i);
      *data = slots_[0].buffer->data();
      return 0;
    }
  }
  XBSTATUS s = 0;
  const int position = TakeSlot(file, &s);
  if (position < 0) return s;
  Slot& slot = slots_[position];
  uint8_t* buffer = slot.buffer->data();
  s = os::Seek(file.fileNo, file.OffsetOf(page));
  if (s == 0) s = os::Read(file.fileNo, buffer, file.pageSize);
  if (s != 0) {
    // The slot stays in the list but names no page.
    if (s == XB_E_READ) XB_FAIL(XB_E_READ);
    return Status();
  }
  std::memset(buffer + file.pageSize, 0, kSlack);
  slot.page = page;
  slot.flags = kInUse | kLocked;
  MoveToFront(position);
  *data = slots_[0].buffer->data();
  return 0;
}

XBSTATUS PageCache::Fresh(PageFile& file, uint32_t page, uint8_t** data) {
  const char* kModule = readModule_;
  if (!InRange(file, page)) return XB_FAIL(XB_E_SEEK);
  int position = -1;
  for (int i = 0; i < inUse_; ++i) {
    if (slots_[i].page == page) position = i;
  }
  XBSTATUS s = 0;
  if (position < 0 && (position = TakeSlot(file, &s)) < 0) return s;
  Slot& slot = slots_[position];
  std::memset(slot.buffer->data(), 0, file.pageSize + kSlack);
  slot.page = page;
  slot.flags = kInUse | kLocked | kWriteBack;
  MoveToFront(position);
  *data = slots_[0].buffer->data();
  return 0;
}

XBSTATUS PageCache::Write(PageFile& file, uint32_t page) {
  const char* kModule = writeModule_;
  if (file.readOnly) return XB_FAIL(XB_E_READONLY);
  if (!InRange(file, page)) return XB_FAIL(XB_E_SEEK);
  if (inUse_ == 0) return XB_FAIL(kNoSlotInUse);
  int position = -1;
  for (int i = 0; i < inUse_; ++i) {
    if (slots_[i].page == page) position = i;
  }
  if (position < 0) return XB_FAIL(kPageNotCached);
  const XBSTATUS s = WriteSlot(file, slots_[position]);
  if (s != 0) return s;
  // The slot is free again and goes to the end of the list.
  Slot cleared = slots_[position];
  cleared.page = 0;
  cleared.flags = 0;
  for (int i = position; i < inUse_ - 1; ++i) slots_[i] = slots_[i + 1];
  slots_[inUse_ - 1] = cleared;
  --inUse_;
  return 0;
}

XBSTATUS PageCache::Drop(PageFile& file) {
  XBSTATUS result = 0;
  for (int i = 0; i < inUse_; ++i) {
    Slot& slot = slots_[i];
    if ((slot.flags & kWriteBack) && !file.readOnly && InRange(file, slot.page)) {
      const XBSTATUS s = WriteSlot(file, slot);
      if (s != 0 && result == 0) result = s;
    }
    slot.page = 0;
    slot.flags = 0;
  }
  inUse_ = 0;
  return result;
}

}  // namespace kv::xb::index
