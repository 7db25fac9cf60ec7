// The MDX multiple index: one file holding up to 47 B-trees (tags).
//
// The file is addressed in 512-byte units (block numbers). Units 0 to 3 hold
// the file header and the tag table of 48 slots of 32 bytes (slot 0 is never
// a tag; tags are slots 1..n in creation order). Every tag has a header
// block and a tree of node blocks of B units each. A node holds its key
// count in the low 16 bits of its first word and entries of E bytes from
// offset 8: a 4-byte pointer (record number in a leaf, child block in an
// interior node) and the key. The pointer after the last key is 0 in a leaf
// and the rightmost child in an interior node; the key of an interior entry
// is the greatest key of the subtree under its child.
#pragma once
#include <memory>

#include "xbase/frame/endian.h"
#include "xbase/index/frame/index_block.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/frame/search_key.h"

namespace kv::xb::mdx {

inline constexpr uint32_t kUnit = 512;
inline constexpr uint32_t kFirstTreeBlock = 4;
inline constexpr int kSlots = 48;  // slot 0 and the 47 tags
inline constexpr int kMaxTags = 47;
inline constexpr int kSlotBytes = 32;
inline constexpr int kTableBytes = 3 * kUnit;
inline constexpr int kMaxTagName = 10;
inline constexpr int kMaxKeyLength = 100;
inline constexpr int kMaxExpression = 221;
inline constexpr int kNumericKeyLength = 12;
inline constexpr int kDateKeyLength = 8;
inline constexpr uint16_t kMaxUnits = 32;

// File header.
inline constexpr int kOffVersion = 0;
inline constexpr int kOffCreated = 1;
inline constexpr int kOffBaseName = 4;
inline constexpr int kBaseNameBytes = 16;
inline constexpr int kOffUnits = 20;
inline constexpr int kOffBlockBytes = 22;
inline constexpr int kOffProduction = 24;
inline constexpr int kOffMaxSlots = 25;
inline constexpr int kOffSlotLength = 26;
inline constexpr int kOffTagCount = 28;
inline constexpr int kOffNextBlock = 32;
inline constexpr int kOffFreeHead = 36;
inline constexpr int kOffFreeCount = 40;
inline constexpr int kOffUpdated = 44;

// Tag table slot.
inline constexpr int kSlotHeaderBlock = 0;
inline constexpr int kSlotName = 4;
inline constexpr int kSlotNameBytes = 11;
inline constexpr int kSlotNext = 17;
inline constexpr int kSlotPrevious = 18;
inline constexpr int kSlotMarker = 19;
inline constexpr int kSlotKeyType = 20;

// Tag header.
inline constexpr int kTagRoot = 0;
inline constexpr int kTagFlags = 8;
inline constexpr int kTagKeyType = 9;
inline constexpr int kTagKeyLength = 12;
inline constexpr int kTagKeysPerBlock = 14;
inline constexpr int kTagDateMark = 16;
inline constexpr int kTagEntrySize = 18;
inline constexpr int kTagExpression = 24;
inline constexpr int kTagHeaderCopy = kTagExpression + kMaxExpression + 1;

inline constexpr uint8_t kFlagUnique = 0x40;
inline constexpr uint8_t kFlagDescending = 0x08;
inline constexpr uint8_t kFlagPlainExpression = 0x10;
inline constexpr uint8_t kFlagsRefused = 0xA7;

// Type letter bits of XBDMTNEW.
inline constexpr uint16_t kNewUnique = 0x80;
inline constexpr uint16_t kNewDescending = 0x100;

// Codes of this family.
inline constexpr XBSTATUS kBadSlot = -48;
inline constexpr XBSTATUS kBadUnits = -49;
inline constexpr XBSTATUS kBadTagName = -50;
inline constexpr XBSTATUS kBadBlockBytes = -51;
inline constexpr XBSTATUS kBadMaxSlots = -52;
inline constexpr XBSTATUS kBadSlotLength = -53;
inline constexpr XBSTATUS kBadTagCount = -54;
inline constexpr XBSTATUS kBadKeyFlags = -55;
inline constexpr XBSTATUS kTagBusy = -57;
inline constexpr XBSTATUS kNoFreeSlot = -8;
inline constexpr XBSTATUS kBadDate = -20;

using index::kFindExact;
using index::kFindWildcard;

// Entry size of a new tag: L rounded up to a multiple of 4, plus 4.
inline uint16_t EntrySizeFor(uint16_t keyLength) {
  return static_cast<uint16_t>(((keyLength + 3u) & ~3u) + 4u);
}

// A node copied out of the cache, so that several can be worked on at once.
struct Node {
  uint8_t bytes[kMaxUnits * kUnit + index::PageCache::kSlack];
};

// The tree state of a tag in use: what an open NDX file holds.
struct TagTree {
  TagTree() : cache("MPGET", "MPPUT") {}
  uint8_t header[kTagHeaderCopy] = {};
  uint32_t root = 0;
  uint8_t flags = 0;
  char keyType = 'C';
  uint16_t keyLength = 0;
  uint16_t keysPerBlock = 0;
  uint16_t entrySize = 0;
  uint16_t half = 0;
  MemoryBlock entryOffsets;  // uint16 offset of entry i, i = 0..K
  index::PathStack path;
  index::PageCache cache;
  index::CurrentKey current;

