// Insertion into a B+-tree whose full pages split in two: the entry goes
// where the search puts it; from the leaf upwards each page on the path
// either takes the pending item or splits, the lower half going to a new
// page on the left whose greatest key, the separator, becomes the item for
// the parent; a split root gets a new root above it.
//
// A page is a 4-byte little-endian count in a header of `header` bytes,
// then `capacity` entries of `entrySize` bytes from `header + i *
// entrySize`, each with its key at `keyOffset`, and the pointer of one
// entry more (the trailing child). The family's tree gives, as private
// members reached through TreeWalks:
//   PageShape Shape()                          the page's measures
//   int PageCount(const Page&), bool PageLeaf(const Page&)
//   bool Misplaced(bool leaf, bool leafLevel, int count)
//                                              a leaf off the leaf level or
//                                              the reverse, as it sees it
//   void PutEntry(uint8_t* entry, bool leaf, const Item&)
//                                              (Item: a SplitItem)
//                                              writes the item at `entry`
//                                              and its right child into the
//                                              entry after it
//   XBSTATUS NewPage(uint32_t*), SetRoot(uint32_t)
// Included by the sources that instantiate the insertion (split_tree_body.h).
#pragma once
#include <cstring>

#include "xbase/frame/endian.h"
#include "xbase/index/frame/tree_walks.h"

namespace kv::xb::index {

template <class Tree, class Layout>
template <class Page, class Key>
XBSTATUS TreeWalks<Tree, Layout>::InsertEntry(const Key& entry) {
  Tree& tree = Self();
  auto& path = tree.WalkBlock().path;
  XBSTATUS s = PositionForInsert(tree, path, entry);
  if (s != 0) return s;
  typename Tree::Item item{};
  std::memcpy(item.key, entry.bytes, tree.Shape().keyLength);
  item.record = entry.record;
  const int leafLevel = path.depth();
  for (int level = leafLevel; level >= 0; --level) {
    Page page;
    if ((s = tree.Load(path[level].page, &page)) != 0) return s;
    const int count = tree.PageCount(page);
    const int at = path[level].index;
    const bool leaf = tree.PageLeaf(page);
    if (at < 0 || at > count) return tree.Corrupt();
    if (tree.Misplaced(leaf, level == leafLevel, count)) return tree.Corrupt();
    if (count < tree.Shape().capacity) {
      InsertInto(page, leaf, at, item);
      return tree.Store(path[level].page, page);
    }
    if ((s = Split(page, path[level].page, leaf, at, &item)) != 0) return s;
  }
  return NewRoot<Page>(item);
}

template <class Tree, class Layout>
template <class Page, class Item>
void TreeWalks<Tree, Layout>::InsertInto(Page& page, bool leaf, int at, const Item& item) {
  const PageShape shape = Self().Shape();
  const int count = Self().PageCount(page);
  // Entries at..count-1 and the trailing child move up one entry.
  const unsigned from = shape.Offset(at);
  std::memmove(page.bytes + from + shape.entrySize, page.bytes + from,
               shape.Offset(count) + 4u - from);
  Self().PutEntry(page.bytes + from, leaf, item);
  PutLE32(page.bytes, static_cast<uint32_t>(count + 1));
}

template <class Tree, class Layout>
template <class Page, class Item>
XBSTATUS TreeWalks<Tree, Layout>::Split(Page& page, uint32_t pageNo, bool leaf, int at,
                                        Item* item) {
  const PageShape shape = Self().Shape();
  const int K = shape.capacity;
  auto off = [&shape](int i) { return shape.Offset(i); };
  // The K + 1 entries in key order with the trailing child: one entry more
  // than a page holds, so twice a page always suffices.
  static thread_local uint8_t wide[2 * sizeof(page.bytes)];
  std::memset(wide, 0, off(K + 1) + 4u);
  std::memcpy(wide, page.bytes, off(K) + 4u);
  std::memmove(wide + off(at + 1), wide + off(at), off(K) + 4u - off(at));
  Self().PutEntry(wide + off(at), leaf, *item);

  const int n = K + 1;
  const int stay = n / 2;
  const int moved = n - stay;  // to the new page on the left

  Page left{};
  std::memcpy(left.bytes + shape.header, wide + shape.header, off(moved) - shape.header);
  if (leaf) {
    PutLE32(left.bytes, static_cast<uint32_t>(moved));
  } else {
    // The last entry keeps only its child: it becomes the trailing child.
    std::memset(left.bytes + off(moved - 1) + 4, 0, shape.entrySize - 4u);
    PutLE32(left.bytes, static_cast<uint32_t>(moved - 1));
  }

  Page right{};
  std::memcpy(right.bytes + shape.header, wide + off(moved), off(n) + 4u - off(moved));
  PutLE32(right.bytes, static_cast<uint32_t>(stay));

  uint32_t leftNo = 0;
  XBSTATUS s = Self().NewPage(&leftNo);
  if (s != 0) return s;
  if ((s = Self().Store(leftNo, left)) != 0) return s;
  if ((s = Self().Store(pageNo, right)) != 0) return s;
  std::memcpy(item->key, wide + off(moved - 1) + shape.keyOffset, shape.keyLength);
  item->record = 0;
  item->left = leftNo;
  item->right = pageNo;
  return 0;
}

template <class Tree, class Layout>
template <class Page, class Item>
XBSTATUS TreeWalks<Tree, Layout>::NewRoot(const Item& item) {
  uint32_t rootNo = 0;
  XBSTATUS s = Self().NewPage(&rootNo);
  if (s != 0) return s;
  Page root{};
  Self().PutEntry(root.bytes + Self().Shape().header, false, item);
  PutLE32(root.bytes, 1u);
  if ((s = Self().Store(rootNo, root)) != 0) return s;
  return Self().SetRoot(rootNo);
}

}  // namespace kv::xb::index
