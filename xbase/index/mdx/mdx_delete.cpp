// Removing an entry from a tag. The greatest key of a leaf is also the key
// that bounds the leaf in an ancestor; removing it updates that key. A node
// left with fewer than half its keys is merged with a sibling when their
// counts add up to less than K; otherwise entries move over from the sibling
// until both hold about half, the separating key in the parent follows, and
// the walk up stops. A root left with one child hands the root over.
#include <cstring>
#include <vector>

#include "xbase/frame/engine.h"
#include "xbase/index/mdx/mdx_tree.h"

namespace kv::xb::mdx {

XBSTATUS Tree::Redistribute(Node& left, uint32_t leftNo, Node& right, uint32_t rightNo,
                            Node& parent, uint32_t parentNo, int li, bool leftIsShort, bool leaf) {
  const uint32_t E = t_.entrySize;
  const int lc = CountOf(left);
  const int rc = CountOf(right);
  const int total = lc + rc;
  const int leftKeys = leftIsShort ? total / 2 : total - total / 2;
  auto off = [E](int i) { return 8u + static_cast<unsigned>(i) * E; };
  // Both nodes laid out as one: the left entries, for interior nodes the
  // parent's separator with the left trailing child, the right entries and
  // the right trailing pointer.
  std::vector<uint8_t> all(off(total + 1) + 4u, 0);
  std::memcpy(all.data() + 8, left.bytes + 8, off(lc) - 8u);
  int n = lc;
  if (!leaf) {
    PutLE32(all.data() + off(n), Pointer(t_, left, lc));
    std::memcpy(all.data() + off(n) + 4, KeyOf(t_, parent, li), t_.keyLength);
    ++n;
  }
  std::memcpy(all.data() + off(n), right.bytes + 8, off(rc) + 4u - 8u);
  n += rc;  // entries in `all`

  Node newLeft{};
  Node newRight{};
  uint8_t separator[kMaxKeyLength + 12];
  std::memcpy(newLeft.bytes + 8, all.data() + 8, off(leftKeys) - 8u);
  int rightFrom = leftKeys;
  if (leaf) {
    std::memcpy(separator, all.data() + off(leftKeys - 1) + 4, t_.keyLength);
  } else {
    // Entry leftKeys goes up; its child becomes the left trailing child.
    PutLE32(newLeft.bytes + off(leftKeys), GetLE32(all.data() + off(leftKeys)));
    std::memcpy(separator, all.data() + off(leftKeys) + 4, t_.keyLength);
    rightFrom = leftKeys + 1;
  }
  SetCount(newLeft, leftKeys);
  std::memcpy(newRight.bytes + 8, all.data() + off(rightFrom), off(n) + 4u - off(rightFrom));
  SetCount(newRight, n - rightFrom);
  std::memcpy(KeyOf(t_, parent, li), separator, t_.keyLength);
  XBSTATUS s = Store(leftNo, newLeft);
  if (s == 0) s = Store(rightNo, newRight);
  if (s == 0) s = Store(parentNo, parent);
  return s;
}

XBSTATUS Tree::Rebalance(int level) {
  auto& path = t_.path;
  const int K = t_.keysPerBlock;
  while (level > 0) {
    Node node;
    XBSTATUS s = Load(path[level].page, &node);
    if (s != 0) return s;
    const int count = CountOf(node);
    if (count >= t_.half) return 0;
    const uint32_t parentNo = path[level - 1].page;
    Node parent;
    if ((s = Load(parentNo, &parent)) != 0) return s;
    const int pcount = CountOf(parent);
    if (pcount == 0) return 0;  // no sibling to work with
    const int at = path[level - 1].index;
    if (at < 0 || at > pcount) return Corrupt();
    // The left sibling for the last child, else the right one.
    const bool nodeIsLeft = at < pcount;
    const int li = nodeIsLeft ? at : pcount - 1;
    const uint32_t leftNo = Pointer(t_, parent, li);
    const uint32_t rightNo = Pointer(t_, parent, li + 1);
    if (leftNo == rightNo) return Corrupt();
    Node left;
    Node right;
    if ((s = Load(leftNo, &left)) != 0) return s;
    if ((s = Load(rightNo, &right)) != 0) return s;
    const bool leaf = IsLeaf(t_, node);
    if (IsLeaf(t_, left) != leaf || IsLeaf(t_, right) != leaf) return Corrupt();
    const int lc = CountOf(left);
    const int rc = CountOf(right);
    if (lc + rc >= K) {
      return Redistribute(left, leftNo, right, rightNo, parent, parentNo, li, nodeIsLeft, leaf);
    }
    // Everything goes into the right node: its bounding key stays valid.
    Node m{};
    std::memcpy(m.bytes + Offset(t_, 0), left.bytes + Offset(t_, 0),
                Offset(t_, lc) - Offset(t_, 0));
    int pos = lc;
    if (!leaf) {
      // The parent's separating key comes down with the left trailing child.
      SetPointer(t_, m, pos, Pointer(t_, left, lc));
      std::memcpy(KeyOf(t_, m, pos), KeyOf(t_, parent, li), t_.keyLength);
      ++pos;
    }
    std::memcpy(m.bytes + Offset(t_, pos), right.bytes + Offset(t_, 0),
                Offset(t_, rc) + 4u - Offset(t_, 0));
    SetCount(m, pos + rc);
    if ((s = Store(rightNo, m)) != 0) return s;
    // The parent's entry for the emptied left node goes.
    const size_t bytes = Offset(t_, pcount) + 4u - Offset(t_, li + 1);
    std::memmove(parent.bytes + Offset(t_, li), parent.bytes + Offset(t_, li + 1), bytes);
    std::memset(parent.bytes + Offset(t_, pcount) + 4 - t_.entrySize, 0, t_.entrySize);
    SetCount(parent, pcount - 1);
    if ((s = Store(parentNo, parent)) != 0) return s;
    if ((s = Release(leftNo)) != 0) return s;
    --level;
  }
  return 0;
}

XBSTATUS Tree::Release(uint32_t block) {
  return FreeBlock(file_, block);
}

XBSTATUS Tree::Remove(const SearchKey& entry, XBSTATUS* code) {
  auto& path = t_.path;
  XBSTATUS s = index::FindForRemoval(*this, entry, code);
  if (s != 0 || *code != index::kKeyFound) return s;
  const int level = path.depth();
  const uint32_t leafNo = path[level].page;
  Node leaf;
  if ((s = Load(leafNo, &leaf)) != 0) return s;
  const int count = CountOf(leaf);
  const int at = path[level].index;
  if (!IsLeaf(t_, leaf) || at < 0 || at >= count) return Corrupt();
  // The following entries and the trailing 0 move down one entry.
  std::memmove(leaf.bytes + Offset(t_, at), leaf.bytes + Offset(t_, at + 1),
               Offset(t_, count) + 4u - Offset(t_, at + 1));
  std::memset(leaf.bytes + Offset(t_, count - 1) + 4, 0, t_.entrySize);
  SetCount(leaf, count - 1);
  if ((s = Store(leafNo, leaf)) != 0) return s;
  if (at == count - 1 && level > 0 && (s = UpdateBound(level, leaf)) != 0) return s;
  if ((s = Rebalance(level)) != 0) return s;
  return CollapseRoot(&Tree::Release);
}

}  // namespace kv::xb::mdx
