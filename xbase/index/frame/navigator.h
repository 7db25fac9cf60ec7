// The walks of a B-tree, written once over a family's page layout: top,
// bottom, next and previous along the path, the search, and the return to the
// current key's own place. In a B+-tree (NDX, IDX, MDX) the entries live in
// the leaves and an interior page only leads to its children; in a B-tree
// (NTX) every page holds entries, each between two children.
//
// A family's layout is a small class holding one loaded page:
//   XBSTATUS Load(uint32_t page)      reads and checks the page
//   bool Leaf() const                 the loaded page is a leaf
//   int LastIndex() const             its last entry (leaf) or child index
//   int EntryCount() const            its number of entries
//   uint32_t Child(int i) const       child i of an interior page
//   const uint8_t* Key(int i) const   key bytes of entry i
//   uint32_t Record(int i) const      record number of entry i
//   uint64_t PageBound() const        pages the file can hold
//   XBSTATUS Corrupt()                -18 with a log line
// and, for a B-tree, `static constexpr bool kEntriesInEveryPage = true`.
//
// The walks step through the stored order of the pages, never by comparing
// keys, so that a file whose keys lie in another engine's order (another
// collation, keys compared without case) is walked entry by entry to its end.
#pragma once
#include <cstdint>
#include <cstring>

#include "kv/xbase.h"
#include "xbase/index/frame/key_status.h"
#include "xbase/index/frame/path_stack.h"

namespace kv::xb::index {

// Marks a level whose step is to be set from its page: its last entry or
// child.
inline constexpr int32_t kFromEnd = INT32_MIN;

// Whether a layout keeps entries in its interior pages too (a B-tree).
template <class Layout>
constexpr bool EntriesInEveryPage() {
  if constexpr (requires { Layout::kEntriesInEveryPage; }) {
    return Layout::kEntriesInEveryPage;
  } else {
    return false;
  }
}

template <class Layout>
class Navigator {
  static constexpr bool kBTree = EntriesInEveryPage<Layout>();

 public:
  Navigator(Layout& layout, PathStack& path) : page_(layout), path_(path) {}

  // First or last entry; `*code` 0, or 2 when the index holds none.
  XBSTATUS Top(uint32_t root, XBSTATUS* code) {
    path_[0] = {root, 0};
    path_.set_depth(0);
    return Walk<1>(root, 0, 0, false, code);
  }
  XBSTATUS Bottom(uint32_t root, XBSTATUS* code) {
    path_[0] = {root, 0};
    path_.set_depth(0);
    return Walk<-1>(root, 0, kFromEnd, false, code);
  }

  // The next or previous entry from the position (the first without one); at
  // the end or the beginning the position becomes the last or first entry
  // and `*code` is 3.
  XBSTATUS Next(uint32_t root, XBSTATUS* code) {
    if (path_.depth() < 0) return Top(root, code);
    const int level = path_.depth();
    return Walk<1>(root, level, 2 * path_[level].index + 2, true, code);
  }
  XBSTATUS Previous(uint32_t root, XBSTATUS* code) {
    if (path_.depth() < 0) return Top(root, code);
    const int level = path_.depth();
    return Walk<-1>(root, level, 2 * path_[level].index, true, code);
  }

  // The entry at the position: `keyLength` key bytes and the record number.
  XBSTATUS EntryAt(size_t keyLength, uint8_t* key, uint32_t* record) {
    const int level = path_.depth();
    if (level < 0) return page_.Corrupt();
    const XBSTATUS s = page_.Load(path_[level].page);
    if (s != 0) return s;
    const int at = path_[level].index;
    if (at < 0 || at >= page_.EntryCount() || !(kBTree || page_.Leaf())) return page_.Corrupt();
    std::memcpy(key, page_.Key(at), keyLength);
    *record = page_.Record(at);
    return 0;
  }

  // Positions the path on a key: `compare(entryKey)` orders the key sought
  // against a stored key; with `key.exact` equal keys are told apart by
  // `key.record`, else the leftmost equal entry is taken. `*code`: 0 found;
  // 4 not found, positioned on the greatest smaller entry (or the last
  // one); 3 the key sorts before every entry, positioned on the first; 2
  // empty index.
  template <class Key, class Compare>
  XBSTATUS Search(uint32_t root, const Key& key, Compare compare, XBSTATUS* code) {
    if constexpr (kBTree) {
      return SearchEveryPage(root, key, compare, code);
    } else {
      return SearchLeaves(root, key, compare, code);
    }
  }

  // Puts the path back where the current key was last given, when every
  // page on the way still leads there and the entry is still in its place;
  // `*restored` tells. Otherwise the caller searches for it by key.
  XBSTATUS Restore(CurrentKey& current, uint32_t root, size_t keyLength, bool* restored) {
    return RestorePosition(page_, current, path_, root, keyLength, !kBTree, restored);
  }

