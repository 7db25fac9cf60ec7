// Pages, and the layout the shared search and walks read.
#include "xbase/index/ntx/ntx_tree.h"

#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/index/frame/copied_page_layout.h"
#include "xbase/index/frame/key_compare.h"
#include "xbase/index/frame/navigator.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/frame/tree_walks_body.h"

namespace kv::xb::ntx {
namespace {
constexpr const char* kModule = "CPGET";

int CompareBytes(const uint8_t* a, const uint8_t* b, size_t length) {
  const int c = std::memcmp(a, b, length);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
}  // namespace

void MakeSearchKey(const NtxIndex& ix, const void* key, uint16_t flags, uint32_t record,
                   SearchKey* out) {
  out->wildcard = index::FillSearchKey(key, ix.keyLength, true, ' ', flags, record, out);
}

XBSTATUS Tree::Begin() {
  uint32_t words[2] = {};
  XBSTATUS s = index::ReadHeaderWords(ix_.fileNo, kOffRoot, words, 2);
  if (s != 0) return s == XB_E_READ ? XB_FAIL(XB_E_READ) : s;
  uint64_t length = 0;
  if ((s = os::Length(ix_.fileNo, &length)) != 0) return s;
  ix_.root = words[0];
  ix_.freeHead = words[1];
  PutLE32(ix_.header + kOffRoot, words[0]);
  PutLE32(ix_.header + kOffFreeHead, words[1]);
  ix_.pages.fileNo = ix_.fileNo;
  // Pages are numbered by offset / 1024; a page is readable when it starts
  // below the end of the file.
  const uint64_t end = (length + kPageSize - 1) / kPageSize;
  ix_.pages.endPage = end > 0x3FFFFFu ? 0x3FFFFFu : static_cast<uint32_t>(end);
  return 0;
}

XBSTATUS Tree::Load(uint32_t offset, Page* out) {
  uint8_t* data = nullptr;
  const XBSTATUS s = ix_.cache.ReadAt(ix_.pages, offset, &data);
  if (s != 0) return s;
  std::memcpy(out->bytes, data, sizeof out->bytes);
  const int M = ix_.maxItems;
  const int n = NtxIndex::Count(*out);
  if (n > M) return Corrupt();
  // Every item the page uses lies whole inside the page, after the offset
  // table, apart from the others; otherwise writing one item could clobber
  // another or the table.
  const unsigned first = 2u * M + 4u;
  const unsigned last = kPageSize - ix_.itemSize;
  uint64_t seen[kPageSize / 64] = {};
  bool unusedSound = true;
  for (int i = 0; i <= M; ++i) {
    const uint16_t at = NtxIndex::Slot(*out, i);
    const bool sound =
        at >= first && at <= last && (seen[at / 64] & (uint64_t{1} << (at % 64))) == 0;
    if (!sound) {
      if (i <= n) return Corrupt();
      unusedSound = false;
      continue;
    }
    seen[at / 64] |= uint64_t{1} << (at % 64);
  }
  if (!unusedSound) {
    // Some writers leave the unused slots blank: the page is laid out afresh
    // so that an insertion finds a free item.
    Item items[kPageSize / 8];
    for (int i = 0; i <= n; ++i) ix_.GetItem(*out, i, &items[i]);
    LayOut(*out);
    for (int i = 0; i <= n; ++i) ix_.PutItem(*out, i, items[i]);
  }
  return 0;
}

void Tree::LayOut(Page& page) const {
  const int n = NtxIndex::Count(page);
  std::memset(page.bytes, 0, sizeof page.bytes);
  NtxIndex::SetCount(page, n);
  for (int i = 0; i <= ix_.maxItems; ++i) {
    NtxIndex::SetSlot(page, i, FreshItemOffset(ix_.maxItems, ix_.itemSize, i));
  }
}

XBSTATUS Tree::Store(uint32_t offset, const Page& in) {
  uint8_t* data = nullptr;
  const XBSTATUS s = ix_.cache.FreshAt(ix_.pages, offset, &data);
  if (s != 0) return s;
  std::memcpy(data, in.bytes, kPageSize);
  return ix_.cache.WriteAt(ix_.pages, offset);
}

int Tree::CompareKey(const SearchKey& key, const uint8_t* itemKey) const {
  return key.wildcard ? index::CompareKeys(key.bytes, itemKey, index::kCompareWildcard, key.length)
                      : CompareBytes(key.bytes, itemKey, key.length);
}

int Tree::Compare(const SearchKey& key, const Page& page, int i) const {
  int c = CompareKey(key, NtxIndex::Key(page, i));
  if (c == 0 && key.exact) {
    const uint32_t r = NtxIndex::Record(page, i);
    c = key.record < r ? -1 : (key.record > r ? 1 : 0);
  }
  return c;
}

// The NTX page layout as the shared navigator reads it: keys live in every
// page, each interior key between two children.
class NtxLayout : public index::CopiedPageLayout<NtxLayout, Tree, Page> {
 public:
  static constexpr bool kEntriesInEveryPage = true;
  NtxLayout(Tree& tree, const NtxIndex& ix) : CopiedPageLayout(tree), ix_(ix) {}
  bool Leaf() const { return NtxIndex::IsLeaf(page_); }
  int EntryCount() const { return NtxIndex::Count(page_); }
  uint32_t Child(int i) const { return NtxIndex::Child(page_, i); }
  const uint8_t* Key(int i) const { return NtxIndex::Key(page_, i); }
  uint32_t Record(int i) const { return NtxIndex::Record(page_, i); }
  uint64_t PageBound() const { return ix_.pages.endPage; }

 private:
  const NtxIndex& ix_;
};

NtxLayout Tree::MakeLayout() {
  return NtxLayout(*this, ix_);
}

XBSTATUS Tree::Search(const SearchKey& key, XBSTATUS* code) {
  XBSTATUS s = SearchOnce(key, code);
  if (s != 0 || !key.exact || *code == index::kKeyFound || *code == index::kIndexEmpty) return s;
  // Files from other writers may keep equal keys in any record order: the
  // equal keys are scanned for the record number before giving up.
  auto& path = ix_.path;
  const int depth = path.depth();
  index::PathLevel saved[64];
  if (depth >= 64) return 0;
  for (int l = 0; l <= depth; ++l) saved[l] = path[l];
  const XBSTATUS missed = *code;
  SearchKey byKey = key;
  byKey.exact = false;
  XBSTATUS found = 0;
  if ((s = SearchOnce(byKey, &found)) != 0) return s;
  uint8_t bytes[kMaxKeyLength];
  for (uint64_t guard = uint64_t{ix_.pages.endPage} * (ix_.maxItems + 1u) + 1;
       found == index::kKeyFound && guard > 0; --guard) {
    uint32_t r = 0;
    if ((s = EntryAt(bytes, &r)) != 0) return s;
    if (std::memcmp(bytes, key.bytes, ix_.keyLength) != 0) break;
    if (r == key.record) {
      *code = index::kKeyFound;
      return 0;
    }
    if ((s = Next(&found)) != 0) return s;
  }
  for (int l = 0; l <= depth; ++l) path[l] = saved[l];
  path.set_depth(depth);
  *code = missed;
  return 0;
}

XBSTATUS Tree::SearchOnce(const SearchKey& key, XBSTATUS* code) {
  return SearchWith(
      key, [&](const uint8_t* item) { return CompareKey(key, item); }, code);
}

}  // namespace kv::xb::ntx

template class kv::xb::index::TreeWalks<kv::xb::ntx::Tree, kv::xb::ntx::NtxLayout>;
