// The control block fields every open index file has whatever its family,
// and those of a file that holds one key order (NDX, IDX, NTX).
#pragma once
#include <cstdint>

#include "xbase/frame/handle_table.h"
#include "xbase/index/frame/key_status.h"
#include "xbase/index/frame/page_cache.h"

namespace kv::xb::index {

// The path the file was opened by (a quick close reopens it by that path),
// its lock state and its pages.
struct IndexFileBlock : ControlBlock {
  char fileName[kSlotPathBytes + 1] = {};
  uint8_t lockState = 0;
  PageFile pages;

  bool readOnly() const { return (state & kStateReadOnly) != 0; }
};

// One tree per file: its root, the key it orders by, and what a call keeps
// (the path, the page cache whose log lines carry `readModule` and
// `writeModule`, the current key).
struct SingleOrderBlock : IndexFileBlock {
  SingleOrderBlock(const char* readModule, const char* writeModule)
      : cache(readModule, writeModule) {}

  uint32_t root = 0;
  uint16_t keyLength = 0;
  bool unique = false;
  PathStack path;
  PageCache cache;
  CurrentKey current;
};

}  // namespace kv::xb::index
