// A key as a family's search works with it: N bytes (the key, padded to
// the stored length), the length compared, how it compares, and for an
// exact search the record number that takes part in the order (equal keys
// lie in ascending record-number order).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kv::xb::index {

// Search flags of the find calls: exact on key and record number, or '?'
// matching any byte of a text key. Other flags search by a text key as a
// prefix.
inline constexpr uint16_t kFindExact = 2;
inline constexpr uint16_t kFindWildcard = 4;

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

// Fills `out` from a caller's key for a stored length L. A text key ends at
// its NUL or after L bytes and is compared over its own length; the bytes
// after it are `pad`, so that an exact search over the whole length never
// reads past the caller's text. Other keys are their L bytes. Returns
// whether the search takes '?' as a wildcard: asked for, and in the text.
template <class Key>
bool FillSearchKey(const void* key, size_t L, bool text, uint8_t pad, uint16_t flags,
                   uint32_t record, Key* out) {
  const uint8_t* k = static_cast<const uint8_t*>(key);
  size_t n = L;
  if (text) {
    n = 0;
    while (n < L && k[n] != 0) ++n;
  }
  std::memcpy(out->bytes, k, n);
  std::memset(out->bytes + n, pad, L - n);
  out->exact = flags == kFindExact;
  out->record = record;
  out->length = out->exact ? L : n;
  return text && flags == kFindWildcard && std::memchr(out->bytes, '?', n) != nullptr;
}

}  // namespace kv::xb::index
