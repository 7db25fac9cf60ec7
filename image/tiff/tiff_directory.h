// The first image file directory of a TIFF file: the fields the reader uses,
// read in the file's byte order and checked against each other.
#pragma once

#include <cstdint>
#include <vector>

#include "image/readers/reader_core.h"

namespace kv::image::tiff {

enum Compression : uint32_t {
  kNone = 1,
  kModifiedHuffman = 2,
  kGroup3 = 3,
  kGroup4 = 4,
  kLzw = 5,
  kPackBits = 32773,
};

enum Photometric : uint32_t {
  kWhiteIsZero = 0,
  kBlackIsZero = 1,
  kRgb = 2,
  kPalette = 3,
  kSeparated = 5,
};

struct Directory {
  bool big_endian = false;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t samples = 1;
  uint32_t bits_per_pixel = 0;  // 1, 4, 8, 24 or 32 (the data's own)
  uint32_t compression = kNone;
  uint32_t photometric = 0;
  uint32_t rows_per_strip = 0;  // already 1 .. height
  uint32_t fill_order = 1;
  uint32_t predictor = 1;
  std::vector<uint32_t> strip_offsets;
  std::vector<uint32_t> strip_byte_counts;  // empty when the file gives none
  std::vector<uint16_t> color_map;          // 3 × 2^bits values: reds, greens, blues
  uint32_t strip_count() const { return (height - 1) / rows_per_strip + 1; }
};

// Reads the 8-byte header and the first directory. Answers 0 or the message.
int read_directory(ByteSource& source, Directory& directory);

}  // namespace kv::image::tiff
