// Moveable global memory: the system's own blocks, so that a block a library
// hands the host is freed by the host's GlobalFree. The layer adds failure
// injection and the count of live blocks that tests check (one for the
// process, live_counts.h).
#include "platform/kernel/memory.h"

#include "platform/kernel/fault.h"
#include "platform/kernel/win32/live_counts.h"
// (after the layer's headers)
#include "platform/kernel/win32/windows_api.h"

namespace kvp {

namespace {

// A handle of 32-bit Windows is an address-sized value; KVHGLOBAL carries it.
::HGLOBAL ToSystem(HGLOBAL block) {
  return reinterpret_cast<::HGLOBAL>(static_cast<uintptr_t>(block));
}

HGLOBAL FromSystem(::HGLOBAL block) {
  static_assert(sizeof(::HGLOBAL) == sizeof(HGLOBAL), "a 32-bit target");
  return static_cast<HGLOBAL>(reinterpret_cast<uintptr_t>(block));
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
  if (fault::ShouldFail(fault::Op::Alloc)) return 0;
  ::HGLOBAL block = ::GlobalAlloc(flags, bytes);
  if (block == nullptr) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  detail::AddLive(detail::LiveCount::GlobalBlocks, 1);
  return FromSystem(block);
}

HGLOBAL GlobalReAlloc(HGLOBAL block, size_t bytes, UINT flags) {
  if ((flags & GMEM_MODIFY) == 0 && fault::ShouldFail(fault::Op::Alloc)) return 0;
  ::HGLOBAL resized = ::GlobalReAlloc(ToSystem(block), bytes, flags);
  if (resized == nullptr) {
    if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  return FromSystem(resized);
}

void* GlobalLock(HGLOBAL block) {
  return ::GlobalLock(ToSystem(block));
}

BOOL GlobalUnlock(HGLOBAL block) {
  return ::GlobalUnlock(ToSystem(block));
}

HGLOBAL GlobalHandle(const void* address) {
  return FromSystem(::GlobalHandle(address));
}

HGLOBAL GlobalFree(HGLOBAL block) {
  ::HGLOBAL left = ::GlobalFree(ToSystem(block));
  if (left == nullptr) detail::AddLive(detail::LiveCount::GlobalBlocks, -1);
  return FromSystem(left);
}

UINT GlobalFlags(HGLOBAL block) {
  return ::GlobalFlags(ToSystem(block));
}

size_t GlobalSize(HGLOBAL block) {
  return ::GlobalSize(ToSystem(block));
}

size_t GlobalLiveBlocks() {
  return detail::LiveTotal(detail::LiveCount::GlobalBlocks);
}

}  // namespace kvp
