// The walks a tree family offers its key operations, declared once: a
// family's tree derives from TreeWalks<Tree, Layout> and gives it, as a
// friend, two private members:
//   Layout MakeLayout()          its page layout over this tree
//   Block& WalkBlock()           what holds the path of the running call
//                                (`path`), the root page (`root`), the
//                                current key (`current`) and the stored key
//                                length (`keyLength`)
// and, for CollapseRoot, SetRoot(uint32_t). The block's page cache
// (`cache`) reports damage. The bodies
// (tree_walks_body.h) are instantiated by the family's tree source, where
// its layout is complete.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/index/frame/key_status.h"
#include "xbase/index/frame/path_stack.h"

namespace kv::xb::index {

// The measures of a B+-tree page that splits in two (tree_insert.h).
struct PageShape {
  unsigned header;
  unsigned entrySize;
  unsigned keyOffset;
  size_t keyLength;
  int capacity;
  // Bytes after a leaf's last entry that belong to it (a trailing 0
  // pointer) and move with the entries when one is removed.
  unsigned leafTail;
  unsigned Offset(int i) const { return header + static_cast<unsigned>(i) * entrySize; }
};

// The entry going into a page on insertion: a leaf's key and record number,
// or the separator of a split with the pages on its left and right.
template <size_t KeyBytes>
struct SplitItem {
  uint8_t key[KeyBytes];
  uint32_t record;
  uint32_t left;
  uint32_t right;
};

// A page left short by a deletion, its parent and the two siblings that
// may be joined: the left one is child `li` of the parent, the right one
// child li + 1, and the short page is one of them (`pageIsLeft`).
template <class Page>
struct Siblings {
  Page page;
  Page parent;
  Page left;
  Page right;
  uint32_t pageNo;
  uint32_t parentNo;
  uint32_t leftNo;
  uint32_t rightNo;
  int count;        // entries of the short page
  int parentCount;  // entries of the parent
  int li;
  bool pageIsLeft;
  bool leaf;
};

template <class Tree, class Layout>
class TreeWalks {
 public:
  // First or last entry; `*code` 0, or 2 when the index holds none.
  XBSTATUS Top(XBSTATUS* code);
  XBSTATUS Bottom(XBSTATUS* code);
  // The next or previous entry from the position (Top without one); at the
  // end or the beginning the position becomes the last or first entry and
  // `*code` is 3.
  XBSTATUS Next(XBSTATUS* code);
  XBSTATUS Previous(XBSTATUS* code);
  // The entry at the position: L key bytes and the record number.
  XBSTATUS EntryAt(uint8_t* key, uint32_t* record);
  // Puts the path back where the current key was last given, if it is
  // still there (`*restored`).
  XBSTATUS RestoreCurrent(bool* restored);
  // A damaged page structure: -18 with a log line.
  XBSTATUS Corrupt() { return Self().WalkBlock().cache.Corrupt(); }

 protected:
  // Positions the path on `key` by the family's `compare(entryKey)`
  // (Navigator::Search tells the codes).
  template <class Key, class Compare>
  XBSTATUS SearchWith(const Key& key, Compare compare, XBSTATUS* code);

  // After a deletion: while the root is an interior page without keys, its
  // only child becomes the root and the old root is released.
  XBSTATUS CollapseRoot(XBSTATUS (Tree::*release)(uint32_t page));

  // Adds `entry` in a B+-tree whose pages split in two when full
  // (tree_insert.h; the tree's hooks are listed there).
  template <class Page, class Key>
  XBSTATUS InsertEntry(const Key& entry);

  // From the page on `level` of the path upwards, while a page is short,
  // the tree's Rejoin mends it (tree_delete.h; the hooks are listed there).
  template <class Page>
  XBSTATUS RebalanceFrom(int level);
  // Joins two B+-tree siblings into the right one and drops the left one
  // from the parent.
  template <class Page>
  XBSTATUS MergeIntoRight(Siblings<Page>& p);
  // Removes `entry` from its leaf in a B+-tree whose interior keys are the
  // greatest of their subtrees; `*code` 0 removed, 4 no such entry, 2 empty.
  template <class Page, class Key>
  XBSTATUS RemoveFromLeaf(const Key& entry, XBSTATUS* code);

 private:
  template <class Page, class Item>
  void InsertInto(Page& page, bool leaf, int at, const Item& item);
  template <class Page, class Item>
  XBSTATUS Split(Page& page, uint32_t pageNo, bool leaf, int at, Item* item);
  template <class Page, class Item>
  XBSTATUS NewRoot(const Item& item);

 private:
  Tree& Self() { return static_cast<Tree&>(*this); }
  // Runs `step(navigator, block)` over a fresh layout.
  template <class Step>
  XBSTATUS Walk(Step step);
};

// Positions `path` where `entry` goes in: on an equal entry, or on the place
// after the greatest smaller one (which may be past a leaf's last entry).
template <class Tree, class Key>
XBSTATUS PositionForInsert(Tree& tree, PathStack& path, const Key& entry) {
  XBSTATUS code = 0;
  XBSTATUS s = tree.Search(entry, &code);
  if (s != 0) return s;
  if (code == kKeyNotFound) {
    // Positioned on the greatest smaller entry: the new one goes after it.
    XBSTATUS edge = 0;
    if ((s = tree.Next(&edge)) != 0) return s;
    if (edge == kPastEdge) ++path[path.depth()].index;
  }
  return 0;
}

// Finds the entry to remove. `*code`: 0 found, the path on it; 4 no such
// entry; 2 empty index.
template <class Tree, class Key>
XBSTATUS FindForRemoval(Tree& tree, const Key& entry, XBSTATUS* code) {
  const XBSTATUS s = tree.Search(entry, code);
  if (s == 0 && *code == kPastEdge) *code = kKeyNotFound;
  return s;
}

}  // namespace kv::xb::index