 private:
  // A walk over a sound tree enters every page at most twice; more means
  // pages shared between parents or a loop.
  uint64_t Budget() const { return 2ull * page_.PageBound() + 2ull * path_.capacity() + 8; }

  // Orders the key sought against entry i: by key, then by record number
  // when the search is exact.
  template <class Key, class Compare>
  int CompareEntry(const Key& key, Compare& compare, int i) const {
    const int c = compare(page_.Key(i));
    return c == 0 && key.exact ? CompareRecord(key, i) : c;
  }
  template <class Key>
  int CompareRecord(const Key& key, int i) const {
    const uint32_t r = page_.Record(i);
    return key.record < r ? -1 : (key.record > r ? 1 : 0);
  }

  // The in-order steps of a page: step 2i is child i, step 2i + 1 entry i. A
  // leaf has no children, and an interior page of a B+-tree no entries, so a
  // walk passes over those steps in its direction `Dir` (1 forward, -1
  // backward). Starting at `step` of the page on `level`, the walk stops on
  // the first entry; past the last one the position falls back to the other
  // edge (`fallBack`, `*code` 3) or the index is empty (`*code` 2).
  template <int Dir>
  XBSTATUS Walk(uint32_t root, int level, int32_t step, bool fallBack, XBSTATUS* code) {
    for (uint64_t budget = Budget();; --budget) {
      if (budget == 0) return page_.Corrupt();
      XBSTATUS s = page_.Load(path_[level].page);
      if (s != 0) return s;
      const bool leaf = page_.Leaf();
      const int32_t last = 2 * page_.LastIndex() + (leaf ? 1 : 0);
      if (step == kFromEnd) step = last;
      const bool entryStep = step % 2 != 0;
      if (entryStep ? !(leaf || kBTree) : leaf) step += Dir;
      if (step >= 0 && step <= last) {
        if (step % 2 != 0) {
          path_[level].index = (step - 1) / 2;
          path_.set_depth(level);
          *code = kKeyFound;
          return 0;
        }
        if (!path_.CanDescend(level)) return page_.Corrupt();
        path_[level].index = step / 2;
        const uint32_t child = page_.Child(step / 2);
        ++level;
        path_[level] = {child, 0};
        step = Dir > 0 ? 0 : kFromEnd;
        continue;
      }
      // This page is used up: on to the step after its child in the level
      // above.
      if (--level < 0) {
        if (!fallBack) {
          *code = kIndexEmpty;
          return 0;
        }
        XBSTATUS edge = 0;
        if ((s = Dir > 0 ? Bottom(root, &edge) : Top(root, &edge)) != 0) return s;
        *code = edge == kKeyFound ? kPastEdge : edge;
        return 0;
      }
      step = 2 * path_[level].index + Dir;
    }
  }

  // A search begins with the root alone on the path, loaded.
  XBSTATUS StartAtRoot(uint32_t root) {
    path_[0] = {root, 0};
    path_.set_depth(0);
    return page_.Load(root);
  }
  // Goes down from the loaded interior page on `*level` to its child `i`,
  // which is loaded.
  XBSTATUS Descend(int* level, int i) {
    path_[*level].index = i;
    if (!path_.CanDescend(*level)) return page_.Corrupt();
    const uint32_t child = page_.Child(i);
    path_[++*level] = {child, 0};
    path_.set_depth(*level);
    return page_.Load(child);
  }

  // The search of a B+-tree whose interior keys are the greatest of their
  // subtrees.
  template <class Key, class Compare>
  XBSTATUS SearchLeaves(uint32_t root, const Key& key, Compare& compare, XBSTATUS* code) {
    int level = 0;
    XBSTATUS s = StartAtRoot(root);
    if (s != 0) return s;
    if (page_.EntryCount() == 0) {
      // An empty root; an interior one here is damage.
      if (!page_.Leaf()) return page_.Corrupt();
      *code = kIndexEmpty;
      return 0;
    }
    // Each further leaf the search steps to lies after the last one; a sound
    // tree has fewer leaves than pages.
    uint64_t stepsLeft = page_.PageBound() + 1;
    for (;;) {
      const bool leaf = page_.Leaf();
      const int count = page_.EntryCount();
      int lo = 0;
      int hi = count - 1;
      while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        int c = compare(page_.Key(mid));
        if (c == 0) {
          if (!leaf) {
            c = -1;  // equal keys may lie further left
          } else if (key.exact) {
            c = CompareRecord(key, mid);
          } else if (mid != lo) {
            hi = mid;  // keep the leftmost equal entry in range
            continue;
          }
        }
        if (c == 0) {
          path_[level].index = mid;
          path_.set_depth(level);
          *code = kKeyFound;
          return 0;
        }
        if (c < 0) {
          hi = mid - 1;
        } else {
          lo = mid + 1;
        }
      }
      if (!leaf) {
        if ((s = Descend(&level, lo)) != 0) return s;
        continue;
      }
      path_.set_depth(level);
      if (lo < count && hi >= 0) {
        path_[level].index = hi;
        *code = kKeyNotFound;
        return 0;
      }
      XBSTATUS edge = 0;
      if (lo < count) {
        // Smaller than every key of this leaf: the entry before it, if any.
        path_[level].index = 0;
        if ((s = Previous(root, &edge)) != 0) return s;
        *code = edge == kPastEdge ? kPastEdge : kKeyNotFound;
        return 0;
      }
      // Greater than every key of this leaf: go on in the next one.
      path_[level].index = count - 1;
      if ((s = Next(root, &edge)) != 0) return s;
      if (edge != kKeyFound) {
        *code = kKeyNotFound;
        return 0;
      }
      if (stepsLeft-- == 0) return page_.Corrupt();
      level = path_.depth();
      if ((s = page_.Load(path_[level].page)) != 0) return s;
    }
  }

