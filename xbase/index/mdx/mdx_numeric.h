// The 12-byte numeric key of MDX tags: a decimal form that orders like the
// numbers. Byte 0 is 0x34 plus the number of integer digits (minus the zeros
// after the point for numbers below 1), byte 1 is 5 with bit 7 set for a
// negative number, bytes 2..11 hold up to 20 decimal digits as nibbles, high
// nibble first.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kv::xb::mdx {

// The key bytes of `value` (formatted with six decimals first).
void PutDecimalKey(uint8_t* key, double value);

// Negative, zero or positive as key `a` sorts before, with or after `b`.
int CompareDecimalKeys(const uint8_t* a, const uint8_t* b);

}  // namespace kv::xb::mdx
