// Search and the walks from entry to entry of the IDX tree.
#include "xbase/index/idx/idx_tree.h"

#include <cstring>

#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/index/frame/key_compare.h"
#include "xbase/index/frame/navigator.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/frame/tree_walks_body.h"
#include "xbase/index/idx/idx_node.h"

namespace kv::xb::idx {
namespace {
constexpr const char* kModule = "IPGET";
}  // namespace

void MakeSearchKey(const IdxIndex& ix, const void* key, uint16_t flags, uint32_t record,
                   SearchKey* out) {
  out->wildcard =
      index::FillSearchKey(key, ix.keyLength, ix.textKeys(), ix.pad, flags, record, out);
}

bool Tree::ValidOffset(uint32_t offset) const {
  return offset % kNodeSize == 0 && offset >= kNodeSize && offset < ix_.endBound;
}

XBSTATUS Tree::Begin() {
  uint32_t words[3] = {};
  XBSTATUS s = index::ReadHeaderWords(ix_.fileNo, kOffRoot, words, 3);
  if (s != 0) return s == XB_E_READ ? XB_FAIL(XB_E_READ) : s;
  ix_.root = words[0];
  ix_.freeHead = words[1];
  if (ix_.compact) {
    // The compact header keeps no end offset: the file's size bounds nodes.
    uint64_t length = 0;
    if ((s = os::Length(ix_.fileNo, &length)) != 0) return s;
    if (length > 0xFFFFFE00u) length = 0xFFFFFE00u;
    ix_.endBound = static_cast<uint32_t>(length / kNodeSize * kNodeSize);
  } else {
    ix_.endBound = words[2] / kNodeSize * kNodeSize;
  }
  ix_.pages.fileNo = ix_.fileNo;
  ix_.pages.endPage = ix_.endBound / kNodeSize;
  return 0;
}

XBSTATUS Tree::Load(uint32_t offset, Node* node) {
  uint8_t* data = nullptr;
  const XBSTATUS s = ix_.cache.ReadAt(ix_.pages, offset, &data);
  if (s != 0) return s;
  if (!DecodeNode(ix_, data, node)) return Corrupt();
  return 0;
}

XBSTATUS Tree::Store(uint32_t offset, const Node& node) {
  uint8_t* data = nullptr;
  const XBSTATUS s = ix_.cache.FreshAt(ix_.pages, offset, &data);
  if (s != 0) return s;
  EncodeNode(ix_, node, data);
  return ix_.cache.WriteAt(ix_.pages, offset);
}

int Tree::CompareKey(const SearchKey& key, const uint8_t* entryKey) const {
  int c = 0;
  if (key.wildcard) {
    c = index::CompareKeys(key.bytes, entryKey, index::kCompareWildcard, key.length);
  } else {
    c = key.length == 0 ? 0 : std::memcmp(key.bytes, entryKey, key.length);
  }
  c = c < 0 ? -1 : (c > 0 ? 1 : 0);
  return ix_.descending ? -c : c;
}

int Tree::CompareEntry(const SearchKey& key, const Node& node, int i, bool withRecord) const {
  const int c = CompareKey(key, node.keys + i * ix_.keyLength);
  if (c != 0 || !key.exact || !withRecord) return c;
  const uint32_t r = node.records[i];
  return key.record < r ? -1 : (key.record > r ? 1 : 0);
}

// Leaves the path on the leaf that holds the first entry not below `key`,
// its index in the leaf (the leaf's count when `key` is above every entry),
// and that leaf in work node 0.
XBSTATUS Tree::Descend(const SearchKey& key, bool* empty) {
  auto& path = ix_.path;
  Node& node = Work(0);
  *empty = false;
  int level = 0;
  path[0] = {ix_.root, 0};
  path.set_depth(0);
  XBSTATUS s = Load(ix_.root, &node);
  if (s != 0) return s;
  if (node.count == 0) {
    if (!node.leaf()) return Corrupt();
    *empty = true;
    return 0;
  }
  // Interior entries of the standard form carry no record number: equal keys
  // may go on in the following leaves, which the scan below steps into.
  const bool interiorRecords = ix_.compact;
  uint32_t stepsLeft = ix_.pages.endPage + 2;
  for (;;) {
    if (!node.leaf()) {
      int i = 0;
      while (i < node.count - 1 && CompareEntry(key, node, i, interiorRecords) > 0) ++i;
      path[level].index = i;
      if (!path.CanDescend(level)) return Corrupt();
      const uint32_t child = node.children[i];
      ++level;
      path[level] = {child, 0};
      path.set_depth(level);
      if ((s = Load(child, &node)) != 0) return s;
      if (node.count == 0) return Corrupt();
      continue;
    }
    int i = 0;
    while (i < node.count && CompareEntry(key, node, i, true) > 0) ++i;
    path[level].index = i;
    path.set_depth(level);
    if (i < node.count) return 0;
    bool found = false;
    if ((s = NextLeaf(&found)) != 0) return s;
    if (!found) {
      path[level].index = i;
      path.set_depth(level);
      return Load(path[level].page, &node);
    }
    if (stepsLeft-- == 0) return Corrupt();
    level = path.depth();
    // NextLeaf left the new leaf in work node 0.
  }
}

// Moves the path to entry 0 of the leaf after the one at its depth; the path
// is unchanged when there is none.
XBSTATUS Tree::NextLeaf(bool* found) {
  auto& path = ix_.path;
  Node& node = Work(0);
  *found = false;
  const int depth = path.depth();
  int level = depth - 1;
  XBSTATUS s = 0;
  for (; level >= 0; --level) {
    if ((s = Load(path[level].page, &node)) != 0) return s;
    if (path[level].index + 1 < node.count) break;
  }
  if (level < 0) return 0;
  // Keep the old indexes so that a failed step leaves the path as it was.
  ++path[level].index;
  while (!node.leaf()) {
    if (!path.CanDescend(level)) return Corrupt();
    const uint32_t child = node.children[path[level].index];
    ++level;
    path[level] = {child, 0};
    if ((s = Load(child, &node)) != 0) return s;
    if (node.count == 0) return Corrupt();
  }
  path.set_depth(level);
  *found = true;
  return 0;
}

// The decoded IDX node as the shared navigator reads it: every entry of an
// interior node leads to one child.
class IdxLayout {
 public:
  IdxLayout(Tree& tree, const IdxIndex& ix, Node& node) : tree_(tree), ix_(ix), node_(node) {}
  XBSTATUS Load(uint32_t offset) { return tree_.Load(offset, &node_); }
  bool Leaf() const { return node_.leaf(); }
  int LastIndex() const { return node_.count - 1; }
  int EntryCount() const { return node_.count; }
  uint32_t Child(int i) const { return node_.children[i]; }
  const uint8_t* Key(int i) const { return node_.keys + i * ix_.keyLength; }
  uint32_t Record(int i) const { return node_.records[i]; }
  uint64_t PageBound() const { return ix_.pages.endPage; }
  XBSTATUS Corrupt() { return tree_.Corrupt(); }

