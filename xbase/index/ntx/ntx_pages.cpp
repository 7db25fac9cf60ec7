// Page allocation and release. Freed pages form a chain in the file itself:
// header offset 8 names the first, and the first four bytes of each freed
// page name the next (0 ends the chain). Unlike the NDX chain it is shared by
// every process that opens the file.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/ntx/ntx_tree.h"

namespace kv::xb::ntx {
namespace {
constexpr const char* kModule = "CPPUT";
}  // namespace

XBSTATUS Tree::SetRoot(uint32_t root) {
  ix_.root = root;
  PutLE32(ix_.header + kOffRoot, root);
  return index::WriteHeaderWord(ix_.fileNo, kOffRoot, root, ix_.pages.flush);
}

XBSTATUS Tree::Allocate(uint32_t* offset, Page* page) {
  auto valid = [this](uint32_t at) {
    return at % kPageSize == 0 && at >= kPageSize && at / kPageSize < ix_.pages.endPage;
  };
  uint32_t taken = 0;
  XBSTATUS s = 0;
  if (ix_.freeHead != 0) {
    uint32_t next = 0;
    if (valid(ix_.freeHead)) {
      uint8_t* data = nullptr;
      if ((s = ix_.cache.Read(ix_.pages, ix_.freeHead / kPageSize, &data)) != 0) return s;
      taken = ix_.freeHead;
      next = GetLE32(data);
      // A damaged link ends the chain rather than handing out a page twice.
      if (!valid(next) || next == taken) next = 0;
    }
    ix_.freeHead = next;
    PutLE32(ix_.header + kOffFreeHead, next);
    s = index::WriteHeaderWord(ix_.fileNo, kOffFreeHead, next, ix_.pages.flush);
    if (s != 0) return s;
  }
  if (taken == 0) {
    // A file whose size is not a multiple of the page size grows from the
    // next page boundary.
    const uint64_t end = uint64_t{ix_.pages.endPage} * kPageSize;
    if (end + kPageSize > 0xFFFFFC00u) return XB_FAIL(XB_E_WRITE);
    if ((s = os::SetLength(ix_.fileNo, static_cast<uint32_t>(end + kPageSize))) != 0) return s;
    taken = static_cast<uint32_t>(end);
    ++ix_.pages.endPage;
  }
  std::memset(page->bytes, 0, sizeof page->bytes);
  LayOut(*page);
  *offset = taken;
  return 0;
}

XBSTATUS Tree::Release(uint32_t offset) {
  Page page{};
  PutLE32(page.bytes, ix_.freeHead);
  XBSTATUS s = Store(offset, page);
  if (s != 0) return s;
  ix_.freeHead = offset;
  PutLE32(ix_.header + kOffFreeHead, offset);
  return index::WriteHeaderWord(ix_.fileNo, kOffFreeHead, offset, ix_.pages.flush);
}

}  // namespace kv::xb::ntx
