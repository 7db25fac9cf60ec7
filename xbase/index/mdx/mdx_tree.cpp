// Search and the walks from entry to entry of a tag's tree.
#include "xbase/index/mdx/mdx_tree.h"

#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/key_compare.h"
#include "xbase/index/frame/navigator.h"
#include "xbase/index/frame/operation_frame.h"
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
  const uint8_t* k = static_cast<const uint8_t*>(key);
  const size_t L = tree.keyLength;
  out->type = KeyCompareType(tree);
  if (tree.keyType == 'C') {
    size_t n = 0;
    while (n < L && k[n] != 0) ++n;
    std::memcpy(out->bytes, k, n);
    std::memset(out->bytes + n, ' ', L - n);
    out->length = n;
    if (flags == kFindWildcard && std::memchr(out->bytes, '?', n) != nullptr) {
      out->type = index::kCompareWildcard;
    }
  } else {
    std::memcpy(out->bytes, k, L);
    out->length = L;
  }
  out->exact = flags == kFindExact;
  out->record = record;
  if (out->exact) out->length = L;
}

void MakeEntryKey(const TagTree& tree, const void* key, uint32_t record, SearchKey* out) {
  MakeSearchKey(tree, key, tree.unique() ? 0 : kFindExact, record, out);
  out->length = tree.keyLength;
  out->type = KeyCompareType(tree);
  out->record = record;
}

XBSTATUS Tree::Corrupt() {
  return XB_FAIL(XB_E_FORMAT);
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
  uint8_t* data = nullptr;
  const XBSTATUS s = t_.cache.Read(file_.pages, block, &data);
  if (s != 0) return s;
  std::memcpy(out->bytes, data, file_.blockBytes + index::PageCache::kSlack);
  // A count above K (damage, or a block of another kind) never reaches the
  // tree code.
  if (CountOf(*out) > t_.keysPerBlock) return Corrupt();
  return 0;
}

XBSTATUS Tree::Store(uint32_t block, const Node& in) {
  uint8_t* data = nullptr;
  XBSTATUS s = t_.cache.Fresh(file_.pages, block, &data);
  if (s != 0) return s;
  std::memcpy(data, in.bytes, file_.blockBytes);
  return t_.cache.Write(file_.pages, block);
}

int Tree::Compare(const SearchKey& key, const uint8_t* entryKey) const {
  return CompareTagKeys(t_, key.bytes, entryKey, key.type, key.length);
}

namespace {
// A tag's block layout as the shared navigator reads it.
class MdxLayout {
 public:
  MdxLayout(Tree& tree, const TagTree& t, const MdxFile& file) : tree_(tree), t_(t), file_(file) {}
  XBSTATUS Load(uint32_t block) { return tree_.Load(block, &node_); }
  bool Leaf() const { return IsLeaf(t_, node_); }
  // An interior block has one child more than it has keys.
  int LastIndex() const { return Leaf() ? EntryCount() - 1 : EntryCount(); }
  int EntryCount() const { return CountOf(node_); }
  uint32_t Child(int i) const { return Pointer(t_, node_, i); }
  const uint8_t* Key(int i) const { return KeyOf(t_, node_, i); }
  uint32_t Record(int i) const { return Pointer(t_, node_, i); }
  uint64_t PageBound() const { return file_.nextBlock(); }
  XBSTATUS Corrupt() { return tree_.Corrupt(); }

 private:
  Tree& tree_;
  const TagTree& t_;
  const MdxFile& file_;
  Node node_;
};

using MdxNavigator = index::Navigator<MdxLayout>;
}  // namespace

XBSTATUS Tree::Top(XBSTATUS* code) {
  MdxLayout layout(*this, t_, file_);
  return MdxNavigator(layout, t_.path).Top(t_.root, code);
}

XBSTATUS Tree::Bottom(XBSTATUS* code) {
  MdxLayout layout(*this, t_, file_);
  return MdxNavigator(layout, t_.path).Bottom(t_.root, code);
}

XBSTATUS Tree::Next(XBSTATUS* code) {
  MdxLayout layout(*this, t_, file_);
  return MdxNavigator(layout, t_.path).Next(t_.root, code);
}

XBSTATUS Tree::Previous(XBSTATUS* code) {
  MdxLayout layout(*this, t_, file_);
  return MdxNavigator(layout, t_.path).Previous(t_.root, code);
}

XBSTATUS Tree::EntryAt(uint8_t* key, uint32_t* record) {
  MdxLayout layout(*this, t_, file_);
  return MdxNavigator(layout, t_.path).EntryAt(t_.keyLength, key, record);
}

XBSTATUS Tree::RestoreCurrent(bool* restored) {
  MdxLayout layout(*this, t_, file_);
  return MdxNavigator(layout, t_.path).Restore(t_.current, t_.root, t_.keyLength, restored);
}

XBSTATUS Tree::Search(const SearchKey& key, XBSTATUS* code) {
  auto& path = t_.path;
  int level = 0;
  path[0] = {t_.root, 0};
  path.set_depth(0);
  Node node;
  XBSTATUS s = Load(t_.root, &node);
  if (s != 0) return s;
  if (CountOf(node) == 0) {
    // An empty root; an interior one without keys here is damage.
    if (!IsLeaf(t_, node)) return Corrupt();
    *code = index::kIndexEmpty;
    return 0;
  }
  // Each further leaf the search steps to lies after the last one; a sound
  // tree has fewer leaves than blocks.
  uint32_t stepsLeft = file_.nextBlock() + 1;
  for (;;) {
    const bool leaf = IsLeaf(t_, node);
    const int count = CountOf(node);
    int lo = 0;
    int hi = count - 1;
    while (lo <= hi) {
      const int mid = (lo + hi) / 2;
      int c = Compare(key, KeyOf(t_, node, mid));
      if (c == 0) {
        if (!leaf) {
          c = -1;  // equal keys may lie further left
        } else if (key.exact) {
          const uint32_t r = Pointer(t_, node, mid);
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
      const uint32_t child = Pointer(t_, node, lo);
      ++level;
      path[level] = {child, 0};
      path.set_depth(level);
      if ((s = Load(child, &node)) != 0) return s;
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
      path[level].index = 0;
      if ((s = Previous(&edge)) != 0) return s;
      *code = edge == index::kPastEdge ? index::kPastEdge : index::kKeyNotFound;
      return 0;
    }
    path[level].index = count - 1;
    if ((s = Next(&edge)) != 0) return s;
    if (edge != index::kKeyFound) {
      *code = index::kKeyNotFound;
      return 0;
    }
    if (stepsLeft-- == 0) return Corrupt();
    level = path.depth();
    if ((s = Load(path[level].page, &node)) != 0) return s;
  }
}

}  // namespace kv::xb::mdx
