// The 22-byte placeable header in front of a metafile file: key
// 0x9AC6CDD7, handle 0, the bounding box as signed 16-bit values, units
// per inch, 4 reserved bytes and the exclusive-or of the ten words before
// the checksum. Little-endian throughout.
#pragma once
#include <array>
#include <cstdint>

#include "chart/draw/box.h"

namespace kv::chart {

inline constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
inline constexpr uint16_t kMetafileUnitsPerInch = 10;

std::array<uint8_t, 22> PlaceableHeader(const Box& bounds, uint16_t unitsPerInch);

}  // namespace kv::chart
