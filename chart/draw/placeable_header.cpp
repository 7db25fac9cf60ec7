#include "chart/draw/placeable_header.h"

#include <algorithm>

namespace kv::chart {

namespace {

uint16_t Signed16(int value) {
  return static_cast<uint16_t>(static_cast<int16_t>(std::clamp(value, -32768, 32767)));
}

}  // namespace

std::array<uint8_t, 22> PlaceableHeader(const Box& bounds, uint16_t unitsPerInch) {
  const uint16_t words[10] = {static_cast<uint16_t>(kPlaceableKey & 0xFFFF),
                              static_cast<uint16_t>(kPlaceableKey >> 16),
                              0,
                              Signed16(bounds.left),
                              Signed16(bounds.top),
                              Signed16(bounds.right),
                              Signed16(bounds.bottom),
                              unitsPerInch,
                              0,
                              0};
  std::array<uint8_t, 22> header{};
  uint16_t checksum = 0;
  for (int i = 0; i < 10; ++i) {
    header[static_cast<size_t>(2 * i)] = static_cast<uint8_t>(words[i] & 0xFF);
    header[static_cast<size_t>(2 * i + 1)] = static_cast<uint8_t>(words[i] >> 8);
    checksum ^= words[i];
  }
  header[20] = static_cast<uint8_t>(checksum & 0xFF);
  header[21] = static_cast<uint8_t>(checksum >> 8);
  return header;
}

}  // namespace kv::chart
