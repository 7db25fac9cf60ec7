// Adding a key: a descent to the leaf position where it belongs, then an
// insertion that moves offset slots only. A full page is split around its
// middle item, which goes up to the parent with the new left page as its
// child; a split root gets a new root.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/ntx/ntx_page_items.h"
#include "xbase/index/ntx/ntx_tree.h"

namespace kv::xb::ntx {
void Tree::InsertAt(Page& page, int at, const Item& item, uint32_t right) const {
  const int n = NtxIndex::Count(page);
  // A leaf's trailing item is unused: its place takes the new key. In an
  // interior page it carries the rightmost child, so the first place after
  // it is taken instead. The slots from `at` on move up by one; no item
  // moves.
  const bool leaf = NtxIndex::IsLeaf(page);
  const int free = leaf ? n : n + 1;
  const uint16_t taken = NtxIndex::Slot(page, free);
  for (int i = free - 1; i >= at; --i) NtxIndex::SetSlot(page, i + 1, NtxIndex::Slot(page, i));
  NtxIndex::SetSlot(page, at, taken);
  ix_.PutItem(page, at, item);
  NtxIndex::SetChild(page, at + 1, right);
  if (leaf) NtxIndex::SetChild(page, n + 1, 0);
  NtxIndex::SetCount(page, n + 1);
}

XBSTATUS Tree::Split(Page& page, uint32_t pageNo, int at, Item* item, uint32_t* right) {
  const int M = ix_.maxItems;
  // The M + 1 keys in order with the new one, and the trailing child.
  Item all[kWideItems];
  GatherItems(ix_, page, all);
  for (int i = M + 1; i > at; --i) all[i] = all[i - 1];
  all[at] = *item;
  all[at + 1].child = *right;
  const int h = M / 2;
  uint32_t leftNo = 0;
  Page left;
  XBSTATUS s = Allocate(&leftNo, &left);
  if (s != 0) return s;
  PlaceItems(ix_, left, all, h, all[h].child);
  PlaceItems(ix_, page, all + h + 1, M - h, all[M + 1].child);
  if ((s = Store(leftNo, left)) != 0) return s;
  if ((s = Store(pageNo, page)) != 0) return s;
  *item = all[h];
  item->child = leftNo;
  *right = pageNo;
  return 0;
}

XBSTATUS Tree::NewRoot(const Item& item, uint32_t right) {
  uint32_t rootNo = 0;
  Page root;
  XBSTATUS s = Allocate(&rootNo, &root);
  if (s != 0) return s;
  Item items[2];
  items[0] = item;
  PlaceItems(ix_, root, items, 1, right);
  if ((s = Store(rootNo, root)) != 0) return s;
  return SetRoot(rootNo);
}

XBSTATUS Tree::Insert(const SearchKey& entry) {
  auto& path = ix_.path;
  // The descent follows the child of the first item that is not smaller, so
  // the new key goes before every equal one (or, with record numbers taking
  // part, before the first greater record).
  int level = 0;
  path[0] = {ix_.root, 0};
  Page page;
  for (;;) {
    XBSTATUS s = Load(path[level].page, &page);
    if (s != 0) return s;
    const int n = NtxIndex::Count(page);
    int i = 0;
    while (i < n && Compare(entry, page, i) > 0) ++i;
    path[level].index = i;
    path.set_depth(level);
    if (NtxIndex::IsLeaf(page)) break;
    if (!path.CanDescend(level)) return Corrupt();
    const uint32_t child = NtxIndex::Child(page, i);
    path[++level] = {child, 0};
  }
  Item item;
  std::memcpy(item.key, entry.bytes, ix_.keyLength);
  item.record = entry.record;
  item.child = 0;
  uint32_t right = 0;
  for (level = path.depth(); level >= 0; --level) {
    XBSTATUS s = Load(path[level].page, &page);
    if (s != 0) return s;
    const int n = NtxIndex::Count(page);
    const int at = path[level].index;
    if (at < 0 || at > n) return Corrupt();
    if (n < ix_.maxItems) {
      InsertAt(page, at, item, right);
      return Store(path[level].page, page);
    }
    if ((s = Split(page, path[level].page, at, &item, &right)) != 0) return s;
  }
  return NewRoot(item, right);
}

}  // namespace kv::xb::ntx
