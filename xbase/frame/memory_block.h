// Engine-owned memory: moveable global blocks with the 128 spare zero bytes
// every engine allocation carries, kept locked while their owner lives.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"

namespace kv::xb {

class MemoryBlock {
 public:
  MemoryBlock() = default;
  ~MemoryBlock() { Free(); }
  MemoryBlock(const MemoryBlock&) = delete;
  MemoryBlock& operator=(const MemoryBlock&) = delete;
  MemoryBlock(MemoryBlock&& other) noexcept { *this = static_cast<MemoryBlock&&>(other); }
  MemoryBlock& operator=(MemoryBlock&& other) noexcept;

  // Allocates `size` usable bytes (plus the spare ones), zero-filled, and
  // locks them. Failure sets -3 (allocation) or -58 (lock) with a log line.
  XBSTATUS Allocate(size_t size);
  // Resizes, keeping the contents; added bytes are zero.
  XBSTATUS Resize(size_t size);
  void Free();
  // Gives the block up without freeing it, still locked: for blocks handed
  // to the host, which frees them with XBMFREE or _XBMFREE.
  KVHGLOBAL Detach() {
    const KVHGLOBAL h = handle_;
    handle_ = 0;
    data_ = nullptr;
    size_ = 0;
    return h;
  }

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  KVHGLOBAL handle() const { return handle_; }
  bool empty() const { return data_ == nullptr; }

  template <typename T>
  T* as() const {
    return reinterpret_cast<T*>(data_);
  }

 private:
  KVHGLOBAL handle_ = 0;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Spare zero bytes after every engine allocation.
inline constexpr size_t kSpareBytes = 128;

}  // namespace kv::xb
