// A key as a family's search works with it: N bytes (the key, padded to
// the stored length), the length compared, how it compares, and for an
// exact search the record number that takes part in the order (equal keys
// lie in ascending record-number order).
#pragma once
#include <cstddef>
#include <cstdint>

namespace kv::xb::index {

// Keys compared by a comparison type (key_compare.h): character, wildcard
// or a number form.
template <size_t N>
struct TypedSearchKey {
  uint8_t bytes[N] = {};
  size_t length = 0;
  int type = 0;
  bool exact = false;
  uint32_t record = 0;
};

// Keys compared as bytes, '?' matching any byte when `wildcard`.
template <size_t N>
struct ByteSearchKey {
  uint8_t bytes[N] = {};
  size_t length = 0;
  bool wildcard = false;
  bool exact = false;
  uint32_t record = 0;
};

}  // namespace kv::xb::index
