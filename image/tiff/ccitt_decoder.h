// The fax codings of bilevel TIFF strips: modified Huffman rows (byte-aligned,
// no end-of-line), Group 3 one-dimensional rows with end-of-line codes and
// optional fill bits, and Group 4 two-dimensional rows. White runs are 0
// bits, black runs 1 bits, most significant bit first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kv::image::tiff::ccitt {

enum class Coding { kModifiedHuffman, kGroup3, kGroup4 };

// Decodes one strip into `rows` rows of (width + 7) / 8 bytes each. False on
// any coding error: an unknown code, a run past the row's end, an
// end-of-line inside a row, or data that ends before the rows do.
bool decode_strip(Coding coding, std::span<const uint8_t> data, uint32_t width, uint32_t rows,
                  uint8_t* out, size_t out_stride);

}  // namespace kv::image::tiff::ccitt
