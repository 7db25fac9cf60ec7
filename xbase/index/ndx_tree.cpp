// Search and the walks from entry to entry.
#include "xbase/index/ndx_tree.h"

#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/key_compare.h"
#include "xbase/index/numeric_keys.h"
#include "xbase/index/operation_frame.h"

namespace kv::xb::ndx {
namespace {
constexpr const char* kModule = "NPGET";
// Marks a level whose index is to be set from its page: the last entry of a
// leaf, the last child of an interior page.
constexpr int32_t kFromEnd = INT32_MIN;
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

bool Tree::CountWalkStep() {
  // A walk over a sound tree enters every page at most twice; more means
  // pages shared between parents or a loop.
  if (walkBudget_ == 0) return false;
  --walkBudget_;
  return true;
}

XBSTATUS Tree::WalkForward(int level, bool fallBack, XBSTATUS* code) {
  auto& path = ix_.path;
  walkBudget_ = 2ull * ix_.pages.endPage + 2ull * path.capacity() + 8;
  Page page;
  for (;;) {
    if (!CountWalkStep()) return Corrupt();
    XBSTATUS s = Load(path[level].page, &page);
    if (s != 0) return s;
    const bool leaf = ix_.IsLeaf(page);
    const int count = NdxIndex::Count(page);
    const int last = leaf ? count - 1 : count;
    const int32_t at = path[level].index;
    if (at >= 0 && at <= last) {
      if (leaf) {
        path.set_depth(level);
        *code = index::kKeyFound;
        return 0;
      }
      if (!path.CanDescend(level)) return Corrupt();
      const uint32_t child = ix_.Child(page, at);
      ++level;
      path[level] = {child, 0};
      continue;
    }
    // This page is used up: on to the next child of the level above.
    if (--level < 0) {
      if (!fallBack) {
        *code = index::kIndexEmpty;
        return 0;
      }
      XBSTATUS edge = 0;
      if ((s = Bottom(&edge)) != 0) return s;
      *code = edge == index::kKeyFound ? index::kPastEdge : edge;
      return 0;
    }
    ++path[level].index;
  }
}

XBSTATUS Tree::WalkBackward(int level, bool fallBack, XBSTATUS* code) {
  auto& path = ix_.path;
  walkBudget_ = 2ull * ix_.pages.endPage + 2ull * path.capacity() + 8;
  Page page;
  for (;;) {
    if (!CountWalkStep()) return Corrupt();
    XBSTATUS s = Load(path[level].page, &page);
    if (s != 0) return s;
    const bool leaf = ix_.IsLeaf(page);
    const int count = NdxIndex::Count(page);
    const int last = leaf ? count - 1 : count;
    if (path[level].index == kFromEnd) path[level].index = last;
    const int32_t at = path[level].index;
    if (at >= 0 && at <= last) {
      if (leaf) {
        path.set_depth(level);
        *code = index::kKeyFound;
        return 0;
      }
      if (!path.CanDescend(level)) return Corrupt();
      const uint32_t child = ix_.Child(page, at);
      ++level;
      path[level] = {child, kFromEnd};
      continue;
    }
    if (--level < 0) {
      if (!fallBack) {
        *code = index::kIndexEmpty;
        return 0;
      }
      XBSTATUS edge = 0;
      if ((s = Top(&edge)) != 0) return s;
      *code = edge == index::kKeyFound ? index::kPastEdge : edge;
      return 0;
    }
    --path[level].index;
  }
}

XBSTATUS Tree::Top(XBSTATUS* code) {
  ix_.path[0] = {ix_.root, 0};
  ix_.path.set_depth(0);
  return WalkForward(0, false, code);
}

XBSTATUS Tree::Bottom(XBSTATUS* code) {
  ix_.path[0] = {ix_.root, kFromEnd};
  ix_.path.set_depth(0);
  return WalkBackward(0, false, code);
}

XBSTATUS Tree::Next(XBSTATUS* code) {
  auto& path = ix_.path;
  if (path.depth() < 0) return Top(code);
  const int level = path.depth();
  ++path[level].index;
  return WalkForward(level, true, code);
}

XBSTATUS Tree::Previous(XBSTATUS* code) {
  auto& path = ix_.path;
  if (path.depth() < 0) return Top(code);
  const int level = path.depth();
  --path[level].index;
  return WalkBackward(level, true, code);
}

XBSTATUS Tree::EntryAt(uint8_t* key, uint32_t* record) {
  auto& path = ix_.path;
  const int level = path.depth();
  if (level < 0) return Corrupt();
  Page page;
  const XBSTATUS s = Load(path[level].page, &page);
  if (s != 0) return s;
  const int at = path[level].index;
  if (at < 0 || at >= NdxIndex::Count(page)) return Corrupt();
  std::memcpy(key, ix_.Key(page, at), ix_.keyLength);
  *record = ix_.Record(page, at);
  return 0;
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
