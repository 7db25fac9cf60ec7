// The NDX B+-tree: search, the walks from entry to entry, insertion with
// page splits and deletion with page merges. Every function works inside an
// operation frame (the path and the page cache belong to the running call)
// and returns a status: 0, or a negative code already set and logged. The
// state of a key operation (found, empty, past an edge, not found) comes
// back through an out argument.
#pragma once
#include <cstddef>
#include <cstdint>

#include "xbase/index/frame/search_key.h"
#include "xbase/index/frame/split_tree.h"
#include "xbase/index/ndx/ndx_index.h"

namespace kv::xb::ndx {

// Character keys padded with blanks, numeric keys the 8 bytes of a double.
using SearchKey = index::TypedSearchKey<kMaxKeyLength + 8>;

// Builds the search key of a caller's key: a character key is a text of up
// to L characters, a numeric key 8 bytes. `flags` as XBDNKFIND takes them.
void MakeSearchKey(const NdxIndex& ix, const void* key, uint16_t flags, uint32_t record,
                   SearchKey* out);

class NdxLayout;

// Search, insertion and removal are the shared B+-tree ones (split_tree.h).
class Tree : public index::SplitTree<Tree, NdxLayout, Page, SearchKey> {
 public:
  explicit Tree(NdxIndex& ix) : ix_(ix) {}

  // Rereads root and end page from the header (start of every operation).
  XBSTATUS Begin();

  XBSTATUS Load(uint32_t page, Page* out);
  XBSTATUS Store(uint32_t page, const Page& in);

 private:
  friend class index::TreeWalks<Tree, NdxLayout>;
  friend class index::SplitTree<Tree, NdxLayout, Page, SearchKey>;
  NdxLayout MakeLayout();
  NdxIndex& WalkBlock() { return ix_; }

  using Item = index::SplitItem<kMaxKeyLength + 8>;

  int Compare(const SearchKey& key, const uint8_t* entryKey) const;

  // The hooks of TreeWalks::InsertEntry (tree_insert.h).
  static int PageCount(const Page& page) { return NdxIndex::Count(page); }
  bool PageLeaf(const Page& page) const { return ix_.IsLeaf(page); }
  static bool Misplaced(bool leaf, bool leafLevel, int count) {
    return leafLevel && !leaf && count > 0;
  }
  index::PageShape Shape() const;
  void PutEntry(uint8_t* entry, bool leaf, const Item& item) const;
  XBSTATUS NewPage(uint32_t* page);

  // The hooks of TreeWalks::RemoveFromLeaf (tree_delete.h).
  using Siblings = index::Siblings<Page>;
  uint32_t PageChild(const Page& page, int i) const { return ix_.Child(page, i); }
  int HalfCount() const { return ix_.half; }
  XBSTATUS Rejoin(Siblings& p, bool* merged);
  XBSTATUS Rotate(Siblings& p);
  XBSTATUS UpdateBound(int leafLevel, const Page& leaf);
  XBSTATUS SetRoot(uint32_t root);
  XBSTATUS Release(uint32_t page) { return ix_.freePages.Free(ix_.cache, ix_.pages, page); }

  NdxIndex& ix_;
};

}  // namespace kv::xb::ndx

extern template class kv::xb::index::TreeWalks<kv::xb::ndx::Tree, kv::xb::ndx::NdxLayout>;
extern template class kv::xb::index::SplitTree<kv::xb::ndx::Tree, kv::xb::ndx::NdxLayout,
                                               kv::xb::ndx::Page, kv::xb::ndx::SearchKey>;
