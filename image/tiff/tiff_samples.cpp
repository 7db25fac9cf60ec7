#include "image/tiff/tiff_samples.h"

#include <cstring>

#include "image/tiff/tiff_directory.h"

namespace kv::image::tiff {

namespace {

void undo_differencing(uint8_t* samples, size_t count, size_t distance) {
  for (size_t i = distance; i < count; ++i)
    samples[i] = static_cast<uint8_t>(samples[i] + samples[i - distance]);
}

}  // namespace

void convert_row(const RowFormat& f, uint8_t* s, uint8_t* out) {
  const size_t width = f.width;
  switch (f.bits_per_pixel) {
    case 1:
    case 4:
      std::memcpy(out, s, (width * f.bits_per_pixel + 7) / 8);
      return;
    case 8:
      if (f.differenced) undo_differencing(s, width, 1);
      std::memcpy(out, s, width);
      return;
    case 24: {
      if (f.differenced) undo_differencing(s, width * 3, 3);
      const uint8_t invert = f.photometric == kSeparated ? 0xFF : 0;
      for (size_t x = 0; x < width; ++x, s += 3, out += 3) {
        out[0] = s[2] ^ invert;
        out[1] = s[1] ^ invert;
        out[2] = s[0] ^ invert;
      }
      return;
    }
    case 32: {
      if (f.differenced) undo_differencing(s, width * 4, 4);
      if (f.photometric == kSeparated) {
        for (size_t x = 0; x < width; ++x, s += 4, out += 3) {
          const unsigned white = 255u - s[3];
          out[0] = static_cast<uint8_t>((255u - s[2]) * white / 255);
          out[1] = static_cast<uint8_t>((255u - s[1]) * white / 255);
          out[2] = static_cast<uint8_t>((255u - s[0]) * white / 255);
        }
      } else {
        for (size_t x = 0; x < width; ++x, s += 4, out += 3) {
          out[0] = static_cast<uint8_t>(unsigned{s[2]} * s[3] / 255);
          out[1] = static_cast<uint8_t>(unsigned{s[1]} * s[3] / 255);
          out[2] = static_cast<uint8_t>(unsigned{s[0]} * s[3] / 255);
        }
      }
      return;
    }
  }
}

}  // namespace kv::image::tiff