  const char* expression() const { return reinterpret_cast<const char*>(header + kTagExpression); }
  bool unique() const { return (flags & kFlagUnique) != 0; }
  bool descending() const { return (flags & kFlagDescending) != 0; }
};

// One slot of the tag table as the control block keeps it.
struct TagEntry {
  uint32_t headerBlock = 0;
  char name[kSlotNameBytes + 1] = {};
  uint8_t next = 0;
  uint8_t previous = 0;
  char keyType = 0;
  bool inUse = false;        // loaded by XBDMTUSE / XBDMTUSEX
  bool headerDirty = false;  // the root must be written at tag close
  std::unique_ptr<TagTree> tree;
};

// The pages' endPage is the next unused block.
struct MdxFile : index::IndexFileBlock {
  uint8_t header[kUnit] = {};
  uint8_t table[kTableBytes] = {};
  uint16_t units = 1;  // B
  uint32_t blockBytes = kUnit;
  uint16_t tagCount = 0;
  TagEntry tags[kSlots];

  uint32_t nextBlock() const { return pages.endPage; }
};

// Selects an MDX file handle (type 5), reopening it after a quick close.
inline MdxFile* SelectFile(XBHANDLE handle) {
  return index::SelectIndexFile<MdxFile>(handle, SlotType::Mdx);
}

// Selects the tag of a 32-bit tag handle (file handle low, slot high): the
// slot must hold a tag in use, else -48.
struct TagRef {
  MdxFile* file = nullptr;
  int slot = 0;
  TagEntry* entry = nullptr;
  TagTree* tree = nullptr;
};
bool SelectTag(uint32_t tagHandle, TagRef* out, const char* module);

// Closes the file and all its tags, frees the handle (XBDMCLOSE, XBDTERM).
XBSTATUS CloseFile(XBHANDLE handle);

// Releases a tag's buffers, writing its root when marked.
XBSTATUS CloseTag(MdxFile& file, int slot);

// Rereads next unused block, free-list head and the tag count's friends from
// the file header (start of every operation).
XBSTATUS RereadFileHeader(MdxFile& file);

// Writes the tag table and the tag count.
XBSTATUS WriteTable(MdxFile& file);

// Copies slot `slot` of the table bytes into its control entry, and back.
void LoadSlot(MdxFile& file, int slot);
void StoreSlot(MdxFile& file, int slot);

}  // namespace kv::xb::mdx
