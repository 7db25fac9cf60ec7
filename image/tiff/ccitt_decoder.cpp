#include "image/tiff/ccitt_decoder.h"

#include <cstring>
#include <vector>

#include "image/tiff/ccitt_codes.h"

namespace kv::image::tiff::ccitt {

namespace {

// The longest code word is 13 bits: a table indexed by the next 13 bits
// gives each code word's run and length in one look-up.
constexpr int kPeekBits = 13;

enum Kind : uint8_t { kInvalid = 0, kTerminating, kMakeUp, kEndOfLine };

struct Lookup {
  uint16_t run;
  uint8_t length;
  uint8_t kind;
};

struct RunTables {
  Lookup colour[2][1 << kPeekBits];
  RunTables() {
    std::memset(colour, 0, sizeof colour);
    fill(colour[0], kWhiteCodes, std::size(kWhiteCodes));
    fill(colour[1], kBlackCodes, std::size(kBlackCodes));
  }
  static void fill(Lookup* table, const CodeWord* words, size_t count) {
    for (size_t w = 0; w < count; ++w) {
      const int length = static_cast<int>(std::strlen(words[w].bits));
      uint32_t code = 0;
      for (int i = 0; i < length; ++i) code = (code << 1) | (words[w].bits[i] == '1');
      const uint32_t first = code << (kPeekBits - length);
      const uint32_t span = 1u << (kPeekBits - length);
      Lookup entry{};
      entry.length = static_cast<uint8_t>(length);
      if (words[w].run < 0) {
        entry.kind = kEndOfLine;
      } else {
        entry.run = static_cast<uint16_t>(words[w].run);
        entry.kind = words[w].run < 64 ? kTerminating : kMakeUp;
      }
      for (uint32_t i = 0; i < span; ++i) table[first + i] = entry;
    }
  }
};

const RunTables& run_tables() {
  static const RunTables tables;
  return tables;
}

class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t> data) : data_(data), end_(data.size() * 8) {}
  // The next `n` (at most 25) bits, zeros past the end.
  uint32_t peek(int n) const {
    const size_t byte = position_ >> 3;
    uint32_t word = 0;
    for (size_t i = 0; i < 4; ++i)
      word = (word << 8) | (byte + i < data_.size() ? data_[byte + i] : 0);
    return (word << (position_ & 7)) >> (32 - n);
  }
  void skip(int n) { position_ += static_cast<size_t>(n); }
  bool overrun() const { return position_ > end_; }
  bool at_end() const { return position_ >= end_; }
  void align() { position_ = (position_ + 7) & ~size_t{7}; }
  size_t position() const { return position_; }
  void set_position(size_t p) { position_ = p; }

 private:
  std::span<const uint8_t> data_;
  size_t end_;
  size_t position_ = 0;
};

constexpr int kRunError = -1;
constexpr int kRunEndOfLine = -2;

// One run of the colour: make-up codes (which may repeat) then a terminating
// code. Runs longer than `limit` are errors.
int read_run(BitReader& in, int colour, uint32_t limit) {
  const Lookup* table = run_tables().colour[colour];
  uint32_t total = 0;
  for (;;) {
    const Lookup& e = table[in.peek(kPeekBits)];
    if (e.kind == kInvalid) return kRunError;
    in.skip(e.length);
    if (in.overrun()) return kRunError;
    if (e.kind == kEndOfLine) return kRunEndOfLine;
    total += e.run;
    if (total > limit) return kRunError;
    if (e.kind == kTerminating) return static_cast<int>(total);
  }
}

void set_black(uint8_t* row, uint32_t from, uint32_t to) {
  if (from >= to) return;
  uint32_t first_byte = from >> 3, last_byte = (to - 1) >> 3;
  const uint8_t head = static_cast<uint8_t>(0xFF >> (from & 7));
  const uint8_t tail = static_cast<uint8_t>(0xFF << (7 - ((to - 1) & 7)));
  if (first_byte == last_byte) {
    row[first_byte] |= head & tail;
    return;
  }
  row[first_byte] |= head;
  if (last_byte > first_byte + 1)
    std::memset(row + first_byte + 1, 0xFF, last_byte - first_byte - 1);
  row[last_byte] |= tail;
}

bool decode_row_1d(BitReader& in, uint32_t width, uint8_t* row) {
  uint32_t position = 0;
  int colour = 0;
  while (position < width) {
    const int run = read_run(in, colour, width - position);
    if (run < 0) return false;
    if (colour == 1) set_black(row, position, position + static_cast<uint32_t>(run));
    position += static_cast<uint32_t>(run);
    colour ^= 1;
  }
  return true;
}

// Passes over an end-of-line code and the fill zeros before it, when there is
// one; the first row of a strip may come without.
void skip_end_of_line(BitReader& in) {
  const size_t start = in.position();
  size_t zeros = 0;
  while (!in.at_end() && in.peek(1) == 0) {
    in.skip(1);
    ++zeros;
  }
  if (zeros >= 11 && !in.at_end()) {
    in.skip(1);
    return;
  }
  in.set_position(start);
}

