// Adding an entry: the leaf position comes from a search; a full page is
// split in two, the lower half going to a new page on the left, and the new
// page's greatest key goes up to the parent; a split root gets a new root.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/ndx/ndx_tree.h"

namespace kv::xb::ndx {
void Tree::InsertInto(Page& page, int at, const Item& item) const {
  const int count = NdxIndex::Count(page);
  // Entries at..count-1 and the trailing child field move up one entry.
  const uint16_t from = ix_.Offset(at);
  const size_t bytes = ix_.Offset(count) + 4u - from;
  std::memmove(page.bytes + from + ix_.entrySize, page.bytes + from, bytes);
  ix_.SetChild(page, at, item.left);
  ix_.SetRecord(page, at, item.record);
  std::memcpy(ix_.Key(page, at), item.key, ix_.keyLength);
  ix_.SetChild(page, at + 1, item.right);
  NdxIndex::SetCount(page, count + 1);
}

XBSTATUS Tree::Split(Page& page, uint32_t pageNo, int at, Item* item) {
  const int K = ix_.keysPerPage;
  const bool leaf = ix_.IsLeaf(page);
  const uint16_t E = ix_.entrySize;
  // The K + 1 entries in key order, with the trailing child, in one wide
  // page: K * E is at most 508 bytes, so two more entries always fit.
  uint8_t wide[4 + (kPageSize + 2 * (kMaxKeyLength + 8))] = {};
  std::memcpy(wide, page.bytes, ix_.Offset(K) + 4u);
  auto off = [E](int i) { return 4u + static_cast<unsigned>(i) * E; };
  std::memmove(wide + off(at + 1), wide + off(at), off(K) + 4u - off(at));
  PutLE32(wide + off(at), item->left);
  PutLE32(wide + off(at) + 4, item->record);
  std::memcpy(wide + off(at) + 8, item->key, ix_.keyLength);
  PutLE32(wide + off(at + 1), item->right);

  const int n = K + 1;
  const int stay = n / 2;
  const int moved = n - stay;  // to the new page on the left

  Page left{};
  std::memcpy(left.bytes + 4, wide + 4, off(moved) - 4u);
  uint8_t separator[kMaxKeyLength + 8];
  std::memcpy(separator, wide + off(moved - 1) + 8, ix_.keyLength);
  if (leaf) {
    NdxIndex::SetCount(left, moved);
  } else {
    // The last entry keeps only its child: it becomes the trailing child.
    std::memset(left.bytes + off(moved - 1) + 4, 0, E - 4u);
    NdxIndex::SetCount(left, moved - 1);
  }

  Page right{};
  std::memcpy(right.bytes + 4, wide + off(moved), off(n) + 4u - off(moved));
  NdxIndex::SetCount(right, stay);

  uint32_t leftNo = 0;
  uint8_t* fresh = nullptr;
  XBSTATUS s = AllocatePage(ix_.cache, ix_.pages, ix_.freePages, kOffEndPage, &leftNo, &fresh);
  if (s != 0) return s;
  if ((s = Store(leftNo, left)) != 0) return s;
  if ((s = Store(pageNo, right)) != 0) return s;
  page = right;
  std::memcpy(item->key, separator, ix_.keyLength);
  item->record = 0;
  item->left = leftNo;
  item->right = pageNo;
  return 0;
}

XBSTATUS Tree::SetRoot(uint32_t root) {
  ix_.root = root;
  PutLE32(ix_.header + kOffRoot, root);
  return index::WriteHeaderWord(ix_.fileNo, kOffRoot, root, ix_.writeMode != 0);
}

XBSTATUS Tree::NewRoot(const Item& item) {
  uint32_t rootNo = 0;
  uint8_t* fresh = nullptr;
  XBSTATUS s = AllocatePage(ix_.cache, ix_.pages, ix_.freePages, kOffEndPage, &rootNo, &fresh);
  if (s != 0) return s;
  Page root{};
  ix_.SetChild(root, 0, item.left);
  ix_.SetRecord(root, 0, 0);
  std::memcpy(ix_.Key(root, 0), item.key, ix_.keyLength);
  ix_.SetChild(root, 1, item.right);
  NdxIndex::SetCount(root, 1);
  if ((s = Store(rootNo, root)) != 0) return s;
  return SetRoot(rootNo);
}

XBSTATUS Tree::Insert(const SearchKey& entry) {
  auto& path = ix_.path;
  XBSTATUS s = index::PositionForInsert(*this, path, entry);
  if (s != 0) return s;
  Item item{};
  std::memcpy(item.key, entry.bytes, ix_.keyLength);
  item.record = entry.record;
  bool pending = true;
  for (int level = path.depth(); pending && level >= 0; --level) {
    Page page;
    if ((s = Load(path[level].page, &page)) != 0) return s;
    const int count = NdxIndex::Count(page);
    const int at = path[level].index;
    if (at < 0 || at > count) return Corrupt();
    if (level == path.depth() && !ix_.IsLeaf(page) && count > 0) return Corrupt();
    if (count < ix_.keysPerPage) {
      InsertInto(page, at, item);
      if ((s = Store(path[level].page, page)) != 0) return s;
      pending = false;
    } else if ((s = Split(page, path[level].page, at, &item)) != 0) {
      return s;
    }
  }
  if (pending) return NewRoot(item);
  return 0;
}

}  // namespace kv::xb::ndx
