// Removing an entry from a tag. The greatest key of a leaf is also the key
// that bounds the leaf in an ancestor; removing it updates that key. A node
// left with fewer than half its keys is merged with a sibling when their
// counts add up to less than K; otherwise entries move over from the sibling
// until both hold about half, the separating key in the parent follows, and
// the walk up stops. A root left with one child hands the root over.
#include <cstring>
#include <vector>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/tree_delete.h"
#include "xbase/index/mdx/mdx_tree.h"

namespace kv::xb::mdx {

XBSTATUS Tree::Redistribute(Siblings& p) {
  const Node& left = p.left;
  const Node& right = p.right;
  Node& parent = p.parent;
  const int li = p.li;
  const bool leaf = p.leaf;
  const bool leftIsShort = p.pageIsLeft;
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
  XBSTATUS s = Store(p.leftNo, newLeft);
  if (s == 0) s = Store(p.rightNo, newRight);
  if (s == 0) s = Store(p.parentNo, parent);
  return s;
}

XBSTATUS Tree::Rejoin(Siblings& p, bool* merged) {
  if (CountOf(p.left) + CountOf(p.right) >= t_.keysPerBlock) {
    return Redistribute(p);
  }
  *merged = true;
  return MergeIntoRight(p);
}

XBSTATUS Tree::Release(uint32_t block) {
  return FreeBlock(file_, block);
}

}  // namespace kv::xb::mdx
