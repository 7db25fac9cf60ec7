// Removing an entry. The greatest key of a leaf is also the key that bounds
// the leaf in an ancestor; removing it updates that key. A page left with
// fewer than half its keys is merged with a sibling when the two fit in one
// page; an interior page left without keys (one child) that cannot be merged
// takes one entry from its sibling instead, so that no page is ever left
// empty below the root. A root left with one child hands the root over.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/ndx/ndx_tree.h"

namespace kv::xb::ndx {
XBSTATUS Tree::Rotate(Page& page, uint32_t pageNo, Page& parent, uint32_t parentNo, bool pageIsLeft,
                      int leftIndex) {
  // `page` is an interior page without keys (one child); its sibling is too
  // full to merge with. One child moves over through the parent.
  const uint32_t siblingNo = ix_.Child(parent, pageIsLeft ? leftIndex + 1 : leftIndex);
  Page sibling;
  XBSTATUS s = Load(siblingNo, &sibling);
  if (s != 0) return s;
  const int sc = NdxIndex::Count(sibling);
  if (sc < 1 || ix_.IsLeaf(sibling)) return Corrupt();
  const uint32_t only = ix_.Child(page, 0);
  if (pageIsLeft) {
    ix_.SetChild(page, 0, only);
    ix_.SetRecord(page, 0, 0);
    std::memcpy(ix_.Key(page, 0), ix_.Key(parent, leftIndex), ix_.keyLength);
    ix_.SetChild(page, 1, ix_.Child(sibling, 0));
    std::memcpy(ix_.Key(parent, leftIndex), ix_.Key(sibling, 0), ix_.keyLength);
    const size_t bytes = ix_.Offset(sc) + 4u - ix_.Offset(1);
    std::memmove(sibling.bytes + ix_.Offset(0), sibling.bytes + ix_.Offset(1), bytes);
  } else {
    ix_.SetChild(page, 0, ix_.Child(sibling, sc));
    ix_.SetRecord(page, 0, 0);
    std::memcpy(ix_.Key(page, 0), ix_.Key(parent, leftIndex), ix_.keyLength);
    ix_.SetChild(page, 1, only);
    std::memcpy(ix_.Key(parent, leftIndex), ix_.Key(sibling, sc - 1), ix_.keyLength);
  }
  std::memset(sibling.bytes + ix_.Offset(sc - 1) + 4, 0, ix_.entrySize - 4u);
  NdxIndex::SetCount(sibling, sc - 1);
  NdxIndex::SetCount(page, 1);
  if ((s = Store(siblingNo, sibling)) != 0) return s;
  if ((s = Store(pageNo, page)) != 0) return s;
  return Store(parentNo, parent);
}

XBSTATUS Tree::Rebalance(int level) {
  auto& path = ix_.path;
  const int K = ix_.keysPerPage;
  while (level > 0) {
    Page page;
    XBSTATUS s = Load(path[level].page, &page);
    if (s != 0) return s;
    const int count = NdxIndex::Count(page);
    if (count >= ix_.half) return 0;
    const uint32_t parentNo = path[level - 1].page;
    Page parent;
    if ((s = Load(parentNo, &parent)) != 0) return s;
    const int pcount = NdxIndex::Count(parent);
    if (pcount == 0) return 0;  // no sibling to work with
    const int at = path[level - 1].index;
    // The left sibling for the last child, else the right one.
    const bool pageIsLeft = at < pcount;
    const int li = pageIsLeft ? at : pcount - 1;
    const uint32_t leftNo = ix_.Child(parent, li);
    const uint32_t rightNo = ix_.Child(parent, li + 1);
    Page left;
    Page right;
    if ((s = Load(leftNo, &left)) != 0) return s;
    if ((s = Load(rightNo, &right)) != 0) return s;
    const bool leaf = ix_.IsLeaf(page);
    if (ix_.IsLeaf(left) != leaf || ix_.IsLeaf(right) != leaf) return Corrupt();
    const int lc = NdxIndex::Count(left);
    const int rc = NdxIndex::Count(right);
    const int merged = lc + rc + (leaf ? 0 : 1);
    if (merged > K) {
      if (count == 0 && !leaf) {
        return Rotate(page, path[level].page, parent, parentNo, pageIsLeft, li);
      }
      return 0;
    }
    // Everything goes into the right page: its bounding key stays valid.
    Page m{};
    std::memcpy(m.bytes + ix_.Offset(0), left.bytes + ix_.Offset(0),
                ix_.Offset(lc) - ix_.Offset(0));
    int pos = lc;
    if (!leaf) {
      // The parent's separating key comes down with the left page's last
      // child.
      ix_.SetChild(m, pos, ix_.Child(left, lc));
      ix_.SetRecord(m, pos, 0);
      std::memcpy(ix_.Key(m, pos), ix_.Key(parent, li), ix_.keyLength);
      ++pos;
    }
    std::memcpy(m.bytes + ix_.Offset(pos), right.bytes + ix_.Offset(0),
                ix_.Offset(rc) + 4u - ix_.Offset(0));
    NdxIndex::SetCount(m, merged);
    if ((s = Store(rightNo, m)) != 0) return s;
    // The parent's entry for the emptied left page goes.
    const size_t bytes = ix_.Offset(pcount) + 4u - ix_.Offset(li + 1);
    std::memmove(parent.bytes + ix_.Offset(li), parent.bytes + ix_.Offset(li + 1), bytes);
    std::memset(parent.bytes + ix_.Offset(pcount) + 4 - ix_.entrySize, 0, ix_.entrySize);
    NdxIndex::SetCount(parent, pcount - 1);
    if ((s = Store(parentNo, parent)) != 0) return s;
    if ((s = Release(leftNo)) != 0) return s;
    --level;
  }
  return 0;
}

XBSTATUS Tree::Remove(const SearchKey& entry, XBSTATUS* code) {
  auto& path = ix_.path;
  XBSTATUS s = index::FindForRemoval(*this, entry, code);
  if (s != 0 || *code != index::kKeyFound) return s;
  const int level = path.depth();
  const uint32_t leafNo = path[level].page;
  Page leaf;
  if ((s = Load(leafNo, &leaf)) != 0) return s;
  const int count = NdxIndex::Count(leaf);
  const int at = path[level].index;
  if (!ix_.IsLeaf(leaf) || at < 0 || at >= count) return Corrupt();
  std::memmove(leaf.bytes + ix_.Offset(at), leaf.bytes + ix_.Offset(at + 1),
               ix_.Offset(count) - ix_.Offset(at + 1));
  std::memset(leaf.bytes + ix_.Offset(count - 1), 0, ix_.entrySize);
  NdxIndex::SetCount(leaf, count - 1);
  if ((s = Store(leafNo, leaf)) != 0) return s;
  if (at == count - 1 && level > 0 && (s = UpdateBound(level, leaf)) != 0) return s;
  if ((s = Rebalance(level)) != 0) return s;
  return CollapseRoot(&Tree::Release);
}

}  // namespace kv::xb::ndx
