// The B-tree of one MDX tag: search, the walks from entry to entry,
// insertion with node splits and deletion with merges or redistribution.
// Every function works inside an operation frame (the path and the node
// cache belong to the running call) and returns a status: 0, or a negative
// code already set and logged; the state of a key operation comes back
// through an out argument, as in the NDX family.
#pragma once
#include <cstddef>
#include <cstdint>

#include "xbase/index/frame/search_key.h"
#include "xbase/index/frame/split_tree.h"
#include "xbase/index/mdx/mdx_file.h"

namespace kv::xb::mdx {

// Comparison types of tag keys beyond the shared ones.
inline constexpr int kCompareDecimal = 100;

// Character keys padded with blanks; date and numeric keys of 8 or 12 bytes.
using SearchKey = index::TypedSearchKey<kMaxKeyLength + 12>;

// Compares two keys of a tag: by type, reversed in a descending tag.
int CompareTagKeys(const TagTree& tree, const uint8_t* a, const uint8_t* b, int type,
                   size_t length);

// The comparison type of the tag's whole keys.
int KeyCompareType(const TagTree& tree);

// Builds the search key of a caller's key (`flags` as XBDMKFIND takes them).
void MakeSearchKey(const TagTree& tree, const void* key, uint16_t flags, uint32_t record,
                   SearchKey* out);

// Entry fields of a node.
inline uint16_t Offset(const TagTree& t, int i) {
  return t.entryOffsets.as<uint16_t>()[i];
}
inline uint32_t Pointer(const TagTree& t, const Node& n, int i) {
  return GetLE32(n.bytes + Offset(t, i));
}
inline void SetPointer(const TagTree& t, Node& n, int i, uint32_t v) {
  PutLE32(n.bytes + Offset(t, i), v);
}
inline const uint8_t* KeyOf(const TagTree& t, const Node& n, int i) {
  return n.bytes + Offset(t, i) + 4;
}
inline uint8_t* KeyOf(const TagTree& t, Node& n, int i) {
  return n.bytes + Offset(t, i) + 4;
}
inline int CountOf(const Node& n) {
  return GetLE16(n.bytes);
}
inline void SetCount(Node& n, int count) {
  PutLE32(n.bytes, static_cast<uint32_t>(count));
}
// A leaf's pointer after its last key is 0.
inline bool IsLeaf(const TagTree& t, const Node& n) {
  return Pointer(t, n, CountOf(n)) == 0;
}

class MdxLayout;

// Search, insertion and removal are the shared B+-tree ones (split_tree.h).
class Tree : public index::SplitTree<Tree, MdxLayout, Node, SearchKey> {
 public:
  explicit Tree(TagRef ref) : file_(*ref.file), entry_(*ref.entry), t_(*ref.tree) {}

  // Rereads the file header words and the tag's root.
  XBSTATUS Begin();

  XBSTATUS Load(uint32_t block, Node* out);
  XBSTATUS Store(uint32_t block, const Node& in);

 private:
  friend class index::TreeWalks<Tree, MdxLayout>;
  friend class index::SplitTree<Tree, MdxLayout, Node, SearchKey>;
  MdxLayout MakeLayout();
  TagTree& WalkBlock() { return t_; }

  using Item = index::SplitItem<kMaxKeyLength + 12>;

  int Compare(const SearchKey& key, const uint8_t* entryKey) const;

  // The hooks of TreeWalks::InsertEntry (tree_insert.h).
  static int PageCount(const Node& node) { return CountOf(node); }
  bool PageLeaf(const Node& node) const { return IsLeaf(t_, node); }
  // The level of the search's position is a leaf, every other one not.
  static bool Misplaced(bool leaf, bool leafLevel, int) { return leaf != leafLevel; }
  index::PageShape Shape() const;
  void PutEntry(uint8_t* entry, bool leaf, const Item& item) const;
  XBSTATUS NewPage(uint32_t* page);

  // The hooks of TreeWalks::RemoveFromLeaf (tree_delete.h).
  using Siblings = index::Siblings<Node>;
  uint32_t PageChild(const Node& node, int i) const { return Pointer(t_, node, i); }
  int HalfCount() const { return t_.half; }
  XBSTATUS Rejoin(Siblings& p, bool* merged);
  XBSTATUS Redistribute(Siblings& p);
  XBSTATUS UpdateBound(int leafLevel, const Node& leaf);
  XBSTATUS SetRoot(uint32_t root);
  XBSTATUS Release(uint32_t block);

  MdxFile& file_;
  TagEntry& entry_;
  TagTree& t_;
};

// Block allocation and freeing through the header's free list (offsets 32,
// 36 and 40 are rewritten at once). `*data` of Allocate is the zeroed block
// in the tag's cache, flagged for write-back.
XBSTATUS AllocateBlock(MdxFile& file, index::PageCache& cache, uint32_t* block, uint8_t** data);
// A block for a new tag header: the same without a cache.
XBSTATUS TakeBlock(MdxFile& file, uint32_t* block);
// Frees a block without a cache: writes its first 8 bytes (count 0, link).
XBSTATUS FreeBlock(MdxFile& file, uint32_t block);

}  // namespace kv::xb::mdx

extern template class kv::xb::index::TreeWalks<kv::xb::mdx::Tree, kv::xb::mdx::MdxLayout>;
extern template class kv::xb::index::SplitTree<kv::xb::mdx::Tree, kv::xb::mdx::MdxLayout,
                                               kv::xb::mdx::Node, kv::xb::mdx::SearchKey>;
