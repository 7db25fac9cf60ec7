// Moveable global memory: a process-wide table of malloc'ed blocks behind
// 32-bit handles, guarded by one mutex.
#include "platform/kernel/memory.h"

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/kernel/fault.h"

namespace kvp {

namespace {

struct Block {
  char* data = nullptr;  // at least one byte, so that even an empty block has an address
  size_t size = 0;
  unsigned locks = 0;
  UINT flags = 0;
};

class BlockTable {
 public:
  std::mutex mutex;

  Block* Find(HGLOBAL handle) {
    auto found = blocks_.find(handle);
    return found == blocks_.end() ? nullptr : &found->second;
  }

  HGLOBAL Add(const Block& block) {
    // A freed number comes back only after the counter has gone round all
    // 2^32 values, so a stale handle finds nothing instead of another block.
    do {
      ++next_;
    } while (next_ == 0 || blocks_.count(next_) != 0);
    blocks_.emplace(next_, block);
    byAddress_.emplace(reinterpret_cast<uintptr_t>(block.data), next_);
    return next_;
  }

  void Remove(HGLOBAL handle) {
    auto found = blocks_.find(handle);
    byAddress_.erase(reinterpret_cast<uintptr_t>(found->second.data));
    blocks_.erase(found);
  }

  void Moved(HGLOBAL handle, uintptr_t oldAddress, const char* newData) {
    byAddress_.erase(oldAddress);
    byAddress_.emplace(reinterpret_cast<uintptr_t>(newData), handle);
  }

  // The block whose bytes include `address`, or 0.
  HGLOBAL Holding(uintptr_t address) const {
    auto after = byAddress_.upper_bound(address);
    if (after == byAddress_.begin()) return 0;
    auto candidate = std::prev(after);
    const Block& block = blocks_.at(candidate->second);
    const size_t extent = std::max<size_t>(block.size, 1);
    return address - candidate->first < extent ? candidate->second : 0;
  }

  size_t Count() const { return blocks_.size(); }

 private:
  // Numbers start above the 16-bit range so that a memory handle is not
  // mistaken for one of the engine's 16-bit file handles.
  HGLOBAL next_ = 0xFFFF;
  std::unordered_map<HGLOBAL, Block> blocks_;
  std::map<uintptr_t, HGLOBAL> byAddress_;
};

// Never destroyed, so that blocks freed from static destructors of other
// libraries still find the table.
BlockTable& Table() {
  static BlockTable* table = new BlockTable;
  return *table;
}

size_t Capacity(size_t bytes) {
  return std::max<size_t>(bytes, 1);
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
  if (fault::ShouldFail(fault::Op::Alloc)) return 0;
  void* data =
      (flags & GMEM_ZEROINIT) ? std::calloc(1, Capacity(bytes)) : std::malloc(Capacity(bytes));
  if (data == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  return table.Add(Block{static_cast<char*>(data), bytes, 0, flags & ~GMEM_ZEROINIT});
}

HGLOBAL GlobalReAlloc(HGLOBAL handle, size_t bytes, UINT flags) {
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  Block* block = table.Find(handle);
  if (block == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (flags & GMEM_MODIFY) {  // attributes only; the size is ignored
    block->flags = (block->flags & ~GMEM_MOVEABLE) | (flags & GMEM_MOVEABLE);
    return handle;
  }
  if (fault::ShouldFail(fault::Op::Alloc)) return 0;

  const size_t oldSize = block->size;
  if (Capacity(bytes) <= malloc_usable_size(block->data)) {
    // Fits where it is: the address stays, locked or not.
  } else if (block->locks != 0 && (flags & GMEM_MOVEABLE) == 0) {
    // As on Windows, a locked block moves only when the caller allows it
    // with GMEM_MOVEABLE (and then the addresses its locks returned are
    // stale); otherwise growing it fails and the block stays as it was.
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  } else {
    // Only the old address as a number is kept: the old pointer is dead
    // once realloc succeeds.
    const auto oldAddress = reinterpret_cast<uintptr_t>(block->data);
    void* moved = std::realloc(block->data, Capacity(bytes));
    if (moved == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    block->data = static_cast<char*>(moved);
    if (reinterpret_cast<uintptr_t>(moved) != oldAddress)
      table.Moved(handle, oldAddress, block->data);
  }
  if ((flags & GMEM_ZEROINIT) && bytes > oldSize) {
    std::memset(block->data + oldSize, 0, bytes - oldSize);
  }
  block->size = bytes;
  return handle;
}

void* GlobalLock(HGLOBAL handle) {
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  Block* block = table.Find(handle);
  if (block == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (block->locks != ~0u) ++block->locks;
  return block->data;
}

BOOL GlobalUnlock(HGLOBAL handle) {
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  Block* block = table.Find(handle);
  if (block == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  if (block->locks == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE_;
  }
  if (--block->locks != 0) return TRUE_;
  SetLastError(ERROR_SUCCESS);
  return FALSE_;
}

HGLOBAL GlobalHandle(const void* address) {
  if (address == nullptr) return 0;
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  HGLOBAL handle = table.Holding(reinterpret_cast<uintptr_t>(address));
  if (handle == 0) SetLastError(ERROR_INVALID_HANDLE);
  return handle;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  Block* block = table.Find(handle);
  if (block == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return handle;
  }
  std::free(block->data);  // a locked block may be freed too, as on Windows
  table.Remove(handle);
  return 0;
}

UINT GlobalFlags(HGLOBAL handle) {
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  const Block* block = table.Find(handle);
  if (block == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return GMEM_INVALID_HANDLE;
  }
  return std::min<unsigned>(block->locks, GMEM_LOCKCOUNT);
}

size_t GlobalSize(HGLOBAL handle) {
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  const Block* block = table.Find(handle);
  if (block == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return block->size;
}

size_t GlobalLiveBlocks() {
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  return table.Count();
}

}  // namespace kvp
