#include "image/gif/gif_lzw.h"

#include <cstring>
#include <memory>

namespace kv::image::gif {

bool SubBlockReader::next_byte(uint8_t& byte) {
  while (block_pos_ == block_size_) {
    if (ended_ || failed_) return false;
    uint8_t length = 0;
    if (!source_.read_all(&length, 1)) {
      failed_ = true;
      return false;
    }
    if (length == 0) {
      ended_ = true;
      return false;
    }
    if (!source_.read_all(block_, length)) {
      failed_ = true;
      return false;
    }
    block_size_ = length;
    block_pos_ = 0;
  }
  byte = block_[block_pos_++];
  return true;
}

namespace {

constexpr int kTableSize = 4096;
constexpr int kMaxCodeWidth = 12;

struct CodeTable {
  uint16_t prefix[kTableSize];
  uint8_t suffix[kTableSize];
  uint8_t first[kTableSize];
  uint16_t length[kTableSize];
};

}  // namespace

LzwEnd decode_lzw(SubBlockReader& input, int minimum_code_size, PixelSink& sink) {
  const int clear = 1 << minimum_code_size;
  const int end = clear + 1;
  auto table = std::make_unique<CodeTable>();
  for (int i = 0; i < clear; ++i) {
    table->prefix[i] = 0;
    table->suffix[i] = static_cast<uint8_t>(i);
    table->first[i] = static_cast<uint8_t>(i);
    table->length[i] = 1;
  }
  uint8_t string[kTableSize];

  int width = minimum_code_size + 1;
  int next = clear + 2;
  int previous = -1;
  bool seen_clear = false;
  uint32_t bits = 0;
  int bit_count = 0;

  for (;;) {
    while (bit_count < width) {
      uint8_t byte;
      if (!input.next_byte(byte)) return input.failed() ? LzwEnd::kReadFailed : LzwEnd::kDataEnded;
      bits |= uint32_t{byte} << bit_count;
      bit_count += 8;
    }
    const int code = static_cast<int>(bits & ((1u << width) - 1));
    bits >>= width;
    bit_count -= width;

    if (code == clear) {
      width = minimum_code_size + 1;
      next = clear + 2;
      previous = -1;
      seen_clear = true;
      continue;
    }
    if (code == end) return LzwEnd::kEndCode;
    // Some writers put stray codes ahead of the first clear code; they mean
    // nothing and are passed over.
    if (!seen_clear) continue;

    if (previous < 0) {
      if (code >= clear) return LzwEnd::kBadCode;
      string[0] = static_cast<uint8_t>(code);
      if (!sink.put(string, 1)) return LzwEnd::kEndCode;
      previous = code;
      continue;
    }
    if (code > next) return LzwEnd::kBadCode;
    if (next >= kTableSize) return LzwEnd::kTableFull;

    // The new entry is the previous string plus the first character of the
    // current one; for the code not yet in the table (code == next) that
    // character is the previous string's own first.
    const uint8_t first = code < next ? table->first[code] : table->first[previous];
    table->prefix[next] = static_cast<uint16_t>(previous);
    table->suffix[next] = first;
    table->first[next] = table->first[previous];
    table->length[next] = static_cast<uint16_t>(table->length[previous] + 1);
    ++next;

    const int length = table->length[code];
    int walk = code;
    for (int i = length - 1; i >= 0; --i) {
      string[i] = table->suffix[walk];
      walk = table->prefix[walk];
    }
    if (!sink.put(string, static_cast<size_t>(length))) return LzwEnd::kEndCode;

    if (next == (1 << width) && width < kMaxCodeWidth) ++width;
    previous = code;
  }
}

}  // namespace kv::image::gif
