// Comparison of index keys, shared by every index family.
//
// Types: 0 character (bytes, or the collating order when "asciisort" is 0);
// 1 and 2 IEEE floating point of the given length (8 double, 4 float);
// 3 and 5 unsigned little-endian integers; 4 and 6 signed little-endian
// integers; 8 character with '?' in the first key matching any byte; 7 and
// anything above 8 compare equal.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kv::xb::index {

enum KeyCompareType : int {
  kCompareCharacter = 0,
  kCompareDouble = 1,
  kCompareFloat = 2,
  kCompareUnsigned = 3,
  kCompareSigned = 4,
  kCompareUnsigned2 = 5,
  kCompareSigned2 = 6,
  kCompareWildcard = 8,
};

// Negative, zero or positive as `a` sorts before, with or after `b` over
// `length` bytes.
int CompareKeys(const uint8_t* a, const uint8_t* b, int type, size_t length);

// Character comparison by the collating table only (the "asciisort" 0 rule).
int CompareCollated(const uint8_t* a, const uint8_t* b, size_t length);

}  // namespace kv::xb::index
