#include "xbase/build/idx_build_pages.h"

#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/idx/idx_node.h"

namespace kv::xb::bulk {
namespace {
constexpr const char* kModule = "Iindex";

// Descriptor widths for a compact leaf whose greatest record number is
// `highest`, starting from `f`: the widening the insert code applies (every
// width kept, the record-number field grown as needed).
idx::LeafFormat Widened(const idx::IdxIndex& ix, idx::LeafFormat f, uint32_t highest) {
  const int countBits = idx::BitsFor(ix.keyLength);
  const int needed = idx::BitsFor(highest);
  if (f.recordBits >= needed && f.dupBits >= countBits && f.trailBits >= countBits) return f;
  idx::LeafFormat w;
  w.dupBits = static_cast<uint8_t>(f.dupBits > countBits ? f.dupBits : countBits);
  w.trailBits = static_cast<uint8_t>(f.trailBits > countBits ? f.trailBits : countBits);
  const int recordBits = f.recordBits > needed ? f.recordBits : needed;
  const int total = recordBits + w.dupBits + w.trailBits;
  w.bytes = static_cast<uint8_t>((total + 7) / 8);
  const int spare = 8 * w.bytes - w.dupBits - w.trailBits;
  w.recordBits = static_cast<uint8_t>(spare > 32 ? 32 : spare);
  return w;
}

// Key bytes a compact leaf stores for `key` after `previous` (null for the
// first entry): the key less its shared prefix and its trailing pads.
uint32_t StoredBytes(const idx::IdxIndex& ix, const uint8_t* previous, const uint8_t* key) {
  const int L = ix.keyLength;
  int d = 0;
  if (previous != nullptr) {
    while (d < L && previous[d] == key[d]) ++d;
  }
  int t = 0;
  while (t < L && key[L - 1 - t] == ix.pad) ++t;
  if (t > L - d) t = L - d;
  return static_cast<uint32_t>(L - d - t);
}

}  // namespace

IdxPageWriter::IdxPageWriter(idx::IdxIndex& ix) : ix_(ix), end_(ix.firstNode()) {
  // Levels are few (at least 4 entries per node): room for them all up front
  // keeps references to levels valid while a split climbs.
  levels_.reserve(40);
}

uint32_t IdxPageWriter::Allocate() {
  const uint32_t at = end_;
  end_ += idx::kNodeSize;
  return at;
}

void IdxPageWriter::Start(Level& lv, bool leaf, uint32_t left, uint32_t offset) {
  if (!lv.node) lv.node = std::make_unique<idx::Node>();
  idx::Node& n = *lv.node;
  n.attributes = leaf ? idx::kAttrLeaf : 0;
  n.count = 0;
  n.left = left;
  n.right = idx::kNone;
  n.format = ix_.newLeaf;
  lv.offset = offset;
  lv.left = left;
  lv.used = 0;
  lv.highest = 0;
}

bool IdxPageWriter::Fits(Level& lv, bool leaf, const uint8_t* key, uint32_t record,
                         idx::LeafFormat* format, uint32_t* used) const {
  const idx::Node& n = *lv.node;
  if (!(ix_.compact && leaf)) return n.count < ix_.keysPerNode;
  if (n.count >= idx::Node::kMaxEntries - 1) return false;
  const uint32_t highest = record > lv.highest ? record : lv.highest;
  const idx::LeafFormat f = Widened(ix_, n.format, highest);
  const uint8_t* previous = n.count == 0 ? nullptr : n.keys + (n.count - 1) * ix_.keyLength;
  // A wider descriptor costs its extra bytes for every entry already held.
  const uint32_t total = lv.used + static_cast<uint32_t>(n.count) * (f.bytes - n.format.bytes) +
                         f.bytes + StoredBytes(ix_, previous, key);
  if (total > idx::kLeafSpace) return false;
  *format = f;
  *used = total;
  return true;
}

XBSTATUS IdxPageWriter::Write(Level& lv, uint32_t right) {
  idx::Node& n = *lv.node;
  n.right = right;
  n.left = lv.left;
  idx::EncodeNode(ix_, n, bytes_);
  XBSTATUS s = os::Seek(ix_.fileNo, lv.offset);
  if (s != 0) return s;
  return os::Write(ix_.fileNo, bytes_, idx::kNodeSize, ix_.pages.flush);
}

XBSTATUS IdxPageWriter::Append(size_t level, const uint8_t* key, uint32_t record, uint32_t child) {
  const bool leaf = level == 0;
  if (level == levels_.size()) {
    if (level >= levels_.capacity()) return XB_FAIL(XB_E_FORMAT);
    levels_.emplace_back();
    Start(levels_.back(), leaf, idx::kNone, Allocate());
  }
  Level& lv = levels_[level];
  idx::LeafFormat format = lv.node->format;
  uint32_t used = 0;
  if (lv.node->count > 0 && !Fits(lv, leaf, key, record, &format, &used)) {
    // The node is full: it is written with its successor as right sibling,
    // and its last entry bounds it in the level above.
    const uint32_t full = lv.offset;
    const uint32_t next = Allocate();
    idx::Node& n = *lv.node;
    n.attributes = leaf ? idx::kAttrLeaf : 0;
    XBSTATUS s = Write(lv, next);
    if (s != 0) return s;
    uint8_t bound[idx::kMaxKeyLength];
    std::memcpy(bound, n.keys + (n.count - 1) * ix_.keyLength, ix_.keyLength);
    const uint32_t boundRecord = n.records[n.count - 1];
    Start(lv, leaf, full, next);
    if ((s = Append(level + 1, bound, boundRecord, full)) != 0) return s;
    if (!Fits(levels_[level], leaf, key, record, &format, &used)) return XB_FAIL(XB_E_FORMAT);
  } else if (lv.node->count == 0 && !Fits(lv, leaf, key, record, &format, &used)) {
    return XB_FAIL(XB_E_FORMAT);
  }
  Level& cur = levels_[level];
  idx::Node& n = *cur.node;
  const int L = ix_.keyLength;
  std::memcpy(n.keys + n.count * L, key, static_cast<size_t>(L));
  n.records[n.count] = leaf || ix_.compact ? record : 0;
  n.children[n.count] = leaf ? 0 : child;
  ++n.count;
  n.format = format;
  cur.used = used;
  if (record > cur.highest) cur.highest = record;
  return 0;
}

XBSTATUS IdxPageWriter::Add(const uint8_t* key, uint32_t record) {
  return Append(0, key, record, 0);
}

XBSTATUS IdxPageWriter::Finish() {
  if (levels_.empty()) return 0;
  XBSTATUS s = 0;
  // The level above may gain a node while a lower level's last node is
  // passed up, so the count of levels is read on every turn.
  for (size_t level = 0; level < levels_.size(); ++level) {
    Level& lv = levels_[level];
    idx::Node& n = *lv.node;
    const bool leaf = level == 0;
    n.attributes = leaf ? idx::kAttrLeaf : 0;
    if (level + 1 == levels_.size()) {
      n.attributes |= idx::kAttrRoot;
      if ((s = Write(lv, idx::kNone)) != 0) return s;
      break;
    }
    if ((s = Write(lv, idx::kNone)) != 0) return s;
    uint8_t bound[idx::kMaxKeyLength];
    std::memcpy(bound, n.keys + (n.count - 1) * ix_.keyLength, ix_.keyLength);
    if ((s = Append(level + 1, bound, n.records[n.count - 1], lv.offset)) != 0) return s;
  }
  const uint32_t root = levels_.back().offset;
  if ((s = os::SetLength(ix_.fileNo, end_)) != 0) return s;
  if ((s = index::WriteHeaderWord(ix_.fileNo, idx::kOffRoot, root, ix_.pages.flush)) != 0) {
    return s;
  }
  // The compact header keeps no end offset: the file's size bounds nodes.
  if (!ix_.compact) {
    s = index::WriteHeaderWord(ix_.fileNo, idx::kOffEndOfFile, end_, ix_.pages.flush);
  }
  return s;
}

}  // namespace kv::xb::bulk
