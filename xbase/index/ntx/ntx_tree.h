// The NTX B-tree: search, the walks from key to key through leaves and
// interior pages, insertion with page splits and deletion with predecessor
// replacement, merges and redistribution. Every function works inside an
// operation frame (the path and the page cache belong to the running call)
// and returns a status: 0, or a negative code already set and logged. The
// state of a key operation (found, empty, past an edge, not found) comes back
// through an out argument.
#pragma once
#include <cstddef>
#include <cstdint>

#include "xbase/index/frame/search_key.h"
#include "xbase/index/ntx/ntx_index.h"

namespace kv::xb::ntx {

// Keys padded with blanks.
using SearchKey = index::ByteSearchKey<kMaxKeyLength>;

// Builds the search key of a caller's key text. `flags` as XBDCKFIND takes
// them: 2 exact on key and record number, 4 '?' matches any byte; others
// search by the text as a prefix.
void MakeSearchKey(const NtxIndex& ix, const void* key, uint16_t flags, uint32_t record,
                   SearchKey* out);
// The key of an item to add or delete: padded to L, compared over L, with its
// record number unless the index is unique.
void MakeEntryKey(const NtxIndex& ix, const void* key, uint32_t record, SearchKey* out);

class Tree {
 public:
  explicit Tree(NtxIndex& ix) : ix_(ix) {}

  // Rereads root and free-list head from the header and the file's length
  // (start of every operation).
  XBSTATUS Begin();

  // Page at `offset`, checked: a multiple of 1024, at least 1024, below the
  // file size (-4); count within M and item offsets inside the page (-18).
  XBSTATUS Load(uint32_t offset, Page* out);
  XBSTATUS Store(uint32_t offset, const Page& in);

  // Positions the path on `key`. `*code`: 0 found; 4 not found, positioned
  // on the greatest smaller key (or the last one); 3 the key sorts before
  // every key, positioned on the first; 2 empty index.
  XBSTATUS Search(const SearchKey& key, XBSTATUS* code);

  // First or last key; `*code` 0, or 2 when the index holds none.
  XBSTATUS Top(XBSTATUS* code);
  XBSTATUS Bottom(XBSTATUS* code);
  // The next or previous key from the position (Top without one); at the end
  // or the beginning the position becomes the last or first key and `*code`
  // is 3.
  XBSTATUS Next(XBSTATUS* code);
  XBSTATUS Previous(XBSTATUS* code);

  // The key at the position: L bytes and the record number.
  XBSTATUS EntryAt(uint8_t* key, uint32_t* record);

  // Puts the path back where the current key was last found, when every page
  // on the way still leads there and the key is still in its place.
  XBSTATUS RestoreCurrent(bool* restored);

  XBSTATUS Insert(const SearchKey& entry);
  // `*code`: 0 removed, 4 no such entry, 2 empty index.
  XBSTATUS Remove(const SearchKey& entry, XBSTATUS* code);

  // A damaged page structure: -18 with a log line.
  XBSTATUS Corrupt();

 private:
  XBSTATUS SearchOnce(const SearchKey& key, XBSTATUS* code);
  int Compare(const SearchKey& key, const Page& page, int i) const;
  bool CountWalkStep();
  XBSTATUS WalkForward(int level, int32_t step, bool fallBack, XBSTATUS* code);
  XBSTATUS WalkBackward(int level, int32_t step, bool fallBack, XBSTATUS* code);

  // Page allocation and release through the free list of header offset 8.
  XBSTATUS Allocate(uint32_t* offset, Page* page);
  XBSTATUS Release(uint32_t offset);
  XBSTATUS SetRoot(uint32_t root);
  void LayOut(Page& page) const;

  void InsertAt(Page& page, int at, const Item& item, uint32_t right) const;
  void RemoveAt(Page& page, int at) const;
  XBSTATUS Split(Page& page, uint32_t pageNo, int at, Item* item, uint32_t* right);
  XBSTATUS NewRoot(const Item& item, uint32_t right);
  XBSTATUS Rebalance(int level);
  XBSTATUS CollapseRoot();

  NtxIndex& ix_;
  uint64_t walkBudget_ = 0;
};

}  // namespace kv::xb::ntx
