// The sortable form of a double: the IEEE bytes most significant first, with
// negative numbers inverted and the sign bit of the others set, so that an
// unsigned bytewise comparison orders the numbers as the NDX comparison does
// (-0.0 before 0.0, the infinities at the ends).
#include <bit>
#include <cstring>

#include "xbase/build/bulk_build.h"

namespace kv::xb::bulk {

void ToSortableDouble(double value, uint8_t out[8]) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  constexpr uint64_t kSign = uint64_t{1} << 63;
  bits = (bits & kSign) != 0 ? ~bits : bits | kSign;
  for (int i = 7; i >= 0; --i) {
    out[i] = static_cast<uint8_t>(bits & 0xFF);
    bits >>= 8;
  }
}

double FromSortableDouble(const uint8_t in[8]) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 8) | in[i];
  constexpr uint64_t kSign = uint64_t{1} << 63;
  bits = (bits & kSign) == 0 ? ~bits : bits & ~kSign;
  return std::bit_cast<double>(bits);
}

}  // namespace kv::xb::bulk
