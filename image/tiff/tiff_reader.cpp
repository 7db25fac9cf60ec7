#include "image/tiff/tiff_reader.h"

#include <algorithm>

#include "image/tiff/ccitt_decoder.h"
#include "image/tiff/packbits.h"
#include "image/tiff/tiff_directory.h"
#include "image/tiff/tiff_lzw.h"
#include "image/tiff/tiff_samples.h"

namespace kv::image::tiff {

namespace {

// Uncompressed strips are read in pieces of this size.
constexpr size_t kPiece = 4096;

std::vector<uint32_t> color_table(const Directory& d) {
  const uint32_t entries = 1u << d.bits_per_pixel;
  std::vector<uint32_t> table(entries);
  for (uint32_t i = 0; i < entries; ++i) {
    switch (d.photometric) {
      case kWhiteIsZero: {
        const auto v = static_cast<uint8_t>(255 - i * 255 / (entries - 1));
        table[i] = rgb_entry(v, v, v);
        break;
      }
      case kBlackIsZero: {
        const auto v = static_cast<uint8_t>(i * 255 / (entries - 1));
        table[i] = rgb_entry(v, v, v);
        break;
      }
      case kPalette:
        table[i] = rgb_entry(static_cast<uint8_t>(d.color_map[i] >> 8),
                             static_cast<uint8_t>(d.color_map[entries + i] >> 8),
                             static_cast<uint8_t>(d.color_map[2 * entries + i] >> 8));
        break;
    }
  }
  return table;
}

uint8_t reversed(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// Checks what the directory allows but this reader cannot decode.
int check_coding(const Directory& d) {
  switch (d.compression) {
    case kNone:
    case kPackBits:
      return 0;
    case kLzw:
      if (d.predictor == 2 && d.bits_per_pixel < 8) return kUnknownFormat;
      if (d.predictor != 1 && d.predictor != 2) return kUnknownFormat;
      return 0;
    case kModifiedHuffman:
    case kGroup3:
    case kGroup4:
      return d.bits_per_pixel == 1 ? 0 : kBadBitsPerPixel;
    default:
      return kUnknownFormat;
  }
}

class StripDecoder {
 public:
  StripDecoder(ByteSource& source, const Directory& d, uint64_t row_bytes)
      : source_(source), d_(d), row_bytes_(row_bytes), file_size_(source.size()) {}

  // Decodes `rows` rows of the strip into `out`. Answers 0 or the message.
  int decode(uint32_t strip, uint32_t rows, uint8_t* out) {
    const uint64_t offset = d_.strip_offsets[strip];
    if (file_size_ >= 0 && offset >= static_cast<uint64_t>(file_size_)) return kFileRead;
    if (!source_.seek(offset)) return kFileRead;
    const size_t wanted = static_cast<size_t>(row_bytes_ * rows);
    if (d_.compression == kNone) {
      for (size_t done = 0; done < wanted;) {
        const size_t piece = std::min(kPiece, wanted - done);
        if (!source_.read_all(out + done, piece)) return kDataRead;
        done += piece;
      }
      if (d_.fill_order == 2)
        for (size_t i = 0; i < wanted; ++i) out[i] = reversed(out[i]);
      return 0;
    }
    // Coded strips are read whole: as many bytes as the strip's count
    // says, never more than the file holds from the offset on, and never
    // more than the coding can take for the strip's rows, so that a file of
    // many strips whose counts (or absent counts) all reach the file's end
    // cannot make the reader go over the file again for every strip.
    uint64_t available = file_size_ >= 0 ? static_cast<uint64_t>(file_size_) - offset : 0;
    uint64_t count = std::min(available, largest_coding(wanted, rows));
    if (!d_.strip_byte_counts.empty() && d_.strip_byte_counts[strip] != 0)
      count = std::min<uint64_t>(count, d_.strip_byte_counts[strip]);
    coded_.resize(static_cast<size_t>(count));
    if (!source_.read_all(coded_.data(), coded_.size())) return kDataRead;
    if (d_.fill_order == 2)
      for (uint8_t& b : coded_) b = reversed(b);
    const std::span<uint8_t> target(out, wanted);
    switch (d_.compression) {
      case kLzw:
        return decode_tiff_lzw(coded_, target) == LzwStatus::kOk ? 0 : kDecompression;
      case kPackBits:
        return decode_packbits(coded_, target) ? 0 : kDecompression;
      case kModifiedHuffman:
      case kGroup3:
      case kGroup4: {
        const auto coding = d_.compression == kModifiedHuffman ? ccitt::Coding::kModifiedHuffman
                            : d_.compression == kGroup3        ? ccitt::Coding::kGroup3
                                                               : ccitt::Coding::kGroup4;
        return ccitt::decode_strip(coding, coded_, d_.width, rows, out, row_bytes_)
                   ? 0
                   : kDecompression;
      }
    }
    return kUnknownFormat;
  }

 private:
  // The most bytes a strip of `bytes` decoded bytes in `rows` rows can take
  // in its coding: LZW spends at most 12 bits on each byte, PackBits 2
  // bytes; a fax code spends at most 13 bits on a pixel (two runs in
  // horizontal mode, 26 bits, cover two pixels at least), with an
  // end-of-line and fill bits on each row. The margins keep every file a
  // writer makes inside.
  uint64_t largest_coding(uint64_t bytes, uint32_t rows) const {
    switch (d_.compression) {
      case kLzw:
      case kPackBits:
        return 2 * bytes + 4096;
      default:
        return 16 * bytes + 8 * uint64_t{rows} + 4096;
    }
  }

  ByteSource& source_;
  const Directory& d_;
  uint64_t row_bytes_;
  int64_t file_size_;
  std::vector<uint8_t> coded_;
};

ReadResult read_pixels(ByteSource& source, const Directory& d, const ReadOptions& options,
                       DecodedImage& image) {
  const uint64_t row_bytes = (uint64_t{d.width} * d.bits_per_pixel + 7) / 8;
  const uint64_t pixel_bytes = image.block_size();
  const uint64_t strip_bytes = row_bytes * d.rows_per_strip;
  if (pixel_bytes > options.pixel_cap || strip_bytes > options.pixel_cap)
    return {kIncorrectData, false};
  if (!provide_pixel_block(options, image)) return {kOk, false, true};
  std::vector<uint8_t> strip_rows(static_cast<size_t>(strip_bytes));

  RowFormat format{d.width, d.bits_per_pixel, d.photometric,
                   d.compression == kLzw && d.predictor == 2};
  StripDecoder decoder(source, d, row_bytes);
  uint32_t y = 0;
  for (uint32_t strip = 0; strip < d.strip_count(); ++strip) {
    const uint32_t rows = std::min(d.rows_per_strip, d.height - y);
    if (int message = decoder.decode(strip, rows, strip_rows.data())) return {message, false};
    for (uint32_t r = 0; r < rows; ++r, ++y) {
      convert_row(format, strip_rows.data() + r * row_bytes, image.row_from_top(y));
      if (options.progress && !options.progress(y + 1, d.height)) return {kOk, true};
    }
  }
  return {};
}

}  // namespace

ReadResult read_tiff(ByteSource& source, const ReadOptions& options, DecodedImage& image) {
  image = DecodedImage{};
  Directory d;
  int message = read_directory(source, d);
  if (message == 0) message = check_coding(d);
  if (message != 0) return {message, false};

  image.width = d.width;
  image.height = d.height;
  image.bits = static_cast<uint16_t>(d.bits_per_pixel == 32 ? 24 : d.bits_per_pixel);
  if (image.bits <= 8) image.palette = color_table(d);
  if (!options.want_pixels) return {};

  ReadResult result = read_pixels(source, d, options, image);
  if (!result.ok()) image = DecodedImage{};
  return result;
}

}  // namespace kv::image::tiff
