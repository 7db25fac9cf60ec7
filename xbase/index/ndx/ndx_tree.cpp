// Search and the walks from entry to entry.
#include "xbase/index/ndx/ndx_tree.h"

#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/key_compare.h"
#include "xbase/index/frame/navigator.h"
#include "xbase/index/frame/numeric_keys.h"
#include "xbase/index/frame/operation_frame.h"

namespace kv::xb::ndx {
namespace {
constexpr const char* kModule = "NPGET";
}  // namespace

void MakeSearchKey(const NdxIndex& ix, const void* key, uint16_t flags, uint32_t record,
                   SearchKey* out) {
  const uint8_t* k = static_cast<const uint8_t*>(key);
  const size_t L = ix.keyLength;
  if (ix.keyType == kTypeCharacter) {
    size_t n = 0;
    while (n < L && k[n] != 0) ++n;
    std::memcpy(out->bytes, k, n);
    // The bytes after a short key are blanks, so that an exact search over
    // the whole length never reads past the caller's text.
    std::memset(out->bytes + n, ' ', L - n);
    out->length = n;
    out->type = index::kCompareCharacter;
    if (flags == kFindWildcard && std::memchr(out->bytes, '?', n) != nullptr) {
      out->type = index::kCompareWildcard;
    }
  } else {
    std::memcpy(out->bytes, k, index::kNumericKeyLength);
    out->length = index::kNumericKeyLength;
    out->type = index::kCompareDouble;
  }
  out->exact = flags == kFindExact;
  out->record = record;
  if (out->exact) out->length = L;
}

void MakeEntryKey(const NdxIndex& ix, const void* key, uint32_t record, SearchKey* out) {
  MakeSearchKey(ix, key, ix.unique ? 0 : kFindExact, record, out);
  out->length = ix.keyLength;
  out->type = ix.keyType == kTypeCharacter ? index::kCompareCharacter : index::kCompareDouble;
  out->record = record;
}

XBSTATUS Tree::Corrupt() {
  return XB_FAIL(XB_E_FORMAT);
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
  uint8_t* data = nullptr;
  const XBSTATUS s = ix_.cache.Read(ix_.pages, page, &data);
  if (s != 0) return s;
  std::memcpy(out->bytes, data, sizeof out->bytes);
  // A count above K (a freed page, or damage) never reaches the tree code.
  if (NdxIndex::Count(*out) > ix_.keysPerPage) return Corrupt();
  return 0;
}

XBSTATUS Tree::Store(uint32_t page, const Page& in) {
  uint8_t* data = nullptr;
  XBSTATUS s = ix_.cache.Fresh(ix_.pages, page, &data);
  if (s != 0) return s;
  std::memcpy(data, in.bytes, kPageSize);
  return ix_.cache.Write(ix_.pages, page);
}

int Tree::Compare(const SearchKey& key, const uint8_t* entryKey) const {
  return index::CompareKeys(key.bytes, entryKey, key.type, key.length);
}

namespace {
// The NDX page layout as the shared navigator reads it.
class NdxLayout {
 public:
  NdxLayout(Tree& tree, const NdxIndex& ix) : tree_(tree), ix_(ix) {}
  XBSTATUS Load(uint32_t page) { return tree_.Load(page, &page_); }
  bool Leaf() const { return ix_.IsLeaf(page_); }
  // An interior page has one child more than it has keys.
  int LastIndex() const { return Leaf() ? EntryCount() - 1 : EntryCount(); }
  int EntryCount() const { return NdxIndex::Count(page_); }
  uint32_t Child(int i) const { return ix_.Child(page_, i); }
  const uint8_t* Key(int i) const { return ix_.Key(page_, i); }
  uint32_t Record(int i) const { return ix_.Record(page_, i); }
  uint64_t PageBound() const { return ix_.pages.endPage; }
  XBSTATUS Corrupt() { return tree_.Corrupt(); }

