// The NDX index file: header layout, page entries and the control block of
// an open index.
//
// Page 0 is the header; every other page holds a count (low byte of the
// first four bytes) and entries of E bytes from offset 4: child page, record
// number, key. A leaf's first child field is 0. An interior page with n keys
// has n + 1 children, the last one in the child field of entry n; the key of
// an interior entry is the greatest key of the subtree under its child.
#pragma once
#include "xbase/frame/endian.h"
#include "xbase/index/frame/free_pages.h"
#include "xbase/index/frame/index_block.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/frame/search_key.h"

namespace kv::xb::ndx {

inline constexpr uint32_t kPageSize = 512;
inline constexpr int kHeaderCopy = 248;

inline constexpr int kOffRoot = 0;
inline constexpr int kOffEndPage = 4;
inline constexpr int kOffKeyLength = 12;
inline constexpr int kOffKeysPerPage = 14;
inline constexpr int kOffKeyType = 16;
inline constexpr int kOffEntrySize = 18;
inline constexpr int kOffUnique = 23;
inline constexpr int kOffExpression = 24;
inline constexpr int kMaxExpression = 221;
inline constexpr int kMaxKeyLength = 100;

inline constexpr uint16_t kTypeCharacter = 0;
inline constexpr uint16_t kTypeNumeric = 1;

using index::kFindExact;
using index::kFindWildcard;

// Entry size for a key length, as a new file gets it.
inline uint16_t EntrySizeFor(uint16_t keyLength) {
  return static_cast<uint16_t>(((keyLength + 3u) & ~3u) + 8u);
}

// A page copied out of the cache, so that several pages can be worked on at
// once whatever the cache evicts meanwhile.
struct Page {
  uint8_t bytes[kPageSize + index::PageCache::kSlack];
};

struct NdxIndex : index::SingleOrderBlock {
  NdxIndex() : SingleOrderBlock("NPGET", "NPPUT") {}

  index::FreePageList freePages;
  uint8_t header[kHeaderCopy] = {};
  uint16_t writeMode = 1;
  uint16_t keysPerPage = 0;
  uint16_t keyType = 0;
  uint16_t entrySize = 0;
  uint16_t half = 0;
  uint16_t rest = 0;         // keysPerPage - half
  MemoryBlock entryOffsets;  // uint16 offset of entry i, i = 0..K
  bool headerDirty = false;

  const char* expressionText() const {
    return reinterpret_cast<const char*>(header + kOffExpression);
  }
  // L bytes and a NUL for character keys, the 8 bytes of the double for
  // numeric ones.
  bool textKeys() const { return keyType == kTypeCharacter; }
  // No index holds more entries than its pages can.
  uint64_t entryBound() const { return uint64_t{pages.endPage} * (keysPerPage + 1u) + 64u; }

  // Entry fields of a page.
  uint16_t Offset(int i) const { return entryOffsets.as<uint16_t>()[i]; }
  uint32_t Child(const Page& p, int i) const { return GetLE32(p.bytes + Offset(i)); }
  uint32_t Record(const Page& p, int i) const { return GetLE32(p.bytes + Offset(i) + 4); }
  const uint8_t* Key(const Page& p, int i) const { return p.bytes + Offset(i) + 8; }
  uint8_t* Key(Page& p, int i) const { return p.bytes + Offset(i) + 8; }
  void SetChild(Page& p, int i, uint32_t v) const { PutLE32(p.bytes + Offset(i), v); }
  void SetRecord(Page& p, int i, uint32_t v) const { PutLE32(p.bytes + Offset(i) + 4, v); }
  static int Count(const Page& p) { return p.bytes[0]; }
  static void SetCount(Page& p, int n) { PutLE32(p.bytes, static_cast<uint32_t>(n)); }
  bool IsLeaf(const Page& p) const { return Child(p, 0) == 0; }
};

// Selects an NDX handle (type 2), reopening it after a quick close.
inline NdxIndex* SelectIndex(XBHANDLE handle) {
  return index::SelectIndexFile<NdxIndex>(handle, SlotType::Ndx);
}

// Closes the handle's file and frees the slot (XBDTERM and XBDNCLOSE).
XBSTATUS CloseIndex(XBHANDLE handle);

}  // namespace kv::xb::ndx
