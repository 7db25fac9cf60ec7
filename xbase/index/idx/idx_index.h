// The FoxPro IDX index file in its two forms, and the control block of an
// open index.
//
// Standard form: a 512-byte header, then 512-byte nodes of fixed entries
// (key, 4-byte big-endian pointer). Compact form: a 1024-byte header, interior
// nodes of (key, record, child) entries and leaves whose keys are compressed
// against the previous key (duplicate and trailing counts) with bit-packed
// descriptors. Nodes are addressed by byte offset; the header's words and the
// node header fields are little-endian, the pointers in entries big-endian.
// An interior entry's key is the greatest key under its child; there is one
// entry per child.
#pragma once
#include <memory>

#include "xbase/index/frame/index_block.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/frame/search_key.h"

namespace kv::xb::idx {

inline constexpr uint32_t kNodeSize = 512;
inline constexpr uint32_t kNone = 0xFFFFFFFFu;  // no sibling, empty free list

// File header.
inline constexpr int kOffRoot = 0;
inline constexpr int kOffFreeHead = 4;
inline constexpr int kOffEndOfFile = 8;
inline constexpr int kOffKeyLength = 12;
inline constexpr int kOffOptions = 14;
inline constexpr int kOffExpression = 16;
inline constexpr int kOffOrder = 502;
inline constexpr int kOffTotalExpression = 504;
inline constexpr int kOffForLength = 506;
inline constexpr int kOffKeyExpressionLength = 510;
inline constexpr int kCompactExpressionArea = 512;
inline constexpr uint32_t kStandardHeader = 512;
inline constexpr uint32_t kCompactHeader = 1024;

inline constexpr uint8_t kOptionUnique = 0x01;
inline constexpr uint8_t kOptionCompact = 0x20;
inline constexpr uint8_t kOptionsAnyCompact = 0x20 | 0x40 | 0x80;

inline constexpr int kMaxKeyLength = 100;
inline constexpr int kMaxExpression = 220;

// Node header.
inline constexpr int kOffAttributes = 0;
inline constexpr int kOffCount = 2;
inline constexpr int kOffLeft = 4;
inline constexpr int kOffRight = 8;
inline constexpr int kOffEntries = 12;
inline constexpr uint16_t kAttrRoot = 1;
inline constexpr uint16_t kAttrLeaf = 2;
inline constexpr uint32_t kEntryArea = 500;  // bytes of fixed entries per node

// Compact leaf header and its key area.
inline constexpr int kOffFreeBytes = 12;
inline constexpr int kOffRecordMask = 14;
inline constexpr int kOffDupMask = 18;
inline constexpr int kOffTrailMask = 19;
inline constexpr int kOffRecordBits = 20;
inline constexpr int kOffDupBits = 21;
inline constexpr int kOffTrailBits = 22;
inline constexpr int kOffDescriptorBytes = 23;
inline constexpr int kOffDescriptors = 24;
inline constexpr uint32_t kLeafSpace = kNodeSize - kOffDescriptors;  // 488

using index::kFindExact;
using index::kFindWildcard;

// Bit fields of the descriptors of a compact leaf.
struct LeafFormat {
  uint8_t recordBits = 0;
  uint8_t dupBits = 0;
  uint8_t trailBits = 0;
  uint8_t bytes = 0;  // B: bytes per descriptor
  uint32_t recordMask() const { return recordBits >= 32 ? 0xFFFFFFFFu : (1u << recordBits) - 1; }
  uint32_t dupMask() const { return (1u << dupBits) - 1; }
  uint32_t trailMask() const { return (1u << trailBits) - 1; }
};

// Widths of a new compact leaf for key length L: b bits (enough to write L)
// for each count; B = 2, 3 or 4 bytes; the rest for the record number.
LeafFormat LeafFormatFor(uint16_t keyLength);

// One node decoded: keys of L bytes, record numbers (leaves; compact
// interior entries), child offsets (interior entries).
struct Node {
  // The most entries a node can hold while being worked on: a compact leaf
  // with one-byte descriptors and fully shared keys, plus one being added.
  static constexpr int kMaxEntries = static_cast<int>(kLeafSpace) + 2;

  uint16_t attributes = 0;
  int count = 0;
  uint32_t left = kNone;
  uint32_t right = kNone;
  LeafFormat format;  // compact leaves only
  uint8_t keys[kMaxEntries * kMaxKeyLength];
  uint32_t records[kMaxEntries];
  uint32_t children[kMaxEntries];

  bool leaf() const { return (attributes & kAttrLeaf) != 0; }
  bool root() const { return (attributes & kAttrRoot) != 0; }
};

struct IdxIndex : index::SingleOrderBlock {
  IdxIndex() : SingleOrderBlock("IPGET", "IPPUT") {}

  char expression[kMaxExpression + 1] = {};
  bool compact = false;
  bool descending = false;
  uint8_t options = 0;
  uint16_t entrySize = 0;    // fixed entries: L + 4 (standard), L + 8 (compact interior)
  uint16_t keysPerNode = 0;  // floor(500 / entry size)
  uint32_t freeHead = kNone;
  uint32_t endBound = 0;  // node offsets lie below it
  uint8_t pad = ' ';
  char typeLetter = '?';
  LeafFormat newLeaf;  // widths of leaves made from nothing
  // Nodes being worked on in one operation (the decoded form is large).
  std::unique_ptr<Node> work[4];

  const char* expressionText() const { return expression; }
  // Keys the caller gives as NUL-terminated texts (character or undeclared).
  bool textKeys() const { return typeLetter == 'C' || typeLetter == '?'; }
  // No index holds more entries than its nodes can, compact leaves the most.
  uint64_t entryBound() const { return uint64_t{pages.endPage} * (Node::kMaxEntries + 1u) + 64u; }
  uint32_t firstNode() const { return compact ? kCompactHeader : kStandardHeader; }
};

// Selects an IDX handle (type 6), reopening it after a quick close.
inline IdxIndex* SelectIndex(XBHANDLE handle) {
  return index::SelectIndexFile<IdxIndex>(handle, SlotType::Idx);
}

}  // namespace kv::xb::idx
