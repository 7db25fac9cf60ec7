// The IDX tree: search, the walks from entry to entry, insertion with node
// splits, deletion with freeing of empty nodes and root collapse. Every
// function works inside an operation frame (the path and the page cache
// belong to the running call) and returns 0 or a negative code already set
// and logged; the state of a key operation comes back through `*code`.
#pragma once
#include <cstddef>
#include <cstdint>

#include "xbase/index/frame/search_key.h"
#include "xbase/index/frame/tree_walks.h"
#include "xbase/index/idx/idx_index.h"

namespace kv::xb::idx {

// Texts padded with the pad byte, binary keys whole.
using SearchKey = index::ByteSearchKey<kMaxKeyLength>;

// The search key of a caller's key; `flags` as XBDIKFIND takes them.
void MakeSearchKey(const IdxIndex& ix, const void* key, uint16_t flags, uint32_t record,
                   SearchKey* out);

class IdxLayout;

class Tree : public index::TreeWalks<Tree, IdxLayout> {
 public:
  explicit Tree(IdxIndex& ix) : ix_(ix) {}

  // Rereads root, free-list head and end bound (start of every operation).
  XBSTATUS Begin();

  // Positions the path on `key`. `*code`: 0 found; 4 not found, positioned
  // on the greatest smaller entry (or the last one); 3 the key sorts before
  // every entry, positioned on the first; 2 empty index.
  XBSTATUS Search(const SearchKey& key, XBSTATUS* code);

  XBSTATUS Insert(const SearchKey& entry);
  // `*code`: 0 removed, 4 no such entry, 2 empty index.
  XBSTATUS Remove(const SearchKey& entry, XBSTATUS* code);

  XBSTATUS Load(uint32_t offset, Node* node);
  XBSTATUS Store(uint32_t offset, const Node& node);

 private:
  friend class index::TreeWalks<Tree, IdxLayout>;
  IdxLayout MakeLayout();
  IdxIndex& WalkBlock() { return ix_; }

  int CompareKey(const SearchKey& key, const uint8_t* entryKey) const;
  int CompareEntry(const SearchKey& key, const Node& node, int i, bool withRecord) const;
  XBSTATUS Descend(const SearchKey& key, bool* empty);
  // Descends to where `key` goes; `*code` 0 the entry is there, 4 it is
  // not, 2 empty index.
  XBSTATUS Land(const SearchKey& key, XBSTATUS* code);
  XBSTATUS NextLeaf(bool* found);

  XBSTATUS Settle(int level, int slot);
  int SplitPoint(Node& node);
  XBSTATUS Detach(int level);
  XBSTATUS CollapseRoot();
  XBSTATUS AllocateNode(uint32_t* offset);
  XBSTATUS FreeNode(uint32_t offset);
  XBSTATUS SetLink(uint32_t offset, bool leftLink, uint32_t value);
  XBSTATUS SetRoot(uint32_t offset);
  bool ValidOffset(uint32_t offset) const;

  Node& Work(int i) { return *ix_.work[i]; }

  IdxIndex& ix_;
};

}  // namespace kv::xb::idx

extern template class kv::xb::index::TreeWalks<kv::xb::idx::Tree, kv::xb::idx::IdxLayout>;