 private:
  Tree& tree_;
  const IdxIndex& ix_;
  Node& node_;
};

IdxLayout Tree::MakeLayout() {
  return IdxLayout(*this, ix_, Work(1));
}

XBSTATUS Tree::Land(const SearchKey& key, XBSTATUS* code) {
  bool empty = false;
  const XBSTATUS s = Descend(key, &empty);
  if (s != 0) return s;
  const Node& leaf = Work(0);
  const int i = ix_.path[ix_.path.depth()].index;
  if (empty) {
    *code = index::kIndexEmpty;
  } else {
    const bool same = i < leaf.count && CompareEntry(key, leaf, i, true) == 0;
    *code = same ? index::kKeyFound : index::kKeyNotFound;
  }
  return 0;
}

XBSTATUS Tree::Search(const SearchKey& key, XBSTATUS* code) {
  XBSTATUS s = Land(key, code);
  if (s != 0 || *code != index::kKeyNotFound) return s;
  auto& path = ix_.path;
  const int level = path.depth();
  const int i = path[level].index;
  if (i == Work(0).count || i > 0) {
    // Above every key (the last entry), or after the entry before `i`.
    path[level].index = i - 1;
    return 0;
  }
  XBSTATUS edge = 0;
  if ((s = Previous(&edge)) != 0) return s;
  *code = edge == index::kPastEdge ? index::kPastEdge : index::kKeyNotFound;
  return 0;
}

}  // namespace kv::xb::idx

template class kv::xb::index::TreeWalks<kv::xb::idx::Tree, kv::xb::idx::IdxLayout>;
