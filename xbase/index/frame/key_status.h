// The states of key operations shared by every index family, and the current
// key: the one position an index keeps between calls.
//
// A key operation returns 0 when it found or returned an entry, 2 when the
// index is empty, 3 when a step ran past the first or last entry (the
// position is then that first or last entry), 4 when the key asked for is
// not there (the position is its neighbour) or when there is no current key
// to step from. Top, bottom, find, next, previous and current store what they
// return as the current key; next and previous first find the current key
// again, because another process may have changed the file since. With the
// key the path to where it was given is kept: while every page on that path
// still leads to the key, the walk goes on from there in the file's stored
// order, whatever order this engine's comparison would give its keys.
#pragma once
#include <cstdint>
#include <cstring>

#include "kv/xbase.h"
#include "xbase/frame/memory_block.h"
#include "xbase/index/frame/path_stack.h"

namespace kv::xb::index {

inline constexpr XBSTATUS kKeyFound = 0;
inline constexpr XBSTATUS kIndexEmpty = 2;
inline constexpr XBSTATUS kPastEdge = 3;
inline constexpr XBSTATUS kKeyNotFound = 4;

// Record number a search returns when the key sorts before every entry.
inline constexpr uint32_t kBeforeFirst = 0xFFFFFFFFu;

class CurrentKey {
 public:
  // `half` as the index's path takes it, so that the kept path fits.
  XBSTATUS Allocate(size_t keyLength, uint16_t half) {
    length_ = keyLength;
    const XBSTATUS s = hint_.Allocate(half);
    return s != 0 ? s : key_.Allocate(keyLength + 1);
  }
  // Stores the entry at the end of `path` as the current key.
  void Store(const uint8_t* key, uint32_t record, PathStack& path) {
    std::memcpy(key_.data(), key, length_);
    key_.data()[length_] = 0;
    record_ = record;
    hint_.CopyFrom(path);
  }
  void Clear() {
    record_ = 0;
    hint_.Reset();
  }
  // The path to where the current key was last given.
  PathStack& hint() { return hint_; }
  bool present() const { return record_ != 0; }
  const uint8_t* key() const { return key_.data(); }
  uint32_t record() const { return record_; }

 private:
  MemoryBlock key_;
  PathStack hint_;
  size_t length_ = 0;
  uint32_t record_ = 0;  // 0: no current key
};

}  // namespace kv::xb::index
