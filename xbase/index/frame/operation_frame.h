// The frame of every key operation: the header words that another process
// may have changed (root and end page) are read again at the start, and at
// the end the page cache is emptied and the path forgotten, so that no page
// survives from one call to the next. Only the current key and the list of
// pages freed during this open live on between calls.
#pragma once
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/index/frame/page_cache.h"
#include "xbase/index/frame/path_stack.h"

namespace kv::xb::index {

class OperationFrame {
 public:
  OperationFrame(PageCache& cache, PathStack& path, PageFile& file)
      : cache_(cache), path_(path), file_(file) {}
  ~OperationFrame() {
    cache_.Drop(file_);
    path_.Reset();
  }
  OperationFrame(const OperationFrame&) = delete;
  OperationFrame& operator=(const OperationFrame&) = delete;

 private:
  PageCache& cache_;
  PathStack& path_;
  PageFile& file_;
};

// Reads `count` little-endian 32-bit words at `offset` of the file.
XBSTATUS ReadHeaderWords(int fileNo, uint32_t offset, uint32_t* words, int count);
// Writes one little-endian 32-bit word at `offset`.
XBSTATUS WriteHeaderWord(int fileNo, uint32_t offset, uint32_t word, bool flush);

}  // namespace kv::xb::index
