// Adding an entry: the shared B+-tree insertion (tree_insert.h) over NDX
// pages, whose entries are child, record number and key.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/ndx/ndx_tree.h"

namespace kv::xb::ndx {

index::PageShape Tree::Shape() const {
  return {4u, ix_.entrySize, 8u, ix_.keyLength, ix_.keysPerPage, 0u};
}

void Tree::PutEntry(uint8_t* entry, bool, const Item& item) const {
  PutLE32(entry, item.left);
  PutLE32(entry + 4, item.record);
  std::memcpy(entry + 8, item.key, ix_.keyLength);
  PutLE32(entry + ix_.entrySize, item.right);
}

XBSTATUS Tree::NewPage(uint32_t* page) {
  uint8_t* fresh = nullptr;
  return AllocatePage(ix_.cache, ix_.pages, ix_.freePages, kOffEndPage, page, &fresh);
}

XBSTATUS Tree::SetRoot(uint32_t root) {
  ix_.root = root;
  PutLE32(ix_.header + kOffRoot, root);
  return index::WriteHeaderWord(ix_.fileNo, kOffRoot, root, ix_.writeMode != 0);
}

}  // namespace kv::xb::ndx
