// Adding an entry to a tag: the shared B+-tree insertion (tree_insert.h)
// over MDX nodes, whose entries are a pointer (record number in a leaf,
// left child above) and a key.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/mdx/mdx_tree.h"

namespace kv::xb::mdx {

index::PageShape Tree::Shape() const {
  return {8u, t_.entrySize, 4u, t_.keyLength, t_.keysPerBlock, 4u};
}

void Tree::PutEntry(uint8_t* entry, bool leaf, const Item& item) const {
  // A leaf entry's pointer is its record number, an interior one's its left
  // child; a leaf's next pointer belongs to the entry after it.
  PutLE32(entry, leaf ? item.record : item.left);
  std::memcpy(entry + 4, item.key, t_.keyLength);
  if (!leaf) PutLE32(entry + t_.entrySize, item.right);
}

XBSTATUS Tree::NewPage(uint32_t* block) {
  uint8_t* fresh = nullptr;
  return AllocateBlock(file_, t_.cache, block, &fresh);
}

XBSTATUS Tree::SetRoot(uint32_t root) {
  t_.root = root;
  PutLE32(t_.header + kTagRoot, root);
  entry_.headerDirty = true;
  return index::WriteHeaderWord(file_.fileNo, entry_.headerBlock * kUnit + kTagRoot, root,
                                file_.pages.flush);
}

}  // namespace kv::xb::mdx
