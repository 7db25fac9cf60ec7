// PackBits run-length coding: a count byte n, then n + 1 literal bytes
// (0 <= n <= 127) or one byte repeated 1 - n times (-127 <= n <= -1); -128
// is passed over.
#pragma once

#include <cstdint>
#include <span>

namespace kv::image::tiff {

// Fills `out` from the data; false when the data ends first or a run
// reaches past `out`.
bool decode_packbits(std::span<const uint8_t> data, std::span<uint8_t> out);

}  // namespace kv::image::tiff
