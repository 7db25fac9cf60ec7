// The key operations of a B+-tree whose interior keys are the greatest of
// their subtrees, whose full pages split in two and whose short pages merge
// or borrow from a sibling (NDX, MDX): the search by the family's key order,
// insertion (tree_insert.h) and removal (tree_delete.h). The family's tree
// derives from SplitTree and gives it, as a friend,
//   int Compare(const Key& key, const uint8_t* entryKey) const
// besides the hooks that insertion and removal list. The bodies
// (split_tree_body.h) are instantiated by the family's tree source.
#pragma once
#include <cstdint>

#include "xbase/index/frame/tree_walks.h"

namespace kv::xb::index {

template <class Tree, class Layout, class Page, class Key>
class SplitTree : public TreeWalks<Tree, Layout> {
 public:
  // Positions the path on `key` (Navigator::Search tells the codes).
  XBSTATUS Search(const Key& key, XBSTATUS* code);
  XBSTATUS Insert(const Key& entry);
  // `*code`: 0 removed, 4 no such entry, 2 empty index.
  XBSTATUS Remove(const Key& entry, XBSTATUS* code);
};

}  // namespace kv::xb::index
