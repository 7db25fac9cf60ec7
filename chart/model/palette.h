// The colours that series without a colour of their own take.
#pragma once
#include <cstdint>

namespace kv::chart {

// A 32-bit RGB value: red in the low byte, then green, then blue.
using Rgb = uint32_t;

inline constexpr int kPaletteSize = 13;

// The colour of series `series` (numbered from 1) when it has none of its
// own: palette entry series mod 13.
Rgb PaletteColour(int64_t series);

}  // namespace kv::chart
