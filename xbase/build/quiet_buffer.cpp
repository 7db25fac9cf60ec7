#include "platform/kernel/memory.h"
#include "xbase/build/bulk_internal.h"

namespace kv::xb::bulk {

bool QuietBuffer::TryAllocate(size_t size) {
  Free();
  KVHGLOBAL h = kvp::GlobalAlloc(kvp::GHND, size + kSpareBytes);
  if (h == 0) return false;
  void* p = kvp::GlobalLock(h);
  if (p == nullptr) {
    kvp::GlobalFree(h);
    return false;
  }
  handle_ = h;
  data_ = static_cast<uint8_t*>(p);
  size_ = size;
  return true;
}

void QuietBuffer::Free() {
  if (handle_ != 0) {
    kvp::GlobalUnlock(handle_);
    kvp::GlobalFree(handle_);
  }
  handle_ = 0;
  data_ = nullptr;
  size_ = 0;
}

}  // namespace kv::xb::bulk
