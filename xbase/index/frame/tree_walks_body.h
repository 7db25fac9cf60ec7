// The bodies of TreeWalks: each builds the family's navigator over its
// layout for one step. Included only by a family's tree source, which
// instantiates them for its tree.
#pragma once
#include "xbase/index/frame/navigator.h"
#include "xbase/index/frame/tree_walks.h"

namespace kv::xb::index {

template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::Top(XBSTATUS* code) {
  Layout layout = Self().MakeLayout();
  return Navigator<Layout>(layout, Self().WalkPath()).Top(Self().WalkRoot(), code);
}

template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::Bottom(XBSTATUS* code) {
  Layout layout = Self().MakeLayout();
  return Navigator<Layout>(layout, Self().WalkPath()).Bottom(Self().WalkRoot(), code);
}

template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::Next(XBSTATUS* code) {
  Layout layout = Self().MakeLayout();
  return Navigator<Layout>(layout, Self().WalkPath()).Next(Self().WalkRoot(), code);
}

template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::Previous(XBSTATUS* code) {
  Layout layout = Self().MakeLayout();
  return Navigator<Layout>(layout, Self().WalkPath()).Previous(Self().WalkRoot(), code);
}

template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::EntryAt(uint8_t* key, uint32_t* record) {
  Layout layout = Self().MakeLayout();
  return Navigator<Layout>(layout, Self().WalkPath()).EntryAt(Self().WalkKeyLength(), key, record);
}

template <class Tree, class Layout>
XBSTATUS TreeWalks<Tree, Layout>::RestoreCurrent(bool* restored) {
  Layout layout = Self().MakeLayout();
  return Navigator<Layout>(layout, Self().WalkPath())
      .Restore(Self().WalkCurrent(), Self().WalkRoot(), Self().WalkKeyLength(), restored);
}

}  // namespace kv::xb::index
