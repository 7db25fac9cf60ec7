// Search and the walks from entry to entry.
#include "xbase/index/ndx/ndx_tree.h"

#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/copied_page_layout.h"
#include "xbase/index/frame/key_compare.h"
#include "xbase/index/frame/navigator.h"
#include "xbase/index/frame/numeric_keys.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/frame/split_tree_body.h"

namespace kv::xb::ndx {
namespace {
constexpr const char* kModule = "NPGET";
}  // namespace

void MakeSearchKey(const NdxIndex& ix, const void* key, uint16_t flags, uint32_t record,
                   SearchKey* out) {
  // Character keys padded with blanks, numeric ones the 8 bytes of a double.
  const bool text = ix.keyType == kTypeCharacter;
  const bool wildcard = index::FillSearchKey(key, ix.keyLength, text, ' ', flags, record, out);
  out->type = wildcard ? index::kCompareWildcard
                       : (text ? index::kCompareCharacter : index::kCompareDouble);
}

XBSTATUS Tree::Begin() {
  uint32_t words[2] = {};
  const XBSTATUS s = index::ReadHeaderWords(ix_.fileNo, kOffRoot, words, 2);
  if (s != 0) return s == XB_E_READ ? XB_FAIL(XB_E_READ) : s;
  ix_.root = words[0];
  ix_.pages.endPage = words[1];
  ix_.pages.fileNo = ix_.fileNo;
  PutLE32(ix_.header + kOffRoot, words[0]);
  PutLE32(ix_.header + kOffEndPage, words[1]);
  return 0;
}

XBSTATUS Tree::Load(uint32_t page, Page* out) {
  const XBSTATUS s = ix_.cache.CopyOut(ix_.pages, page, out->bytes);
  if (s != 0) return s;
  // A count above K (a freed page, or damage) never reaches the tree code.
  if (NdxIndex::Count(*out) > ix_.keysPerPage) return Corrupt();
  return 0;
}

XBSTATUS Tree::Store(uint32_t page, const Page& in) {
  return ix_.cache.CopyIn(ix_.pages, page, in.bytes);
}

int Tree::Compare(const SearchKey& key, const uint8_t* entryKey) const {
  return index::CompareKeys(key.bytes, entryKey, key.type, key.length);
}

// The NDX page layout as the shared navigator reads it.
class NdxLayout : public index::CopiedPageLayout<NdxLayout, Tree, Page> {
 public:
  NdxLayout(Tree& tree, const NdxIndex& ix) : CopiedPageLayout(tree), ix_(ix) {}
  bool Leaf() const { return ix_.IsLeaf(page_); }
  int EntryCount() const { return NdxIndex::Count(page_); }
  uint32_t Child(int i) const { return ix_.Child(page_, i); }
  const uint8_t* Key(int i) const { return ix_.Key(page_, i); }
  uint32_t Record(int i) const { return ix_.Record(page_, i); }
  uint64_t PageBound() const { return ix_.pages.endPage; }

 private:
  const NdxIndex& ix_;
};

NdxLayout Tree::MakeLayout() {
  return NdxLayout(*this, ix_);
}

XBSTATUS Tree::UpdateBound(int leafLevel, const Page& leaf) {
  const int n = NdxIndex::Count(leaf);
  return index::UpdateBound(MakeLayout(), MakeLayout(), ix_.path, leafLevel,
                            n > 0 ? ix_.Key(leaf, n - 1) : nullptr, ix_.keyLength);
}

}  // namespace kv::xb::ndx

template class kv::xb::index::TreeWalks<kv::xb::ndx::Tree, kv::xb::ndx::NdxLayout>;
template class kv::xb::index::SplitTree<kv::xb::ndx::Tree, kv::xb::ndx::NdxLayout,
                                        kv::xb::ndx::Page, kv::xb::ndx::SearchKey>;
