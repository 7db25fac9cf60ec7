// Turns one decoded TIFF row into one bitmap row: horizontal differencing
// undone, colour samples reordered to blue, green, red, CMYK and
// four-sample RGB reduced to three samples.
#pragma once

#include <cstdint>

namespace kv::image::tiff {

struct RowFormat {
  uint32_t width = 0;
  uint32_t bits_per_pixel = 0;  // of the data: 1, 4, 8, 24 or 32
  uint32_t photometric = 0;
  bool differenced = false;  // predictor 2 (8-bit samples only)
};

// Undoes the differencing in place (when asked) and writes the bitmap row.
void convert_row(const RowFormat& format, uint8_t* samples, uint8_t* bitmap_row);

}  // namespace kv::image::tiff
