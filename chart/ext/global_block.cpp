#include "chart/ext/global_block.h"

#include "platform/kernel/memory.h"

namespace kv::ext {
namespace {
OutOfMemoryHook outOfMemoryHook = nullptr;
}

void* AllocateHostBlock(size_t bytes) {
  kvp::HGLOBAL handle = kvp::GlobalAlloc(kvp::GHND, bytes);
  void* address = handle != 0 ? kvp::GlobalLock(handle) : nullptr;
  if (address == nullptr) {
    if (handle != 0) kvp::GlobalFree(handle);
    if (outOfMemoryHook != nullptr) outOfMemoryHook();
  }
  return address;
}

void FreeHostBlock(const void* address) {
  if (address == nullptr) return;
  kvp::HGLOBAL handle = kvp::GlobalHandle(address);
  if (handle == 0) return;
  kvp::GlobalUnlock(handle);
  kvp::GlobalFree(handle);
}

void SetOutOfMemoryHook(OutOfMemoryHook hook) {
  outOfMemoryHook = hook;
}

}  // namespace kv::ext
