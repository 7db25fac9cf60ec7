// Removing an entry: the shared B+-tree removal (tree_delete.h) over NDX
// pages. A page left with fewer than half its keys is merged with a sibling
// when the two fit in one page; an interior page left without keys (one
// child) that cannot be merged takes one entry from its sibling instead, so
// that no page is ever left empty below the root.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/tree_delete.h"
#include "xbase/index/ndx/ndx_tree.h"

namespace kv::xb::ndx {
XBSTATUS Tree::Rotate(Siblings& p) {
  // The short page is an interior page without keys (one child); its
  // sibling is too full to merge with. One child moves over through the
  // parent.
  Page& page = p.page;
  Page& sibling = p.pageIsLeft ? p.right : p.left;
  const uint32_t siblingNo = p.pageIsLeft ? p.rightNo : p.leftNo;
  const int sc = NdxIndex::Count(sibling);
  if (sc < 1) return Corrupt();
  Page& parent = p.parent;
  const int li = p.li;
  const uint32_t only = ix_.Child(page, 0);
  if (p.pageIsLeft) {
    ix_.SetChild(page, 0, only);
    ix_.SetRecord(page, 0, 0);
    std::memcpy(ix_.Key(page, 0), ix_.Key(parent, li), ix_.keyLength);
    ix_.SetChild(page, 1, ix_.Child(sibling, 0));
    std::memcpy(ix_.Key(parent, li), ix_.Key(sibling, 0), ix_.keyLength);
    const size_t bytes = ix_.Offset(sc) + 4u - ix_.Offset(1);
    std::memmove(sibling.bytes + ix_.Offset(0), sibling.bytes + ix_.Offset(1), bytes);
  } else {
    ix_.SetChild(page, 0, ix_.Child(sibling, sc));
    ix_.SetRecord(page, 0, 0);
    std::memcpy(ix_.Key(page, 0), ix_.Key(parent, li), ix_.keyLength);
    ix_.SetChild(page, 1, only);
    std::memcpy(ix_.Key(parent, li), ix_.Key(sibling, sc - 1), ix_.keyLength);
  }
  std::memset(sibling.bytes + ix_.Offset(sc - 1) + 4, 0, ix_.entrySize - 4u);
  NdxIndex::SetCount(sibling, sc - 1);
  NdxIndex::SetCount(page, 1);
  XBSTATUS s = Store(siblingNo, sibling);
  if (s != 0) return s;
  if ((s = Store(p.pageNo, page)) != 0) return s;
  return Store(p.parentNo, parent);
}

XBSTATUS Tree::Rejoin(Siblings& p, bool* merged) {
  // A merge of interior pages takes the parent's separator down as well.
  const int joined = NdxIndex::Count(p.left) + NdxIndex::Count(p.right) + (p.leaf ? 0 : 1);
  if (joined <= ix_.keysPerPage) {
    *merged = true;
    return MergeIntoRight(p);
  }
  return p.count == 0 && !p.leaf ? Rotate(p) : 0;
}

}  // namespace kv::xb::ndx
