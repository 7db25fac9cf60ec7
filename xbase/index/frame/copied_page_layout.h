// The part of a page layout (navigator.h) most families share: one page
// copied out of the tree by `tree.Load(page, &copy)`, interior pages with
// one child more than they have keys, and the tree's report of damage. A
// family's layout derives from it and adds Leaf, EntryCount, Child, Key,
// Record and PageBound over `page_`.
#pragma once
#include <cstdint>

#include "kv/xbase.h"

namespace kv::xb::index {

template <class Derived, class Tree, class Page>
class CopiedPageLayout {
 public:
  explicit CopiedPageLayout(Tree& tree) : tree_(tree) {}
  XBSTATUS Load(uint32_t page) { return tree_.Load(page, &page_); }
  int LastIndex() const {
    const Derived& self = static_cast<const Derived&>(*this);
    return self.Leaf() ? self.EntryCount() - 1 : self.EntryCount();
  }
  XBSTATUS Corrupt() { return tree_.Corrupt(); }

 protected:
  Tree& tree_;
  Page page_;
};

}  // namespace kv::xb::index
