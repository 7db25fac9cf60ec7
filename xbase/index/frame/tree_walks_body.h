// The bodies of TreeWalks: each builds the family's navigator over its
// layout for one step. Included only by a family's tree source, which
// instantiates them for its tree.
#pragma once
#include "xbase/index/frame/navigator.h"
#include "xbase/index/frame/tree_walks.h"

namespace kv::xb::index {

template <class Tree, class Layout>
template <class Step>
XBSTATUS TreeWalks<Tree, Layout>::Walk(Step step) {
  Layout layout = Self().MakeLayout();
  auto& block = Self().WalkBlock();
  Navigator<Layout> navigator(layout, block.path);
  return step(navigator, block);
}

template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::Top(XBSTATUS* code) {
  return Walk([code](auto& nav, auto& b) { return nav.Top(b.root, code); });
}
template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::Bottom(XBSTATUS* code) {
  return Walk([code](auto& nav, auto& b) { return nav.Bottom(b.root, code); });
}
template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::Next(XBSTATUS* code) {
  return Walk([code](auto& nav, auto& b) { return nav.Next(b.root, code); });
}
template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::Previous(XBSTATUS* code) {
  return Walk([code](auto& nav, auto& b) { return nav.Previous(b.root, code); });
}
template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::EntryAt(uint8_t* key, uint32_t* record) {
  return Walk([=](auto& nav, auto& b) { return nav.EntryAt(b.keyLength, key, record); });
}
template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::RestoreCurrent(bool* restored) {
  return Walk(
      [=](auto& nav, auto& b) { return nav.Restore(b.current, b.root, b.keyLength, restored); });
}

template <class Tree, class Layout>
template <class Key, class Compare>
XBSTATUS TreeWalks<Tree, Layout>::SearchWith(const Key& key, Compare compare, XBSTATUS* code) {
  return Walk([&](auto& nav, auto& b) { return nav.Search(b.root, key, compare, code); });
}

template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::CollapseRoot(XBSTATUS (Tree::*release)(uint32_t page)) {
  auto& block = Self().WalkBlock();
  Layout page = Self().MakeLayout();
  for (int guard = block.path.capacity(); guard > 0; --guard) {
    XBSTATUS s = page.Load(block.root);
    if (s != 0) return s;
    if (page.EntryCount() != 0 || page.Leaf()) return 0;
    const uint32_t old = block.root;
    if ((s = Self().SetRoot(page.Child(0))) != 0) return s;
    if ((s = (Self().*release)(old)) != 0) return s;
  }
  return Self().Corrupt();
}

// In a B+-tree whose interior keys are the greatest of their subtrees, after
// the last entry of the leaf at `leafLevel` of the path went: the nearest
// ancestor whose key bounds the leaf's subtree takes the subtree's new
// greatest key, `leafLast` (the leaf's last key, nullptr when the leaf is
// now empty). `ancestor` and `parent` are two layouts of the tree.
template <class Layout>
XBSTATUS UpdateBound(Layout ancestor, Layout parent, PathStack& path, int leafLevel,
                     const uint8_t* leafLast, size_t keyLength) {
  int level = leafLevel - 1;
  for (; level >= 0; --level) {
    const XBSTATUS s = ancestor.Load(path[level].page);
    if (s != 0) return s;
    if (path[level].index < ancestor.EntryCount()) break;
  }
  if (level < 0) return 0;  // the leaf ends the whole index: no key bounds it
  const uint8_t* bound = leafLast;
  if (bound == nullptr) {
    // The merge or redistribution with the right sibling sets this key.
    if (level == leafLevel - 1) return 0;
    // The leaf is empty and the last child of its parent: the subtree's
    // greatest key is now the parent's last key.
    const XBSTATUS s = parent.Load(path[leafLevel - 1].page);
    if (s != 0) return s;
    const int count = parent.EntryCount();
    if (count == 0) return 0;
    bound = parent.Key(count - 1);
  }
  return ancestor.StoreKey(path[level].page, path[level].index, bound, keyLength);
}

}  // namespace kv::xb::index
