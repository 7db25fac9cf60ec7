#include "image/tiff/tiff_lzw.h"

#include <algorithm>
#include <memory>

namespace kv::image::tiff {

namespace {

constexpr int kClear = 256;
constexpr int kEnd = 257;
constexpr int kFirstFree = 258;
constexpr int kTableSize = 4096;

struct Table {
  uint16_t prefix[kTableSize];
  uint8_t suffix[kTableSize];
  uint8_t first[kTableSize];
  uint16_t length[kTableSize];
};

}  // namespace

LzwStatus decode_tiff_lzw(std::span<const uint8_t> data, std::span<uint8_t> out) {
  auto table = std::make_unique<Table>();
  for (int i = 0; i < 256; ++i) {
    table->prefix[i] = 0;
    table->suffix[i] = static_cast<uint8_t>(i);
    table->first[i] = static_cast<uint8_t>(i);
    table->length[i] = 1;
  }
  size_t in = 0;
  uint32_t bits = 0;
  int bit_count = 0;
  int width = 9;
  int next = kFirstFree;
  int previous = -1;
  size_t written = 0;

  while (written < out.size()) {
    while (bit_count < width) {
      if (in == data.size()) return LzwStatus::kDataEnded;
      bits = (bits << 8) | data[in++];
      bit_count += 8;
    }
    const int code = static_cast<int>((bits >> (bit_count - width)) & ((1u << width) - 1));
    bit_count -= width;

    if (code == kClear) {
      width = 9;
      next = kFirstFree;
      previous = -1;
      continue;
    }
    if (code == kEnd) break;
    if (previous < 0) {
      if (code > 255) return LzwStatus::kBadCode;
      out[written++] = static_cast<uint8_t>(code);
      previous = code;
      continue;
    }
    if (code > next) return LzwStatus::kBadCode;
    // A writer must clear the table before it runs out; decoding on would
    // write past it.
    if (next >= kTableSize) return LzwStatus::kTableFull;
    table->prefix[next] = static_cast<uint16_t>(previous);
    table->suffix[next] = code < next ? table->first[code] : table->first[previous];
    table->first[next] = table->first[previous];
    table->length[next] = static_cast<uint16_t>(table->length[previous] + 1);
    ++next;

    // A string that runs past the strip's end is cut at it.
    const size_t length = table->length[code];
    const size_t room = out.size() - written;
    int walk = code;
    for (size_t i = length; i > room; --i) walk = table->prefix[walk];
    for (size_t i = std::min(length, room); i > 0; --i) {
      out[written + i - 1] = table->suffix[walk];
      walk = table->prefix[walk];
    }
    written += std::min(length, room);
    if (next == (1 << width) - 1 && width < 12) ++width;
    previous = code;
  }
  return written == out.size() ? LzwStatus::kOk : LzwStatus::kDataEnded;
}

}  // namespace kv::image::tiff
