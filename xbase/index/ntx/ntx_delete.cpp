// Removing a key. A key found in an interior page is replaced by its in-order
// predecessor (the last key of the leaf reached through the rightmost
// children of its left subtree), and that leaf key is removed instead. A
// page left with fewer than half a page of keys is merged with a sibling
// when both fit in one page, the parent's separating key coming down between
// them; otherwise keys are redistributed through the parent. A root left
// without keys hands the root over to its only child.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/tree_delete.h"
#include "xbase/index/ntx/ntx_page_items.h"
#include "xbase/index/ntx/ntx_tree.h"

namespace kv::xb::ntx {
void Tree::RemoveAt(Page& page, int at) const {
  const int n = NtxIndex::Count(page);
  // The removed item's slot goes to the end of the used slots: after the
  // last key in a leaf, after the trailing item (which keeps the rightmost
  // child) in an interior page.
  const int last = NtxIndex::IsLeaf(page) ? n - 1 : n;
  const uint16_t freed = NtxIndex::Slot(page, at);
  for (int i = at; i < last; ++i) NtxIndex::SetSlot(page, i, NtxIndex::Slot(page, i + 1));
  NtxIndex::SetSlot(page, last, freed);
  NtxIndex::SetCount(page, n - 1);
}

XBSTATUS Tree::Rejoin(Siblings& p, bool* merged) {
  Page& left = p.left;
  Page& right = p.right;
  Page& parent = p.parent;
  const int li = p.li;
  // Every key of both pages in order, the separator between them.
  Item all[kWideItems];
  const int lc = GatherItems(ix_, left, all);
  const uint32_t leftTrailing = all[lc].child;
  ix_.GetItem(parent, li, &all[lc]);
  all[lc].child = leftTrailing;
  const int rc = GatherItems(ix_, right, all + lc + 1);
  const uint32_t rightTrailing = all[lc + 1 + rc].child;
  const int total = lc + 1 + rc;
  XBSTATUS s = 0;
  if (lc + rc < ix_.maxItems) {
    // One page holds them all: the right one, which the parent's next item
    // already names; the parent's separator and the left page go.
    PlaceItems(ix_, right, all, total, rightTrailing);
    if ((s = Store(p.rightNo, right)) != 0) return s;
    RemoveAt(parent, li);
    if ((s = Store(p.parentNo, parent)) != 0) return s;
    *merged = true;
    return Release(p.leftNo);
  }
  // Both keep at least half a page: the middle key becomes the separator.
  const int mid = total / 2;
  PlaceItems(ix_, left, all, mid, all[mid].child);
  PlaceItems(ix_, right, all + mid + 1, total - mid - 1, rightTrailing);
  NtxIndex::SetRecord(parent, li, all[mid].record);
  std::memcpy(NtxIndex::Key(parent, li), all[mid].key, ix_.keyLength);
  if ((s = Store(p.leftNo, left)) != 0) return s;
  if ((s = Store(p.rightNo, right)) != 0) return s;
  return Store(p.parentNo, parent);
}

XBSTATUS Tree::Remove(const SearchKey& entry, XBSTATUS* code) {
  auto& path = ix_.path;
  XBSTATUS s = index::FindForRemoval(*this, entry, code);
  if (s != 0 || *code != index::kKeyFound) return s;
  int level = path.depth();
  Page page;
  if ((s = Load(path[level].page, &page)) != 0) return s;
  int at = path[level].index;
  if (at < 0 || at >= NtxIndex::Count(page)) return Corrupt();
  if (!NtxIndex::IsLeaf(page)) {
    // The predecessor takes the key's place; the child field stays.
    Page holder = page;
    const int holderLevel = level;
    uint32_t child = NtxIndex::Child(page, at);
    for (;;) {
      if (!path.CanDescend(level)) return Corrupt();
      path[++level] = {child, 0};
      if ((s = Load(child, &page)) != 0) return s;
      const int n = NtxIndex::Count(page);
      if (NtxIndex::IsLeaf(page)) {
        if (n == 0) return Corrupt();
        path[level].index = n - 1;
        break;
      }
      path[level].index = n;
      child = NtxIndex::Child(page, n);
    }
    path.set_depth(level);
    at = path[level].index;
    NtxIndex::SetRecord(holder, path[holderLevel].index, NtxIndex::Record(page, at));
    std::memcpy(NtxIndex::Key(holder, path[holderLevel].index), NtxIndex::Key(page, at),
                ix_.keyLength);
    if ((s = Store(path[holderLevel].page, holder)) != 0) return s;
  }
  RemoveAt(page, at);
  if ((s = Store(path[level].page, page)) != 0) return s;
  if ((s = RebalanceFrom<Page>(level)) != 0) return s;
  return CollapseRoot(&Tree::Release);
}

}  // namespace kv::xb::ntx
