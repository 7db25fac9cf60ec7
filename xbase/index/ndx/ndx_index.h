// The NDX index file: header layout, page entries and the control block of
// an open index.
//
// Page 0 is the header; every other page holds a count (low byte of the
// first four bytes) and entries of E bytes from offset 4: child page, record
// number, key. A leaf's first child field is 0. An interior page with n keys
// has n + 1 children, the last one in the child field of entry n; the key of
// an interior entry is the greatest key of the subtree under its child.
#pragma once
#include <cstdint>
#include <cstring>

#include "xbase/frame/endian.h"
#include "xbase/frame/handle_table.h"
#include "xbase/frame/memory_block.h"
#include "xbase/index/frame/free_pages.h"
#include "xbase/index/frame/key_status.h"
#include "xbase/index/frame/page_cache.h"
#include "xbase/index/frame/path_stack.h"
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
inline constexpr int kMaxPath = 260;

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

struct NdxIndex : ControlBlock {
  NdxIndex() : cache("NPGET", "NPPUT") {}

  index::FreePageList freePages;
  uint8_t header[kHeaderCopy] = {};
  char fileName[kMaxPath + 1] = {};
  uint16_t writeMode = 1;
  uint32_t root = 0;
  uint16_t keyLength = 0;
  uint16_t keysPerPage = 0;
  uint16_t keyType = 0;
  uint16_t entrySize = 0;
  bool unique = false;
  uint16_t half = 0;
  uint16_t rest = 0;         // keysPerPage - half
  MemoryBlock entryOffsets;  // uint16 offset of entry i, i = 0..K
  index::PathStack path;
  index::PageCache cache;
  index::PageFile pages;
  index::CurrentKey current;
  bool headerDirty = false;
  uint8_t lockState = 0;

  const char* expression() const { return reinterpret_cast<const char*>(header + kOffExpression); }
  bool readOnly() const { return (state & kStateReadOnly) != 0; }

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
NdxIndex* SelectIndex(XBHANDLE handle);

// Closes the handle's file and frees the slot (XBDTERM and XBDNCLOSE).
XBSTATUS CloseIndex(XBHANDLE handle);

}  // namespace kv::xb::ndx
