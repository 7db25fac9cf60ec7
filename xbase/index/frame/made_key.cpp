#include "xbase/index/frame/made_key.h"

#include "xbase/frame/memory_block.h"

namespace kv::xb::index {

XBSTATUS NewKeyBlock(const char* module, size_t size, KVHGLOBAL* block, uint8_t** bytes) {
  const char* kModule = module;
  const KVHGLOBAL h = kvp::GlobalAlloc(kvp::GHND, size + kSpareBytes);
  if (h == 0) return XB_FAIL(XB_E_MEMORY);
  auto* p = static_cast<uint8_t*>(kvp::GlobalLock(h));
  if (p == nullptr) {
    kvp::GlobalFree(h);
    return XB_FAIL(XB_E_LOCK_MEMORY);
  }
  *block = h;
  *bytes = p;
  return 0;
}

}  // namespace kv::xb::index
