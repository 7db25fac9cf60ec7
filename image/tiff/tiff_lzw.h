// The LZW coding of TIFF strips: 9- to 12-bit codes, most significant bit
// first, clear code 256, end code 257, the code width growing one code
// before the table reaches its current limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kv::image::tiff {

enum class LzwStatus { kOk, kBadCode, kTableFull, kDataEnded };

// Decodes a strip until `out` is full or the end code comes; the bytes of
// `out` the data does not reach are an error (kDataEnded).
LzwStatus decode_tiff_lzw(std::span<const uint8_t> data, std::span<uint8_t> out);

}  // namespace kv::image::tiff
