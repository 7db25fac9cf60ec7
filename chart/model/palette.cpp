#include "chart/model/palette.h"

namespace kv::chart {

namespace {

// Entry 0 first; written as 0xBBGGRR.
constexpr Rgb kPalette[kPaletteSize] = {
    0x000080, 0x00FF00, 0x800080, 0x008080, 0xFFFF00, 0xFF00FF, 0x808080,
    0x00FFFF, 0x808000, 0xFF0000, 0x0000FF, 0x008000, 0x800000,
};

}  // namespace

Rgb PaletteColour(int64_t series) {
  int64_t entry = series % kPaletteSize;
  if (entry < 0) entry += kPaletteSize;
  return kPalette[entry];
}

}  // namespace kv::chart
