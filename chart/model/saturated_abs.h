#pragma once
#include <cstdint>
#include <limits>

namespace kv::chart {

// The absolute value of a 32-bit number; the one number without a positive
// counterpart gives the largest positive value instead of overflowing.
inline int32_t SaturatedAbs(int32_t value) {
  if (value == std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::max();
  return value < 0 ? -value : value;
}

}  // namespace kv::chart
