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

}  // namespace kv::xb::index
