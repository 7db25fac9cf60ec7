// What the GIF and TIFF decoders share: the byte source they read from, the
// bitmap they produce, the options of one read and its outcome. The decoders
// know nothing of the library's records, messages or wait window; the reading
// frame adapts its image source to ByteSource, turns the outcome's message
// number into a reported message and copies the bitmap into its record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kv::image {

// A source of bytes with a position: the host's image source seen through its
// read, seek and size operations.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `count` bytes; answers how many were read (0 at the end).
  virtual size_t read_some(uint8_t* buffer, size_t count) = 0;
  // Moves to `position` from the start; false on failure.
  virtual bool seek(uint64_t position) = 0;
  // The source's size in bytes, or -1 when unknown.
  virtual int64_t size() = 0;
  // True when all `count` bytes were read.
  virtual bool read_all(uint8_t* buffer, size_t count) {
    while (count > 0) {
      size_t got = read_some(buffer, count);
      if (got == 0) return false;
      buffer += got;
      count -= got;
    }
    return true;
  }
};

// A ByteSource over bytes in memory (tests, fuzzing, the benchmark).
class SpanSource final : public ByteSource {
 public:
  explicit SpanSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t read_some(uint8_t* buffer, size_t count) override;
  bool seek(uint64_t position) override;
  int64_t size() override { return static_cast<int64_t>(bytes_.size()); }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

// Message numbers the decoders end with; 0 is success. The frame formats the
// numbers that quote the source's name.
enum Message : int {
  kOk = 0,
  kBadSubfileType = 1007,
  kNoWidth = 1008,
  kNoHeight = 1009,
  kNoStripOffsets = 1011,
  kBadBitsPerPixel = 1012,
  kNoColorMap = 1014,
  kHeaderRead = 1017,
  kBadHeader = 1018,
  kBadPhotometric = 1019,
  kImageRead = 1021,
  kDataRead = 1022,
  kDecompression = 1024,
  kNoMemory = 1026,
  kLocalPalette = 1031,
  kIncorrectData = 1032,
  kFileRead = 1033,
  kGlobalPalette = 1034,
  kUnknownFormat = 1036,
  kBadCoding = 1045,
  kNoClearCode = 1047,
};

// A device-independent bitmap: rows bottom first, each padded to 4 bytes.
struct DecodedImage {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t bits = 0;              // 1, 4, 8 or 24
  std::vector<uint32_t> palette;  // 2^bits entries 0x00RRGGBB (blue in the low byte); empty at 24
  // The pixel block: the reader's own (`pixels`) or one the caller handed
  // in through ReadOptions::pixel_block; null when only the header was read.
  uint8_t* block = nullptr;
  std::vector<uint8_t> pixels;
  uint64_t stride() const { return (static_cast<uint64_t>(bits) * width + 31) / 32 * 4; }
  uint64_t block_size() const { return stride() * height; }
  uint8_t* row_from_top(uint32_t y) { return block + (height - 1 - y) * stride(); }
};

// Pixel blocks above this size are refused with message 1032 whatever the
// header claims, so that a forged header cannot make the reader allocate
// gigabytes.
inline constexpr uint64_t kDefaultPixelCap = uint64_t{1} << 30;

struct ReadOptions {
  bool want_pixels = true;
  uint64_t pixel_cap = kDefaultPixelCap;
  // Called after each row with the rows done and the rows in all; false
  // cancels the read (no message).
  std::function<bool(uint32_t done, uint32_t total)> progress;
  // When set, gives the pixel block (block_size() bytes, zero-filled) for
  // the header it is shown, instead of the reader allocating its own; null
  // fails the read as one already reported.
  std::function<uint8_t*(const DecodedImage& header)> pixel_block;
};

struct ReadResult {
  int message = kOk;       // 0 on success
  bool cancelled = false;  // the user cancelled: no message, no image
  bool reported = false;   // pixel_block failed and said why
  bool ok() const { return message == kOk && !cancelled && !reported; }
};

// Gives the image its pixel block. False when the caller's pixel_block
// refused.
bool provide_pixel_block(const ReadOptions& options, DecodedImage& image);

// The palette entry the bitmap stores for a red, green, blue triple.
inline uint32_t rgb_entry(uint8_t red, uint8_t green, uint8_t blue) {
  return (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
}

}  // namespace kv::image