 private:
  Tree& tree_;
  const NdxIndex& ix_;
  Page page_;
};

using NdxNavigator = index::Navigator<NdxLayout>;
}  // namespace

XBSTATUS Tree::Top(XBSTATUS* code) {
  NdxLayout layout(*this, ix_);
  return NdxNavigator(layout, ix_.path).Top(ix_.root, code);
}

XBSTATUS Tree::Bottom(XBSTATUS* code) {
  NdxLayout layout(*this, ix_);
  return NdxNavigator(layout, ix_.path).Bottom(ix_.root, code);
}

XBSTATUS Tree::Next(XBSTATUS* code) {
  NdxLayout layout(*this, ix_);
  return NdxNavigator(layout, ix_.path).Next(ix_.root, code);
}

XBSTATUS Tree::Previous(XBSTATUS* code) {
  NdxLayout layout(*this, ix_);
  return NdxNavigator(layout, ix_.path).Previous(ix_.root, code);
}

XBSTATUS Tree::EntryAt(uint8_t* key, uint32_t* record) {
  NdxLayout layout(*this, ix_);
  return NdxNavigator(layout, ix_.path).EntryAt(ix_.keyLength, key, record);
}

XBSTATUS Tree::RestoreCurrent(bool* restored) {
  NdxLayout layout(*this, ix_);
  return NdxNavigator(layout, ix_.path).Restore(ix_.current, ix_.root, ix_.keyLength, restored);
}

XBSTATUS Tree::Search(const SearchKey& key, XBSTATUS* code) {
  auto& path = ix_.path;
  int level = 0;
  path[0] = {ix_.root, 0};
  path.set_depth(0);
  Page page;
  XBSTATUS s = Load(ix_.root, &page);
  if (s != 0) return s;
  if (NdxIndex::Count(page) == 0) {
    // An empty root; an interior one here is damage.
    if (!ix_.IsLeaf(page)) return Corrupt();
    *code = index::kIndexEmpty;
    return 0;
  }
  // Each further leaf the search steps to lies after the last one; a sound
  // tree has fewer leaves than pages.
  uint32_t stepsLeft = ix_.pages.endPage + 1;
  for (;;) {
    const bool leaf = ix_.IsLeaf(page);
    const int count = NdxIndex::Count(page);
    int lo = 0;
    int hi = count - 1;
    while (lo <= hi) {
      const int mid = (lo + hi) / 2;
      int c = Compare(key, ix_.Key(page, mid));
      if (c == 0) {
        if (!leaf) {
          c = -1;  // equal keys may lie further left
        } else if (key.exact) {
          const uint32_t r = ix_.Record(page, mid);
          c = key.record < r ? -1 : (key.record > r ? 1 : 0);
        } else if (mid != lo) {
          hi = mid;  // keep the leftmost equal entry in range
          continue;
        }
      }
      if (c == 0) {
        path[level].index = mid;
        path.set_depth(level);
        *code = index::kKeyFound;
        return 0;
      }
      if (c < 0) {
        hi = mid - 1;
      } else {
        lo = mid + 1;
      }
    }
    if (!leaf) {
      path[level].index = lo;
      if (!path.CanDescend(level)) return Corrupt();
      const uint32_t child = ix_.Child(page, lo);
      ++level;
      path[level] = {child, 0};
      path.set_depth(level);
      if ((s = Load(child, &page)) != 0) return s;
      continue;
    }
    path.set_depth(level);
    if (lo < count && hi >= 0) {
      path[level].index = hi;
      *code = index::kKeyNotFound;
      return 0;
    }
    XBSTATUS edge = 0;
    if (lo < count) {
      // Smaller than every key of this leaf: the entry before it, if any.
      path[level].index = 0;
      if ((s = Previous(&edge)) != 0) return s;
      *code = edge == index::kPastEdge ? index::kPastEdge : index::kKeyNotFound;
      return 0;
    }
    // Greater than every key of this leaf: go on in the next one.
    path[level].index = count - 1;
    if ((s = Next(&edge)) != 0) return s;
    if (edge != index::kKeyFound) {
      *code = index::kKeyNotFound;
      return 0;
    }
    if (stepsLeft-- == 0) return Corrupt();
    level = path.depth();
    if ((s = Load(path[level].page, &page)) != 0) return s;
  }
}

}  // namespace kv::xb::ndx
