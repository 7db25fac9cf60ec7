// Two-pass colour reduction: a histogram of the picture in the luminance-
// chrominance space, a palette chosen by median cut, and a mapping with
// Floyd-Steinberg error diffusion.
#pragma once
#include <cstdint>
#include <vector>

#include "image/write/packed_bitmap.h"

namespace kvimg {

struct PaletteColour {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
};

// Luminance and chrominance of a colour with the fixed-point factors of
// JPEG's colour conversion (scale 65536); each result 0..255.
void RgbToYcc(int red, int green, int blue, int& y, int& cb, int& cr);

// At most `colours` colours (fewer when the picture has fewer distinct
// cells) for the 24-bit picture.
std::vector<PaletteColour> ChoosePalette(const PackedBitmapView& picture, unsigned colours);

// Maps every pixel of the 24-bit picture to its palette index with error
// diffusion; `out` holds `height` rows of `outStride` bytes, bottom-up.
void MapToPalette(const PackedBitmapView& picture, const std::vector<PaletteColour>& palette,
                  uint8_t* out, uint32_t outStride);

}  // namespace kvimg
