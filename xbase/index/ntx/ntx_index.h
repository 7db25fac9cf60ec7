// The NTX index file: header layout, page items and the control block of an
// open index.
//
// The file is a sequence of 1024-byte pages addressed by byte offset; the
// first one is the header. A page starts with its item count n and a table of
// M + 1 item offsets; the items (child page offset, record number, key) lie
// wherever the table says, so that inserting or removing an item moves two
// bytes per slot instead of whole items. Every key is stored once in the
// tree: interior items carry record numbers too, and an in-order walk visits
// child i, then key i, ending with the child of item n.
#pragma once
#include "xbase/frame/endian.h"
#include "xbase/index/frame/index_block.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/frame/search_key.h"

namespace kv::xb::ntx {

inline constexpr uint32_t kPageSize = 1024;
// The part of the header the engine reads: everything up to the unique flag.
// A FOR expression (offset 282) and a tag name (538) that some writers add
// lie beyond it and are never looked at.
inline constexpr int kHeaderRead = 280;

inline constexpr int kOffSignature = 0;
inline constexpr int kOffVersion = 2;  // an update counter for some writers: never checked
inline constexpr int kOffRoot = 4;
inline constexpr int kOffFreeHead = 8;
inline constexpr int kOffItemSize = 12;
inline constexpr int kOffKeyLength = 14;
inline constexpr int kOffDecimals = 16;
inline constexpr int kOffMaxItems = 18;
inline constexpr int kOffHalfPage = 20;
inline constexpr int kOffExpression = 22;
inline constexpr int kExpressionArea = 256;
inline constexpr int kOffUnique = 278;

inline constexpr uint16_t kSignature = 6;
inline constexpr uint16_t kVersion = 1;
inline constexpr int kMaxKeyLength = 100;
inline constexpr int kMaxCharacterKey = 100;
inline constexpr int kMaxNumericKey = 19;
inline constexpr int kMaxDecimals = 15;
inline constexpr int kDateKeyLength = 8;

// Header check codes that the other families do not use.
inline constexpr XBSTATUS kBadHalfPage = -44;

using index::kFindExact;
using index::kFindWildcard;

// Items per page for a key length: (floor(1020 / (L + 10)) - 1), rounded
// down to even so that a split leaves exactly half a page on each side.
inline uint16_t MaxItemsFor(uint16_t keyLength) {
  const unsigned m = 1020u / (keyLength + 10u) - 1u;
  return static_cast<uint16_t>(m & ~1u);
}

// Where a new page puts item i: after the count and the M + 1 offsets.
inline uint16_t FreshItemOffset(uint16_t maxItems, uint16_t itemSize, int i) {
  return static_cast<uint16_t>(2 * maxItems + 4 + i * itemSize);
}

// One page, copied out of the cache so that several pages can be worked on
// at once whatever the cache evicts meanwhile.
struct Page {
  uint8_t bytes[kPageSize + index::PageCache::kSlack];
};

// An item as the tree code moves it between pages.
struct Item {
  uint32_t child = 0;
  uint32_t record = 0;
  uint8_t key[kMaxKeyLength] = {};
};

// The root is a page offset.
struct NtxIndex : index::SingleOrderBlock {
  NtxIndex() : SingleOrderBlock("CPGET", "CPPUT") {}

  uint8_t header[kHeaderRead] = {};
  char expression[kExpressionArea + 1] = {};
  uint32_t freeHead = 0;  // page offset, 0 = no free page
  uint16_t itemSize = 0;
  uint16_t decimals = 0;
  uint16_t maxItems = 0;
  uint16_t half = 0;

  const char* expressionText() const { return expression; }
  // Every key is text: L bytes and a NUL.
  static bool textKeys() { return true; }
  // No index holds more items than its pages can.
  uint64_t entryBound() const { return uint64_t{pages.endPage} * (maxItems + 1u) + 128u; }

  // Page fields. `Slot(p, i)` is the offset of item i within the page; the
  // loader has checked that every slot leaves room for a whole item.
  static int Count(const Page& p) { return GetLE16(p.bytes); }
  static void SetCount(Page& p, int n) { PutLE16(p.bytes, static_cast<uint16_t>(n)); }
  static uint16_t Slot(const Page& p, int i) { return GetLE16(p.bytes + 2 + 2 * i); }
  static void SetSlot(Page& p, int i, uint16_t offset) { PutLE16(p.bytes + 2 + 2 * i, offset); }
  static uint32_t Child(const Page& p, int i) { return GetLE32(p.bytes + Slot(p, i)); }
  static uint32_t Record(const Page& p, int i) { return GetLE32(p.bytes + Slot(p, i) + 4); }
  static const uint8_t* Key(const Page& p, int i) { return p.bytes + Slot(p, i) + 8; }
  static uint8_t* Key(Page& p, int i) { return p.bytes + Slot(p, i) + 8; }
  static void SetChild(Page& p, int i, uint32_t v) { PutLE32(p.bytes + Slot(p, i), v); }
  static void SetRecord(Page& p, int i, uint32_t v) { PutLE32(p.bytes + Slot(p, i) + 4, v); }
  // A leaf's items have no children; the first item (or the lone trailing
  // item of an empty page) tells.
  static bool IsLeaf(const Page& p) { return Child(p, 0) == 0; }

  void GetItem(const Page& p, int i, Item* out) const {
    out->child = Child(p, i);
    out->record = Record(p, i);
    std::memcpy(out->key, Key(p, i), keyLength);
  }
  void PutItem(Page& p, int i, const Item& in) const {
    SetChild(p, i, in.child);
    SetRecord(p, i, in.record);
    std::memcpy(Key(p, i), in.key, keyLength);
  }
};

// Selects an NTX handle (type 7), reopening it after a quick close.
inline NtxIndex* SelectIndex(XBHANDLE handle) {
  return index::SelectIndexFile<NtxIndex>(handle, SlotType::Ntx);
}

}  // namespace kv::xb::ntx