  // The search of a B-tree: in each page the first entry not smaller than
  // the key; an interior page's child before it holds every key between it
  // and the entry before, an equal one included, so that the first of
  // several equal keys is found.
  template <class Key, class Compare>
  XBSTATUS SearchEveryPage(uint32_t root, const Key& key, Compare& compare, XBSTATUS* code) {
    int level = 0;
    XBSTATUS s = StartAtRoot(root);
    if (s != 0) return s;
    if (page_.EntryCount() == 0 && page_.Leaf()) {
      *code = kIndexEmpty;
      return 0;
    }
    for (;;) {
      const int n = page_.EntryCount();
      int i = 0;
      int c = 1;
      for (; i < n; ++i) {
        if ((c = CompareEntry(key, compare, i)) <= 0) break;
      }
      if (!page_.Leaf()) {
        if ((s = Descend(&level, i)) != 0) return s;
        continue;
      }
      path_[level].index = i;
      path_.set_depth(level);
      if (i < n && c == 0) {
        *code = kKeyFound;
        return 0;
      }
      XBSTATUS edge = 0;
      if (i == n) {
        // Past the leaf's last key: the next key in order lies in an
        // ancestor, and it may be the one sought.
        if ((s = Walk<1>(root, level, 2 * n, false, &edge)) != 0) return s;
        if (edge == kKeyFound) {
          if ((s = page_.Load(path_[path_.depth()].page)) != 0) return s;
          if (CompareEntry(key, compare, path_[path_.depth()].index) == 0) {
            *code = kKeyFound;
            return 0;
          }
        }
        // Not it: back to the leaf. The path above the leaf is untouched by
        // the walk, which only climbed.
        path_.set_depth(level);
      }
      // The key before the leaf's entry i.
      if ((s = Walk<-1>(root, level, 2 * i, true, &edge)) != 0) return s;
      *code = edge == kPastEdge ? kPastEdge : kKeyNotFound;
      return 0;
    }
  }

  Layout& page_;
  PathStack& path_;
};

// The return to the current key's place for any layout: the remembered path
// is followed from the root, each page reached through the child pointer
// checked one level up (so only pages of the live tree are read), and the
// entry at its end must still be the current key and record number.
// `entriesInLeaves` says whether entries live only in leaves (B+-trees) or
// in every page (B-trees).
template <class Layout>
XBSTATUS RestorePosition(Layout& page, CurrentKey& current, PathStack& path, uint32_t root,
                         size_t keyLength, bool entriesInLeaves, bool* restored) {
  *restored = false;
  PathStack& hint = current.hint();
  const int depth = hint.depth();
  if (depth < 0 || depth >= path.capacity() || !current.present() || hint[0].page != root) {
    return 0;
  }
  for (int l = 0; l <= depth; ++l) {
    const XBSTATUS s = page.Load(hint[l].page);
    if (s != 0) return s;
    const int at = hint[l].index;
    if (l < depth) {
      if (page.Leaf() || at < 0 || at > page.LastIndex()) return 0;
      if (page.Child(at) != hint[l + 1].page) return 0;
    } else {
      if (entriesInLeaves && !page.Leaf()) return 0;
      if (at < 0 || at >= page.EntryCount()) return 0;
      if (page.Record(at) != current.record()) return 0;
      if (std::memcmp(page.Key(at), current.key(), keyLength) != 0) return 0;
    }
  }
  for (int l = 0; l <= depth; ++l) path[l] = hint[l];
  path.set_depth(depth);
  *restored = true;
  return 0;
}

}  // namespace kv::xb::index
