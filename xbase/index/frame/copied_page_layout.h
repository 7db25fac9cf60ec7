// The part of a page layout (navigator.h) most families share: one page
// copied out of the tree by `tree.Load(page, &copy)`, interior pages with
// one child more than they have keys, and the tree's report of damage. A
// family's layout derives from it and adds Leaf, EntryCount, Child, Key,
// Record and PageBound over `page_`.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

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
  // Writes `length` bytes over the key of entry i of the loaded page and
  // stores the page as `page`. The key lies in this layout's own copy.
  XBSTATUS StoreKey(uint32_t page, int i, const uint8_t* key, size_t length) {
    const Derived& self = static_cast<const Derived&>(*this);
    std::memcpy(const_cast<uint8_t*>(self.Key(i)), key, length);
    return tree_.Store(page, page_);
  }

 protected:
  Tree& tree_;
  Page page_;
};

}  // namespace kv::xb::index
