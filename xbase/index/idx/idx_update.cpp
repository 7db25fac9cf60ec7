// Changes to the IDX tree: insertion with node splits, deletion with the
// freeing of emptied nodes and the collapse of a root left with one child,
// node allocation from the free list, and the upkeep of the sibling links
// (left and right neighbours in key order at every level, -1 at the ends)
// that other programs walk.
#include <cstring>

#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/idx/idx_node.h"
#include "xbase/index/idx/idx_tree.h"

namespace kv::xb::idx {
namespace {
constexpr const char* kModule = "IPPUT";

void CopyEntry(const IdxIndex& ix, Node& to, int at, const Node& from, int i) {
  const int L = ix.keyLength;
  std::memcpy(to.keys + at * L, from.keys + i * L, static_cast<size_t>(L));
  to.records[at] = from.records[i];
  to.children[at] = from.children[i];
}

// Opens a gap at `at` (entries at and after it move up by one).
void OpenGap(const IdxIndex& ix, Node& node, int at) {
  const int L = ix.keyLength;
  const int moved = node.count - at;
  std::memmove(node.keys + (at + 1) * L, node.keys + at * L, static_cast<size_t>(moved * L));
  std::memmove(node.records + at + 1, node.records + at, sizeof(uint32_t) * moved);
  std::memmove(node.children + at + 1, node.children + at, sizeof(uint32_t) * moved);
  ++node.count;
}

void RemoveEntry(const IdxIndex& ix, Node& node, int at) {
  const int L = ix.keyLength;
  const int moved = node.count - at - 1;
  std::memmove(node.keys + at * L, node.keys + (at + 1) * L, static_cast<size_t>(moved * L));
  std::memmove(node.records + at, node.records + at + 1, sizeof(uint32_t) * moved);
  std::memmove(node.children + at, node.children + at + 1, sizeof(uint32_t) * moved);
  --node.count;
}

// The bounding entry of a child for its parent: its last key and record.
struct Bound {
  uint8_t key[kMaxKeyLength];
  uint32_t record;
};

Bound LastOf(const IdxIndex& ix, const Node& node) {
  Bound b{};
  const int L = ix.keyLength;
  std::memcpy(b.key, node.keys + (node.count - 1) * L, static_cast<size_t>(L));
  b.record = node.records[node.count - 1];
  return b;
}

void PutBound(const IdxIndex& ix, Node& parent, int at, const Bound& b, uint32_t child) {
  std::memcpy(parent.keys + at * ix.keyLength, b.key, ix.keyLength);
  // Only compact interior entries keep a record number.
  parent.records[at] = ix.compact ? b.record : 0;
  parent.children[at] = child;
}

}  // namespace

XBSTATUS Tree::SetRoot(uint32_t offset) {
  const XBSTATUS s = index::WriteHeaderWord(ix_.fileNo, kOffRoot, offset, ix_.pages.flush);
  if (s != 0) return s;
  ix_.root = offset;
  return 0;
}

XBSTATUS Tree::AllocateNode(uint32_t* offset) {
  XBSTATUS s = 0;
  const uint32_t head = ix_.freeHead;
  if (head != kNone && head != 0 && ValidOffset(head)) {
    uint8_t* data = nullptr;
    if ((s = ix_.cache.Read(ix_.pages, head / kNodeSize, &data)) != 0) return s;
    uint32_t next = GetLE32(data);
    // A link that names no node of the file (or the node itself) ends the
    // list rather than handing out a node twice.
    if (next == head || (next != kNone && !ValidOffset(next))) next = kNone;
    if ((s = index::WriteHeaderWord(ix_.fileNo, kOffFreeHead, next, ix_.pages.flush)) != 0) {
      return s;
    }
    ix_.freeHead = next;
    *offset = head;
    return 0;
  }
  const uint64_t grown = uint64_t{ix_.endBound} + kNodeSize;
  if (grown > 0xFFFFFE00u) return XB_FAIL(XB_E_WRITE);
  if ((s = os::SetLength(ix_.fileNo, static_cast<uint32_t>(grown))) != 0) return s;
  *offset = ix_.endBound;
  ix_.endBound = static_cast<uint32_t>(grown);
  ix_.pages.endPage = ix_.endBound / kNodeSize;
  // The compact header's end word is not kept (the file size is the bound).
  if (!ix_.compact) {
    s = index::WriteHeaderWord(ix_.fileNo, kOffEndOfFile, ix_.endBound, ix_.pages.flush);
  }
  return s;
}

XBSTATUS Tree::FreeNode(uint32_t offset) {
  uint8_t* data = nullptr;
  XBSTATUS s = ix_.cache.Fresh(ix_.pages, offset / kNodeSize, &data);
  if (s != 0) return s;
  PutLE32(data, ix_.freeHead);
  if ((s = ix_.cache.Write(ix_.pages, offset / kNodeSize)) != 0) return s;
  if ((s = index::WriteHeaderWord(ix_.fileNo, kOffFreeHead, offset, ix_.pages.flush)) != 0) {
    return s;
  }
  ix_.freeHead = offset;
  return 0;
}

XBSTATUS Tree::SetLink(uint32_t offset, bool leftLink, uint32_t value) {
  if (offset == kNone) return 0;
  Node& node = Work(3);
  XBSTATUS s = Load(offset, &node);
  if (s != 0) return s;
  if (leftLink) {
    node.left = value;
  } else {
    node.right = value;
  }
  return Store(offset, node);
}

int Tree::SplitPoint(Node& node) {
  const int n = node.count;
  const int even = n - n / 2;
  if (!(ix_.compact && node.leaf())) return even;
  // Compressed keys differ in size: when the even split leaves a half that
  // does not fit, the split point nearest to it where both halves fit.
  for (int delta = 0; delta < n; ++delta) {
    for (int k : {even - delta, even + delta}) {
      if (k < 1 || k >= n) continue;
      if (LeafBytes(ix_, node, 0, k) <= kLeafSpace && LeafBytes(ix_, node, k, n) <= kLeafSpace) {
        return k;
      }
    }
  }
  return -1;
}

// Writes the changed node at `level` (work node `slot`): split when it no
// longer fits, the parent's bounding key for it brought up to date, and so on
// upwards while a parent changes.
XBSTATUS Tree::Settle(int level, int slot) {
  auto& path = ix_.path;
  XBSTATUS s = 0;
  for (;;) {
    Node& node = Work(slot);
    Node& parent = Work(slot ^ 1);
    const uint32_t offset = path[level].page;
    if (NodeFits(ix_, &node)) {
      if ((s = Store(offset, node)) != 0) return s;
      if (level == 0 || node.count == 0) return 0;
      const Bound last = LastOf(ix_, node);
      if ((s = Load(path[level - 1].page, &parent)) != 0) return s;
      const int at = path[level - 1].index;
      if (at < 0 || at >= parent.count || parent.children[at] != offset) return Corrupt();
      const bool same =
          std::memcmp(parent.keys + at * ix_.keyLength, last.key, ix_.keyLength) == 0 &&
          (!ix_.compact || parent.records[at] == last.record);
      if (same) return 0;
      PutBound(ix_, parent, at, last, offset);
      --level;
      slot ^= 1;
      continue;
    }
    // Split: the lower keys stay here, the higher ones go to a new node on
    // its right.
    const int k = SplitPoint(node);
    if (k < 1) return Corrupt();
    uint32_t added = 0;
    if ((s = AllocateNode(&added)) != 0) return s;
    Node& high = Work(2);
    high.attributes = static_cast<uint16_t>(node.attributes & ~kAttrRoot);
    high.format = node.format;
    high.count = 0;
    for (int i = k; i < node.count; ++i) CopyEntry(ix_, high, high.count++, node, i);
    node.count = k;
    node.attributes = static_cast<uint16_t>(node.attributes & ~kAttrRoot);
    high.left = offset;
    high.right = node.right;
    node.right = added;
    if ((s = SetLink(high.right, true, added)) != 0) return s;
    NodeFits(ix_, &node);
    NodeFits(ix_, &high);
    if ((s = Store(offset, node)) != 0) return s;
    if ((s = Store(added, high)) != 0) return s;
    const Bound lowLast = LastOf(ix_, node);
    const Bound highLast = LastOf(ix_, high);
    if (level == 0) {
      uint32_t rootOffset = 0;
      if ((s = AllocateNode(&rootOffset)) != 0) return s;
      Node& root = Work(2);
      root.attributes = kAttrRoot;
      root.left = kNone;
      root.right = kNone;
      root.format = LeafFormat{};
      root.count = 2;
      PutBound(ix_, root, 0, lowLast, offset);
      PutBound(ix_, root, 1, highLast, added);
      if ((s = Store(rootOffset, root)) != 0) return s;
      return SetRoot(rootOffset);
    }
    if ((s = Load(path[level - 1].page, &parent)) != 0) return s;
    const int at = path[level - 1].index;
    if (at < 0 || at >= parent.count || parent.children[at] != offset) return Corrupt();
    PutBound(ix_, parent, at, lowLast, offset);
    OpenGap(ix_, parent, at + 1);
    PutBound(ix_, parent, at + 1, highLast, added);
    --level;
    slot ^= 1;
  }
}

XBSTATUS Tree::Insert(const SearchKey& entry) {
  bool empty = false;
  XBSTATUS s = Descend(entry, &empty);
  if (s != 0) return s;
  auto& path = ix_.path;
  const int level = path.depth();
  Node& leaf = Work(0);
  if (!leaf.leaf()) return Corrupt();
  const int at = empty ? 0 : path[level].index;
  if (leaf.count >= Node::kMaxEntries - 1) return Corrupt();
  OpenGap(ix_, leaf, at);
  std::memcpy(leaf.keys + at * ix_.keyLength, entry.bytes, ix_.keyLength);
  leaf.records[at] = entry.record;
  leaf.children[at] = 0;
  return Settle(level, 0);
}

// Frees the emptied node at `level` and removes its entry from the parent,
// repeating upwards while a parent other than the root is left empty.
XBSTATUS Tree::Detach(int level) {
  auto& path = ix_.path;
  XBSTATUS s = 0;
  while (level > 0) {
    const uint32_t offset = path[level].page;
    Node& gone = Work(2);
    if ((s = Load(offset, &gone)) != 0) return s;
    const uint32_t left = gone.left;
    const uint32_t right = gone.right;
    if ((s = SetLink(left, false, right)) != 0) return s;
    if ((s = SetLink(right, true, left)) != 0) return s;
    if ((s = FreeNode(offset)) != 0) return s;
    Node& parent = Work(0);
    if ((s = Load(path[level - 1].page, &parent)) != 0) return s;
    const int at = path[level - 1].index;
    if (at < 0 || at >= parent.count || parent.children[at] != offset) return Corrupt();
    RemoveEntry(ix_, parent, at);
    --level;
    if (parent.count > 0 || level == 0) return Settle(level, 0);
  }
  return 0;
}

XBSTATUS Tree::CollapseRoot() {
  XBSTATUS s = 0;
  for (int guard = ix_.path.capacity(); guard > 0; --guard) {
    Node& root = Work(0);
    if ((s = Load(ix_.root, &root)) != 0) return s;
    if (root.leaf() || root.count >= 2) return 0;
    if (root.count == 0) {
      // Every child is gone: the root becomes an empty leaf again.
      root.attributes = kAttrRoot | kAttrLeaf;
      root.left = kNone;
      root.right = kNone;
      root.format = ix_.newLeaf;
      return Store(ix_.root, root);
    }
    const uint32_t old = ix_.root;
    const uint32_t child = root.children[0];
    Node& node = Work(1);
    if ((s = Load(child, &node)) != 0) return s;
    node.attributes = static_cast<uint16_t>(node.attributes | kAttrRoot);
    node.left = kNone;
    node.right = kNone;
    if ((s = Store(child, node)) != 0) return s;
    if ((s = SetRoot(child)) != 0) return s;
    if ((s = FreeNode(old)) != 0) return s;
  }
  return Corrupt();
}

XBSTATUS Tree::Remove(const SearchKey& entry, XBSTATUS* code) {
  XBSTATUS s = Land(entry, code);
  if (s != 0 || *code != index::kKeyFound) return s;
  const int level = ix_.path.depth();
  Node& leaf = Work(0);
  RemoveEntry(ix_, leaf, ix_.path[level].index);
  if (leaf.count == 0 && level > 0) {
    s = Detach(level);
  } else {
    s = Settle(level, 0);
  }
  if (s != 0) return s;
  return CollapseRoot();
}

}  // namespace kv::xb::idx