enum Mode { kPass, kHorizontal, kVertical, kModeError };

struct ModeCode {
  Mode mode;
  int offset;  // a1 - b1 for vertical modes
  int length;
};

ModeCode read_mode(const BitReader& in) {
  const uint32_t bits = in.peek(7);
  if (bits & 0x40) return {kVertical, 0, 1};
  if ((bits >> 4) == 0b011) return {kVertical, 1, 3};
  if ((bits >> 4) == 0b010) return {kVertical, -1, 3};
  if ((bits >> 4) == 0b001) return {kHorizontal, 0, 3};
  if ((bits >> 3) == 0b0001) return {kPass, 0, 4};
  if ((bits >> 1) == 0b000011) return {kVertical, 2, 6};
  if ((bits >> 1) == 0b000010) return {kVertical, -2, 6};
  if (bits == 0b0000011) return {kVertical, 3, 7};
  if (bits == 0b0000010) return {kVertical, -3, 7};
  return {kModeError, 0, 0};
}

// Changing elements of a row: the positions where the colour changes, the
// first to black. A change back at the same position cancels the last.
void push_change(std::vector<uint32_t>& changes, uint32_t position) {
  if (!changes.empty() && changes.back() == position)
    changes.pop_back();
  else
    changes.push_back(position);
}

bool decode_row_2d(BitReader& in, uint32_t width, const std::vector<uint32_t>& reference,
                   std::vector<uint32_t>& coding, uint8_t* row) {
  coding.clear();
  int64_t a0 = -1;
  int colour = 0;
  size_t base = 0;  // first reference change right of a0
  while (a0 < static_cast<int64_t>(width)) {
    while (static_cast<int64_t>(reference[base]) <= a0 && reference[base] < width) ++base;
    const size_t b1_index = base + ((base & 1) != static_cast<size_t>(colour) ? 1 : 0);
    const uint32_t b1 = reference[b1_index];
    const uint32_t b2 = reference[b1_index + 1];
    const uint32_t start = a0 < 0 ? 0 : static_cast<uint32_t>(a0);
    const ModeCode mode = read_mode(in);
    in.skip(mode.length);
    if (in.overrun()) return false;
    switch (mode.mode) {
      case kPass:
        if (b2 < start) return false;
        if (colour == 1) set_black(row, start, b2);
        a0 = b2;
        break;
      case kHorizontal: {
        const int first = read_run(in, colour, width - start);
        if (first < 0) return false;
        const uint32_t a1 = start + static_cast<uint32_t>(first);
        const int second = read_run(in, colour ^ 1, width - a1);
        if (second < 0) return false;
        const uint32_t a2 = a1 + static_cast<uint32_t>(second);
        set_black(row, colour == 1 ? start : a1, colour == 1 ? a1 : a2);
        push_change(coding, a1);
        push_change(coding, a2);
        a0 = a2;
        break;
      }
      case kVertical: {
        const int64_t a1 = int64_t{b1} + mode.offset;
        if (a1 < start || a1 > width) return false;
        if (colour == 1) set_black(row, start, static_cast<uint32_t>(a1));
        push_change(coding, static_cast<uint32_t>(a1));
        a0 = a1;
        colour ^= 1;
        break;
      }
      case kModeError:
        return false;
    }
    // A pass over the row's end is a coding error.
    if (a0 > static_cast<int64_t>(width)) return false;
  }
  return true;
}

}  // namespace

bool decode_strip(Coding coding, std::span<const uint8_t> data, uint32_t width, uint32_t rows,
                  uint8_t* out, size_t out_stride) {
  BitReader in(data);
  const size_t row_bytes = (size_t{width} + 7) / 8;
  // The reference row of the first row is all white; both lists end with
  // the row's width repeated, so that b1 and b2 always exist.
  std::vector<uint32_t> reference{width, width, width};
  std::vector<uint32_t> changes;
  for (uint32_t r = 0; r < rows; ++r) {
    uint8_t* row = out + size_t{r} * out_stride;
    std::memset(row, 0, row_bytes);
    bool ok = false;
    switch (coding) {
      case Coding::kModifiedHuffman:
        ok = decode_row_1d(in, width, row);
        in.align();
        break;
      case Coding::kGroup3:
        skip_end_of_line(in);
        ok = decode_row_1d(in, width, row);
        break;
      case Coding::kGroup4:
        ok = decode_row_2d(in, width, reference, changes, row);
        if (ok) {
          reference.swap(changes);
          reference.insert(reference.end(), {width, width, width});
        }
        break;
    }
    if (!ok) return false;
  }
  return true;
}

}  // namespace kv::image::tiff::ccitt
