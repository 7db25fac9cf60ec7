// Search and the walks from entry to entry of a tag's tree.
#include "xbase/index/mdx/mdx_tree.h"

#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/copied_page_layout.h"
#include "xbase/index/frame/key_compare.h"
#include "xbase/index/frame/navigator.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/frame/split_tree_body.h"
#include "xbase/index/mdx/mdx_numeric.h"

namespace kv::xb::mdx {
namespace {
constexpr const char* kModule = "MPGET";
}  // namespace

int KeyCompareType(const TagTree& tree) {
  switch (tree.keyType) {
    case 'N':
      return kCompareDecimal;
    case 'D':
      return index::kCompareDouble;
    default:
      return index::kCompareCharacter;
  }
}

int CompareTagKeys(const TagTree& tree, const uint8_t* a, const uint8_t* b, int type,
                   size_t length) {
  const int c =
      type == kCompareDecimal ? CompareDecimalKeys(a, b) : index::CompareKeys(a, b, type, length);
  return tree.descending() ? -c : c;
}

void MakeSearchKey(const TagTree& tree, const void* key, uint16_t flags, uint32_t record,
                   SearchKey* out) {
  const bool wildcard =
      index::FillSearchKey(key, tree.keyLength, tree.keyType == 'C', ' ', flags, record, out);
  out->type = wildcard ? index::kCompareWildcard : KeyCompareType(tree);
}

XBSTATUS Tree::Begin() {
  XBSTATUS s = RereadFileHeader(file_);
  if (s != 0) return s;
  const uint32_t at = entry_.headerBlock;
  if (at < kFirstTreeBlock || at >= file_.nextBlock()) return XB_FAIL(XB_E_SEEK);
  uint32_t root = 0;
  s = index::ReadHeaderWords(file_.fileNo, at * kUnit + kTagRoot, &root, 1);
  if (s != 0) return s == XB_E_READ ? XB_FAIL(XB_E_READ) : s;
  t_.root = root;
  PutLE32(t_.header + kTagRoot, root);
  return 0;
}

XBSTATUS Tree::Load(uint32_t block, Node* out) {
  const XBSTATUS s = t_.cache.CopyOut(file_.pages, block, out->bytes);
  if (s != 0) return s;
  // A count above K (damage, or a block of another kind) never reaches the
  // tree code.
  if (CountOf(*out) > t_.keysPerBlock) return Corrupt();
  return 0;
}

XBSTATUS Tree::Store(uint32_t block, const Node& in) {
  return t_.cache.CopyIn(file_.pages, block, in.bytes);
}

int Tree::Compare(const SearchKey& key, const uint8_t* entryKey) const {
  return CompareTagKeys(t_, key.bytes, entryKey, key.type, key.length);
}

// A tag's block layout as the shared navigator reads it.
class MdxLayout : public index::CopiedPageLayout<MdxLayout, Tree, Node> {
 public:
  MdxLayout(Tree& tree, const TagTree& t, const MdxFile& file)
      : CopiedPageLayout(tree), t_(t), file_(file) {}
  bool Leaf() const { return IsLeaf(t_, page_); }
  int EntryCount() const { return CountOf(page_); }
  uint32_t Child(int i) const { return Pointer(t_, page_, i); }
  const uint8_t* Key(int i) const { return KeyOf(t_, page_, i); }
  uint32_t Record(int i) const { return Pointer(t_, page_, i); }
  uint64_t PageBound() const { return file_.nextBlock(); }

 private:
  const TagTree& t_;
  const MdxFile& file_;
};

MdxLayout Tree::MakeLayout() {
  return MdxLayout(*this, t_, file_);
}

XBSTATUS Tree::UpdateBound(int leafLevel, const Node& leaf) {
  const int n = CountOf(leaf);
  return index::UpdateBound(MakeLayout(), MakeLayout(), t_.path, leafLevel,
                            n > 0 ? KeyOf(t_, leaf, n - 1) : nullptr, t_.keyLength);
}

}  // namespace kv::xb::mdx

template class kv::xb::index::TreeWalks<kv::xb::mdx::Tree, kv::xb::mdx::MdxLayout>;
template class kv::xb::index::SplitTree<kv::xb::mdx::Tree, kv::xb::mdx::MdxLayout,
                                        kv::xb::mdx::Node, kv::xb::mdx::SearchKey>;
