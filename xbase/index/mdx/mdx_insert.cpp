// Adding an entry to a tag: the leaf position comes from a search; a full
// node is split in two, the lower half going to a new block on the left,
// whose greatest key goes up to the parent; a split root gets a new root.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/mdx/mdx_tree.h"

namespace kv::xb::mdx {

void Tree::InsertInto(Node& node, bool leaf, int at, const Item& item) const {
  const int count = CountOf(node);
  // Entries at..count-1 and the trailing pointer move up one entry.
  const uint16_t from = Offset(t_, at);
  const size_t bytes = Offset(t_, count) + 4u - from;
  std::memmove(node.bytes + from + t_.entrySize, node.bytes + from, bytes);
  SetPointer(t_, node, at, item.pointer);
  std::memcpy(KeyOf(t_, node, at), item.key, t_.keyLength);
  if (!leaf) SetPointer(t_, node, at + 1, item.right);
  SetCount(node, count + 1);
}

XBSTATUS Tree::Split(Node& node, uint32_t blockNo, bool leaf, int at, Item* item) {
  const int K = t_.keysPerBlock;
  const uint32_t E = t_.entrySize;
  // The K + 1 entries in key order with the trailing pointer: one entry more
  // than a block holds.
  static thread_local uint8_t wide[kMaxUnits * kUnit + 2 * (kMaxKeyLength + 12) + 16];
  auto off = [E](int i) { return 8u + static_cast<unsigned>(i) * E; };
  std::memset(wide, 0, off(K + 1) + 4u);
  std::memcpy(wide, node.bytes, off(K) + 4u);
  std::memmove(wide + off(at + 1), wide + off(at), off(K) + 4u - off(at));
  PutLE32(wide + off(at), item->pointer);
  std::memcpy(wide + off(at) + 4, item->key, t_.keyLength);
  if (!leaf) PutLE32(wide + off(at + 1), item->right);

  const int n = K + 1;
  const int stay = n / 2;
  const int moved = n - stay;  // to the new block on the left

  Node left{};
  std::memcpy(left.bytes + 8, wide + 8, off(moved) - 8u);
  uint8_t separator[kMaxKeyLength + 12];
  std::memcpy(separator, wide + off(moved - 1) + 4, t_.keyLength);
  if (leaf) {
    SetCount(left, moved);
  } else {
    // The last entry keeps only its pointer: it becomes the trailing child.
    std::memset(left.bytes + off(moved - 1) + 4, 0, E - 4u);
    SetCount(left, moved - 1);
  }

  Node right{};
  std::memcpy(right.bytes + 8, wide + off(moved), off(n) + 4u - off(moved));
  SetCount(right, stay);

  uint32_t leftNo = 0;
  uint8_t* fresh = nullptr;
  XBSTATUS s = AllocateBlock(file_, t_.cache, &leftNo, &fresh);
  if (s != 0) return s;
  if ((s = Store(leftNo, left)) != 0) return s;
  if ((s = Store(blockNo, right)) != 0) return s;
  std::memcpy(item->key, separator, t_.keyLength);
  item->pointer = leftNo;
  item->right = blockNo;
  return 0;
}

XBSTATUS Tree::SetRoot(uint32_t root) {
  t_.root = root;
  PutLE32(t_.header + kTagRoot, root);
  entry_.headerDirty = true;
  return index::WriteHeaderWord(file_.fileNo, entry_.headerBlock * kUnit + kTagRoot, root,
                                file_.pages.flush);
}

XBSTATUS Tree::NewRoot(const Item& item) {
  uint32_t rootNo = 0;
  uint8_t* fresh = nullptr;
  XBSTATUS s = AllocateBlock(file_, t_.cache, &rootNo, &fresh);
  if (s != 0) return s;
  Node root{};
  SetPointer(t_, root, 0, item.pointer);
  std::memcpy(KeyOf(t_, root, 0), item.key, t_.keyLength);
  SetPointer(t_, root, 1, item.right);
  SetCount(root, 1);
  if ((s = Store(rootNo, root)) != 0) return s;
  return SetRoot(rootNo);
}

XBSTATUS Tree::Insert(const SearchKey& entry) {
  auto& path = t_.path;
  XBSTATUS s = index::PositionForInsert(*this, path, entry);
  if (s != 0) return s;
  Item item{};
  std::memcpy(item.key, entry.bytes, t_.keyLength);
  item.pointer = entry.record;
  bool pending = true;
  const int leafLevel = path.depth();
  for (int level = leafLevel; pending && level >= 0; --level) {
    Node node;
    if ((s = Load(path[level].page, &node)) != 0) return s;
    const int count = CountOf(node);
    const int at = path[level].index;
    const bool leaf = IsLeaf(t_, node);
    if (at < 0 || at > count) return Corrupt();
    // The level of the search's position is a leaf, every other one not.
    if (leaf != (level == leafLevel)) return Corrupt();
    if (count < t_.keysPerBlock) {
      InsertInto(node, leaf, at, item);
      if ((s = Store(path[level].page, node)) != 0) return s;
      pending = false;
    } else if ((s = Split(node, path[level].page, leaf, at, &item)) != 0) {
      return s;
    }
  }
  if (pending) return NewRoot(item);
  return 0;
}

}  // namespace kv::xb::mdx
