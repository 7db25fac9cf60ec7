// The memory functions the host uses to free blocks the engine hands it.
#include "platform/kernel/memory.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/memory_block.h"

using namespace kv::xb;

namespace {
constexpr const char* kModule = "MALLOC";

XBSTATUS FreeBlock(KVHGLOBAL block) {
  const kvp::UINT flags = kvp::GlobalFlags(block);
  if (block == 0 || (flags & kvp::GMEM_INVALID_HANDLE) != 0) return Status();
  for (kvp::UINT locks = flags & kvp::GMEM_LOCKCOUNT; locks > 0; --locks) {
    kvp::GlobalUnlock(block);
  }
  if (kvp::GlobalFree(block) != 0) return XB_FAIL(XB_E_MEMORY);
  return Status();
}
}  // namespace

KV_API XBSTATUS KV_CALL _XBMALLOC(KVHGLOBAL* block, uint32_t size) {
  XB_ENTER();
  if (block == nullptr) return XB_FAIL(XB_E_NULL);
  KVHGLOBAL h = kvp::GlobalAlloc(kvp::GHND, size_t{size} + kSpareBytes);
  if (h == 0) return XB_FAIL(XB_E_MEMORY);
  *block = h;
  return Status();
}

KV_API XBSTATUS KV_CALL _XBMRALLOC(KVHGLOBAL* block, uint32_t size) {
  XB_ENTER();
  if (block == nullptr) return XB_FAIL(XB_E_NULL);
  KVHGLOBAL h = kvp::GlobalReAlloc(*block, size_t{size} + kSpareBytes,
                                   kvp::GMEM_MOVEABLE | kvp::GMEM_ZEROINIT);
  if (h == 0) return XB_FAIL(XB_E_MEMORY);
  *block = h;
  // The old spare bytes may have been written by a careless caller; what
  // lies beyond the requested size must be zero again.
  if (void* p = kvp::GlobalLock(h)) {
    auto* bytes = static_cast<uint8_t*>(p);
    for (size_t i = size; i < size_t{size} + kSpareBytes; ++i) bytes[i] = 0;
    kvp::GlobalUnlock(h);
  }
  return Status();
}

KV_API XBSTATUS KV_CALL _XBMFREE(KVHGLOBAL block) {
  XB_ENTER();
  return FreeBlock(block);
}

KV_API XBSTATUS KV_CALL XBMFREE(void* address) {
  XB_ENTER();
  if (address != nullptr) FreeBlock(kvp::GlobalHandle(address));
  return SetState(0);
}

KV_API XBSTATUS KV_CALL _XBMLOCK(void** address, KVHGLOBAL block) {
  XB_ENTER();
  if (address == nullptr) return XB_FAIL(XB_E_NULL);
  void* p = kvp::GlobalLock(block);
  if (p == nullptr) return XB_FAIL(XB_E_LOCK_MEMORY);
  *address = p;
  return Status();
}

KV_API XBSTATUS KV_CALL _XBMUNLOCK(KVHGLOBAL block) {
  XB_ENTER();
  kvp::GlobalUnlock(block);
  return SetState(0);
}
