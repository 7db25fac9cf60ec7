// The states of key operations shared by every index family, and the current
// key: the one position an index keeps between calls.
//
// A key operation returns 0 when it found or returned an entry, 2 when the
// index is empty, 3 when a step ran past the first or last entry (the
// position is then that first or last entry), 4 when the key asked for is
// not there (the position is its neighbour) or when there is no current key
// to step from. Top, bottom, find, next, previous and current store what they
// return as the current key; next and previous first find the current key
// again, because another process may have changed the file since.
#pragma once
#include <cstdint>
#include <cstring>

#include "kv/xbase.h"
#include "xbase/frame/memory_block.h"

namespace kv::xb::index {

inline constexpr XBSTATUS kKeyFound = 0;
inline constexpr XBSTATUS kIndexEmpty = 2;
inline constexpr XBSTATUS kPastEdge = 3;
inline constexpr XBSTATUS kKeyNotFound = 4;

// Record number a search returns when the key sorts before every entry.
inline constexpr uint32_t kBeforeFirst = 0xFFFFFFFFu;

class CurrentKey {
 public:
  XBSTATUS Allocate(size_t keyLength) {
    length_ = keyLength;
    return key_.Allocate(keyLength + 1);
  }
  void Store(const uint8_t* key, uint32_t record) {
    std::memcpy(key_.data(), key, length_);
    key_.data()[length_] = 0;
    record_ = record;
  }
  void Clear() { record_ = 0; }
  bool present() const { return record_ != 0; }
  const uint8_t* key() const { return key_.data(); }
  uint32_t record() const { return record_; }

 private:
  MemoryBlock key_;
  size_t length_ = 0;
  uint32_t record_ = 0;  // 0: no current key
};

}  // namespace kv::xb::index
