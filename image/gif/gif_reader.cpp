#include "image/gif/gif_reader.h"

#include <algorithm>
#include <cstring>

#include "image/gif/gif_lzw.h"

namespace kv::image::gif {

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;

uint16_t le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Reads a colour table of 2^(size_bits+1) entries into the palette (the
// bitmap keeps 256 entries; those the table lacks stay black).
bool read_color_table(ByteSource& source, int size_bits, std::vector<uint32_t>& palette) {
  const size_t entries = size_t{1} << (size_bits + 1);
  uint8_t triples[256 * 3];
  if (!source.read_all(triples, entries * 3)) return false;
  palette.assign(256, 0);
  for (size_t i = 0; i < entries; ++i)
    palette[i] = rgb_entry(triples[3 * i], triples[3 * i + 1], triples[3 * i + 2]);
  return true;
}

// Passes over an extension's sub-blocks up to its terminator.
bool skip_sub_blocks(ByteSource& source) {
  uint8_t skip[255];
  for (;;) {
    uint8_t length;
    if (!source.read_all(&length, 1)) return false;
    if (length == 0) return true;
    if (!source.read_all(skip, length)) return false;
  }
}

struct Descriptor {
  uint32_t left, top, width, height;
  bool local_table, interlaced;
  int local_size_bits;
};

// Places the image's pixels row by row, in the order of its passes when it
// is interlaced, dropping what lies outside the logical screen.
class RowPlacer final : public PixelSink {
 public:
  RowPlacer(DecodedImage& bitmap, const Descriptor& d, const ReadOptions& options)
      : bitmap_(bitmap), d_(d), options_(options) {}

  bool put(const uint8_t* pixels, size_t count) override {
    while (count > 0) {
      if (row_ == d_.height) return false;
      const size_t take = std::min<size_t>(count, d_.width - column_);
      const uint64_t y = uint64_t{d_.top} + image_row_;
      const uint64_t x = uint64_t{d_.left} + column_;
      if (y < bitmap_.height && x < bitmap_.width) {
        const size_t visible = std::min<uint64_t>(take, bitmap_.width - x);
        std::memcpy(bitmap_.row_from_top(static_cast<uint32_t>(y)) + x, pixels, visible);
      }
      pixels += take;
      count -= take;
      column_ += static_cast<uint32_t>(take);
      if (column_ == d_.width && !end_row()) return false;
    }
    return row_ < d_.height;
  }

  bool complete() const { return row_ == d_.height; }
  bool cancelled() const { return cancelled_; }

 private:
  // Moves to the next row; false when cancelled.
  bool end_row() {
    column_ = 0;
    ++row_;
    if (d_.interlaced) {
      static constexpr uint32_t kStart[4] = {0, 4, 2, 1};
      static constexpr uint32_t kStep[4] = {8, 8, 4, 2};
      image_row_ += kStep[pass_];
      while (image_row_ >= d_.height && pass_ < 3) {
        ++pass_;
        image_row_ = kStart[pass_];
      }
    } else {
      ++image_row_;
    }
    if (options_.progress && !options_.progress(row_, d_.height)) {
      cancelled_ = true;
      return false;
    }
    return true;
  }

  DecodedImage& bitmap_;
  const Descriptor& d_;
  const ReadOptions& options_;
  uint32_t row_ = 0;        // rows done
  uint32_t image_row_ = 0;  // the image row being written
  uint32_t column_ = 0;
  int pass_ = 0;
  bool cancelled_ = false;
};

ReadResult fail(int message) {
  return ReadResult{message, false};
}

// Reads blocks up to the first image descriptor. Answers 0, or the message.
int find_image(ByteSource& source, Descriptor& d) {
  for (;;) {
    uint8_t introducer;
    if (!source.read_all(&introducer, 1)) return kFileRead;
    if (introducer == kExtensionIntroducer) {
      uint8_t label;
      if (!source.read_all(&label, 1) || !skip_sub_blocks(source)) return kFileRead;
      continue;
    }
    // A trailer before any image leaves nothing to show; any other byte
    // is no block at all.
    if (introducer == kTrailer || introducer != kImageSeparator) return kIncorrectData;
    uint8_t raw[9];
    if (!source.read_all(raw, sizeof raw)) return kFileRead;
    d.left = le16(raw);
    d.top = le16(raw + 2);
    d.width = le16(raw + 4);
    d.height = le16(raw + 6);
    d.local_table = (raw[8] & 0x80) != 0;
    d.interlaced = (raw[8] & 0x40) != 0;
    d.local_size_bits = raw[8] & 0x07;
    return 0;
  }
}

ReadResult read_stream(ByteSource& source, const ReadOptions& options, DecodedImage& image) {
  uint8_t signature[6];
  if (!source.seek(0) || !source.read_all(signature, sizeof signature)) return fail(kHeaderRead);
  if (std::memcmp(signature, "GIF8", 4) != 0 || (signature[4] != '7' && signature[4] != '9') ||
      signature[5] != 'a')
    return fail(kBadHeader);

  uint8_t screen[7];
  if (!source.read_all(screen, sizeof screen)) return fail(kFileRead);
  image.width = le16(screen);
  image.height = le16(screen + 2);
  image.bits = 8;
  const bool global_table = (screen[4] & 0x80) != 0;
  const uint8_t background = screen[5];
  if (image.width == 0 || image.height == 0) return fail(kIncorrectData);
  if (global_table) {
    if (!read_color_table(source, screen[4] & 0x07, image.palette)) return fail(kGlobalPalette);
  }

  // Without a global table the bitmap takes the first image's local table,
  // so that such files show their own colours (without either, entries are
  // black).
  Descriptor d{};
  bool descriptor_read = false;
  if (!global_table) {
    if (int message = find_image(source, d)) return fail(message);
    descriptor_read = true;
    if (d.local_table) {
      if (!read_color_table(source, d.local_size_bits, image.palette)) return fail(kLocalPalette);
    } else {
      image.palette.assign(256, 0);
    }
  }
  if (!options.want_pixels) return {};

  if (image.block_size() > options.pixel_cap) return fail(kIncorrectData);
  if (!descriptor_read) {
    if (int message = find_image(source, d)) return fail(message);
    if (d.local_table) {
      std::vector<uint32_t> unused;
      if (!read_color_table(source, d.local_size_bits, unused)) return fail(kLocalPalette);
    }
  }

  if (!provide_pixel_block(options, image)) return {kOk, false, true};
  const bool covers_screen =
      d.left == 0 && d.top == 0 && d.width >= image.width && d.height >= image.height;
  if (!covers_screen && background != 0)
    std::memset(image.block, background, static_cast<size_t>(image.block_size()));

  uint8_t minimum_code_size;
  if (!source.read_all(&minimum_code_size, 1)) return fail(kFileRead);
  if (d.width == 0 || d.height == 0) return {};
  // The clear code must lie inside the 4096-entry table with room for the
  // end code and at least one string.
  if (minimum_code_size < 1 || minimum_code_size > 11) return fail(kIncorrectData);

  SubBlockReader input(source);
  RowPlacer placer(image, d, options);
  const LzwEnd end = decode_lzw(input, minimum_code_size, placer);
  if (placer.cancelled()) return {kOk, true};
  if (placer.complete()) return {};
  switch (end) {
    case LzwEnd::kReadFailed:
      return fail(kFileRead);
    case LzwEnd::kBadCode:
      return fail(kBadCoding);
    case LzwEnd::kTableFull:
      return fail(kNoClearCode);
    case LzwEnd::kEndCode:
      // The end code finishes the image even with rows left: they keep the
      // background, as the writer meant.
      return {};
    case LzwEnd::kDataEnded:
      break;
  }
  return fail(kDecompression);
}

}  // namespace

ReadResult read_gif(ByteSource& source, const ReadOptions& options, DecodedImage& image) {
  image = DecodedImage{};
  ReadResult result = read_stream(source, options, image);
  if (!result.ok()) image = DecodedImage{};
  return result;
}

}  // namespace kv::image::gif
