// The bodies of SplitTree. Included only by a family's tree source, which
// instantiates them for its tree.
#pragma once
#include "xbase/index/frame/split_tree.h"
#include "xbase/index/frame/tree_delete.h"
#include "xbase/index/frame/tree_insert.h"
#include "xbase/index/frame/tree_walks_body.h"

namespace kv::xb::index {

template <class Tree, class Layout, class Page, class Key>
XBSTATUS SplitTree<Tree, Layout, Page, Key>::Search(const Key& key, XBSTATUS* code) {
  const Tree& tree = static_cast<const Tree&>(*this);
  return this->SearchWith(
      key, [&](const uint8_t* entry) { return tree.Compare(key, entry); }, code);
}

template <class Tree, class Layout, class Page, class Key>
XBSTATUS SplitTree<Tree, Layout, Page, Key>::Insert(const Key& entry) {
  return this->template InsertEntry<Page>(entry);
}

template <class Tree, class Layout, class Page, class Key>
XBSTATUS SplitTree<Tree, Layout, Page, Key>::Remove(const Key& entry, XBSTATUS* code) {
  return this->template RemoveFromLeaf<Page>(entry, code);
}

}  // namespace kv::xb::index
