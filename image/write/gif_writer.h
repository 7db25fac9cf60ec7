// GIF87a writing of a palette bitmap.
#pragma once
#include <cstdint>
#include <vector>

#include "image/write/packed_bitmap.h"

namespace kvimg {

// The LZW stream of `pixels` (one index a byte) for the given minimum code
// size: the data sub-blocks with their length bytes and the terminating 0.
std::vector<uint8_t> EncodeGifLzw(const std::vector<uint8_t>& pixels, unsigned codeSize);

// Colour bits of the file: the smallest n from 1 with 2^n >= colours.
unsigned GifColourBits(unsigned colours);

// Writes the 1-, 4- or 8-bit bitmap as a GIF87a file; false (and no file
// left behind) when the bitmap is not one of those, a pixel indexes past
// its colour table, it is wider or taller than 65535, or writing fails.
bool WriteGifFile(const PackedBitmap& bitmap, const char* fileName);

}  // namespace kvimg
