// Deletion from a tree whose pages keep at least half their entries: the
// walk up from a page left short, which each family's tree finishes by
// merging the page with a sibling or moving entries over, and for B+-trees
// (pages as tree_insert.h describes them) the removal from a leaf and the
// merge of two siblings into the right one. The family's tree gives, as
// private members reached through TreeWalks:
//   int PageCount(const Page&), bool PageLeaf(const Page&)
//   uint32_t PageChild(const Page&, int i)   child i of an interior page
//   int HalfCount()                          fewer entries make a page short
//   XBSTATUS Rejoin(Siblings<Page>&, bool* merged)
//                                            mends a short page: `*merged`
//                                            when the parent lost an entry
//                                            and the walk goes on above it
// and for the B+-tree bodies Shape(), UpdateBound(int, const Page&) and
// Release(uint32_t).
// Included by the sources that instantiate the deletion: a family's deletion
// source and split_tree_body.h.
#pragma once
#include <cstring>

#include "xbase/frame/endian.h"
#include "xbase/index/frame/tree_walks.h"

namespace kv::xb::index {

template <class Tree, class Layout>
template <class Page>
XBSTATUS TreeWalks<Tree, Layout>::RebalanceFrom(int level) {
  Tree& tree = Self();
  auto& path = tree.WalkBlock().path;
  while (level > 0) {
    Siblings<Page> p;
    p.pageNo = path[level].page;
    XBSTATUS s = tree.Load(p.pageNo, &p.page);
    if (s != 0) return s;
    p.count = tree.PageCount(p.page);
    if (p.count >= tree.HalfCount()) return 0;
    p.parentNo = path[level - 1].page;
    if ((s = tree.Load(p.parentNo, &p.parent)) != 0) return s;
    p.parentCount = tree.PageCount(p.parent);
    if (p.parentCount == 0) return 0;  // no sibling to work with
    const int at = path[level - 1].index;
    if (at < 0 || at > p.parentCount) return tree.Corrupt();
    // The left sibling for the last child, else the right one.
    p.pageIsLeft = at < p.parentCount;
    p.li = p.pageIsLeft ? at : p.parentCount - 1;
    p.leftNo = tree.PageChild(p.parent, p.li);
    p.rightNo = tree.PageChild(p.parent, p.li + 1);
    if (p.leftNo == p.rightNo) return tree.Corrupt();
    if ((s = tree.Load(p.leftNo, &p.left)) != 0) return s;
    if ((s = tree.Load(p.rightNo, &p.right)) != 0) return s;
    p.leaf = tree.PageLeaf(p.page);
    if (tree.PageLeaf(p.left) != p.leaf || tree.PageLeaf(p.right) != p.leaf) return tree.Corrupt();
    bool merged = false;
    if ((s = tree.Rejoin(p, &merged)) != 0 || !merged) return s;
    --level;
  }
  return 0;
}

template <class Tree, class Layout>
template <class Page>
XBSTATUS TreeWalks<Tree, Layout>::MergeIntoRight(Siblings<Page>& p) {
  Tree& tree = Self();
  const PageShape shape = tree.Shape();
  auto off = [&shape](int i) { return shape.Offset(i); };
  const int lc = tree.PageCount(p.left);
  const int rc = tree.PageCount(p.right);
  // Everything goes into the right page: its bounding key stays valid.
  Page m{};
  std::memcpy(m.bytes + off(0), p.left.bytes + off(0), off(lc) - off(0));
  int pos = lc;
  if (!p.leaf) {
    // The parent's separating key comes down with the left page's trailing
    // child.
    PutLE32(m.bytes + off(pos), tree.PageChild(p.left, lc));
    std::memcpy(m.bytes + off(pos) + shape.keyOffset, p.parent.bytes + off(p.li) + shape.keyOffset,
                shape.keyLength);
    ++pos;
  }
  std::memcpy(m.bytes + off(pos), p.right.bytes + off(0), off(rc) + 4u - off(0));
  PutLE32(m.bytes, static_cast<uint32_t>(pos + rc));
  XBSTATUS s = tree.Store(p.rightNo, m);
  if (s != 0) return s;
  // The parent's entry for the emptied left page goes.
  const int pcount = p.parentCount;
  std::memmove(p.parent.bytes + off(p.li), p.parent.bytes + off(p.li + 1),
               off(pcount) + 4u - off(p.li + 1));
  std::memset(p.parent.bytes + off(pcount) + 4 - shape.entrySize, 0, shape.entrySize);
  PutLE32(p.parent.bytes, static_cast<uint32_t>(pcount - 1));
  if ((s = tree.Store(p.parentNo, p.parent)) != 0) return s;
  return tree.Release(p.leftNo);
}

template <class Tree, class Layout>
template <class Page, class Key>
XBSTATUS TreeWalks<Tree, Layout>::RemoveFromLeaf(const Key& entry, XBSTATUS* code) {
  Tree& tree = Self();
  auto& path = tree.WalkBlock().path;
  XBSTATUS s = FindForRemoval(tree, entry, code);
  if (s != 0 || *code != kKeyFound) return s;
  const int level = path.depth();
  const uint32_t leafNo = path[level].page;
  Page leaf;
  if ((s = tree.Load(leafNo, &leaf)) != 0) return s;
  const int count = tree.PageCount(leaf);
  const int at = path[level].index;
  if (!tree.PageLeaf(leaf) || at < 0 || at >= count) return tree.Corrupt();
  const PageShape shape = tree.Shape();
  // The following entries, and the leaf's trailing bytes where its layout
  // keeps a pointer after the last entry, move down one entry.
  const unsigned tail = shape.leafTail;
  std::memmove(leaf.bytes + shape.Offset(at), leaf.bytes + shape.Offset(at + 1),
               shape.Offset(count) + tail - shape.Offset(at + 1));
  std::memset(leaf.bytes + shape.Offset(count - 1) + tail, 0, shape.entrySize);
  PutLE32(leaf.bytes, static_cast<uint32_t>(count - 1));
  if ((s = tree.Store(leafNo, leaf)) != 0) return s;
  if (at == count - 1 && level > 0 && (s = tree.UpdateBound(level, leaf)) != 0) return s;
  if ((s = RebalanceFrom<Page>(level)) != 0) return s;
  return CollapseRoot(&Tree::Release);
}

}  // namespace kv::xb::index
