#include "xbase/frame/memory_block.h"

#include "platform/kernel/memory.h"
#include "xbase/frame/engine.h"

namespace kv::xb {

constexpr const char* kModule = "MALLOC";

MemoryBlock& MemoryBlock::operator=(MemoryBlock&& other) noexcept {
  if (this != &other) {
    Free();
    handle_ = other.handle_;
    data_ = other.data_;
    size_ = other.size_;
    other.handle_ = 0;
    other.data_ = nullptr;
    other.size_ = 0;
  }
  return *this;
}

XBSTATUS MemoryBlock::Allocate(size_t size) {
  Free();
  KVHGLOBAL h = kvp::GlobalAlloc(kvp::GHND, size + kSpareBytes);
  if (h == 0) return XB_FAIL(XB_E_MEMORY);
  void* p = kvp::GlobalLock(h);
  if (p == nullptr) {
    kvp::GlobalFree(h);
    return XB_FAIL(XB_E_LOCK_MEMORY);
  }
  handle_ = h;
  data_ = static_cast<uint8_t*>(p);
  size_ = size;
  return 0;
}

XBSTATUS MemoryBlock::Resize(size_t size) {
  if (handle_ == 0) return Allocate(size);
  kvp::GlobalUnlock(handle_);
  KVHGLOBAL h =
      kvp::GlobalReAlloc(handle_, size + kSpareBytes, kvp::GMEM_MOVEABLE | kvp::GMEM_ZEROINIT);
  void* p = kvp::GlobalLock(handle_);
  if (h == 0) return XB_FAIL(XB_E_MEMORY);
  if (p == nullptr) return XB_FAIL(XB_E_LOCK_MEMORY);
  data_ = static_cast<uint8_t*>(p);
  if (size > size_) {
    // The spare bytes of the old size become usable bytes: keep them zero.
    for (size_t i = size_; i < size + kSpareBytes; ++i) data_[i] = 0;
  }
  size_ = size;
  return 0;
}

void MemoryBlock::Free() {
  if (handle_ != 0) {
    kvp::GlobalUnlock(handle_);
    kvp::GlobalFree(handle_);
  }
  handle_ = 0;
  data_ = nullptr;
  size_ = 0;
}

}  // namespace kv::xb
