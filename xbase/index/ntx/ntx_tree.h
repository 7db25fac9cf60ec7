// The NTX B-tree: its page layout for the shared search and walks,
// insertion with page splits and deletion with predecessor
// replacement, merges and redistribution. Every function works inside an
// operation frame (the path and the page cache belong to the running call)
// and returns a status: 0, or a negative code already set and logged. The
// state of a key operation (found, empty, past an edge, not found) comes back
// through an out argument.
#pragma once
#include <cstddef>
#include <cstdint>

#include "xbase/index/frame/search_key.h"
#include "xbase/index/frame/tree_walks.h"
#include "xbase/index/ntx/ntx_index.h"

namespace kv::xb::ntx {

// Keys padded with blanks.
using SearchKey = index::ByteSearchKey<kMaxKeyLength>;

// Builds the search key of a caller's key text. `flags` as XBDCKFIND takes
// them: 2 exact on key and record number, 4 '?' matches any byte; others
// search by the text as a prefix.
void MakeSearchKey(const NtxIndex& ix, const void* key, uint16_t flags, uint32_t record,
                   SearchKey* out);

class NtxLayout;

class Tree : public index::TreeWalks<Tree, NtxLayout> {
 public:
  explicit Tree(NtxIndex& ix) : ix_(ix) {}

  // Rereads root and free-list head from the header and the file's length
  // (start of every operation).
  XBSTATUS Begin();

  // Page at `offset`, checked: a multiple of 1024, at least 1024, below the
  // file size (-4); count within M and item offsets inside the page (-18).
  XBSTATUS Load(uint32_t offset, Page* out);
  XBSTATUS Store(uint32_t offset, const Page& in);

  // Positions the path on `key` (index::Navigator::Search tells the codes).
  XBSTATUS Search(const SearchKey& key, XBSTATUS* code);

  XBSTATUS Insert(const SearchKey& entry);
  // `*code`: 0 removed, 4 no such entry, 2 empty index.
  XBSTATUS Remove(const SearchKey& entry, XBSTATUS* code);

 private:
  friend class index::TreeWalks<Tree, NtxLayout>;
  NtxLayout MakeLayout();
  NtxIndex& WalkBlock() { return ix_; }

  XBSTATUS SearchOnce(const SearchKey& key, XBSTATUS* code);
  int CompareKey(const SearchKey& key, const uint8_t* itemKey) const;
  int Compare(const SearchKey& key, const Page& page, int i) const;

  // Page allocation and release through the free list of header offset 8.
  XBSTATUS Allocate(uint32_t* offset, Page* page);
  XBSTATUS Release(uint32_t offset);
  XBSTATUS SetRoot(uint32_t root);
  void LayOut(Page& page) const;

  void InsertAt(Page& page, int at, const Item& item, uint32_t right) const;
  void RemoveAt(Page& page, int at) const;
  XBSTATUS Split(Page& page, uint32_t pageNo, int at, Item* item, uint32_t* right);
  XBSTATUS NewRoot(const Item& item, uint32_t right);

  // The hooks of TreeWalks::RebalanceFrom (tree_delete.h).
  using Siblings = index::Siblings<Page>;
  static int PageCount(const Page& page) { return NtxIndex::Count(page); }
  static bool PageLeaf(const Page& page) { return NtxIndex::IsLeaf(page); }
  static uint32_t PageChild(const Page& page, int i) { return NtxIndex::Child(page, i); }
  int HalfCount() const { return ix_.half; }
  XBSTATUS Rejoin(Siblings& p, bool* merged);

  NtxIndex& ix_;
};

}  // namespace kv::xb::ntx

extern template class kv::xb::index::TreeWalks<kv::xb::ntx::Tree, kv::xb::ntx::NtxLayout>;
