// PNG files of chart bitmaps.
//
// cairo's own writer lets libpng try every row filter on every row and
// compresses with zlib at its default level: on a 640 x 480 chart that was
// nine tenths of the time of drawing and saving it, and zlib's fastest
// level still took most of it. Chart pictures are mostly runs of one
// colour and rows mostly like the row above; with a cheap choice of row
// filter, ISA-L's igzip at level 1 compresses them to about the size
// zlib's fast levels give, in a tenth of the time. The file is small
// enough to build whole in memory: the signature, IHDR, one IDAT and IEND,
// each chunk with its big-endian length and CRC. The pixels written are
// the surface's exactly.
#include "platform/gdi/png_writer.h"

#include <isa-l/igzip_lib.h>
#include <sys/stat.h>
#include <zlib.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

namespace kvp::detail {

namespace {

// Beyond this the rows (1 + 3 x width bytes each) are left to cairo's
// streaming writer: igzip counts its input in 32 bits and a chunk's length
// must fit in 31.
constexpr std::size_t kMaxRowBytes = std::size_t{1} << 30;
constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr unsigned char kFilterNone = 0;
constexpr unsigned char kFilterUp = 2;

// The destination file: closed on every path, and removed when it was not
// written completely, unless it is not a regular file (a device or a pipe
// named as the output is never deleted).
class OutputFile {
 public:
  explicit OutputFile(const char* path) : path_(path), file_(std::fopen(path, "wb")) {
    struct stat status {};
    regular_ = file_ != nullptr && fstat(fileno(file_), &status) == 0 && S_ISREG(status.st_mode);
  }
  ~OutputFile() {
    if (file_ == nullptr) return;  // never opened (the file stays as it was), or closed
    std::fclose(file_);
    Discard();
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool opened() const { return file_ != nullptr; }
  // Writes the bytes, flushes and closes; true when every byte reached the file.
  bool WriteAndClose(const unsigned char* data, std::size_t size) {
    std::FILE* file = file_;
    file_ = nullptr;
    const bool written = std::fwrite(data, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    Discard();
    return false;
  }

 private:
  void Discard() const {
    if (regular_) std::remove(path_);
  }

  const char* path_;
  std::FILE* file_;
  bool regular_ = false;
};

unsigned char* PutBigEndian32(unsigned char* at, std::uint32_t value) {
  at[0] = static_cast<unsigned char>(value >> 24);
  at[1] = static_cast<unsigned char>(value >> 16);
  at[2] = static_cast<unsigned char>(value >> 8);
  at[3] = static_cast<unsigned char>(value);
  return at + 4;
}

// A chunk whose data already stands at at + 8: writes its length and type
// before the data and its CRC (over type and data) after; answers the end.
unsigned char* FinishChunk(unsigned char* at, std::string_view type, std::size_t length) {
  PutBigEndian32(at, static_cast<std::uint32_t>(length));
  for (std::size_t i = 0; i < 4; ++i) at[4 + i] = static_cast<unsigned char>(type[i]);
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), at + 4, static_cast<uInt>(4 + length));
  return PutBigEndian32(at + 8 + length, static_cast<std::uint32_t>(crc));
}

// The three bytes R, G, B of an RGB24 pixel (a native 32-bit word
// 0x00RRGGBB) as a word whose first three bytes in memory are R, G, B.
inline std::uint32_t InFileOrder(std::uint32_t p) {
  if constexpr (std::endian::native == std::endian::little) {
    return __builtin_bswap32(p) >> 8;
  } else {
    return p << 8;
  }
}

// Bytewise a - b modulo 256 in each of the four bytes of a word: the high
// bit of each byte is set in a and cleared in b so that no borrow crosses
// into the next byte, then put right.
inline std::uint32_t BytewiseDifference(std::uint32_t a, std::uint32_t b) {
  constexpr std::uint32_t kHigh = 0x80808080u;
  return ((a | kHigh) - (b & ~kHigh)) ^ ((a ^ ~b) & kHigh);
}

// R, G, B of each pixel of a row, as they are (`above` null) or less the
// bytes of the pixel above. Each pixel stores four bytes of which the next
// pixel overwrites the fourth: `out` has one byte of room after the row.
void PackPixels(const std::uint32_t* row, const std::uint32_t* above, int width,
                unsigned char* out) {
  for (int x = 0; x < width; ++x) {
    std::uint32_t bytes = InFileOrder(row[x]);
    if (above != nullptr) bytes = BytewiseDifference(bytes, InFileOrder(above[x]));
    std::memcpy(out + 3 * static_cast<std::size_t>(x), &bytes, 4);
  }
}

// Every row with its filter byte, then its bytes unfiltered or as their
// difference from the row above ("Up"). A row whose pixels more often
// repeat the pixel above than the pixel to their left (vertical edges,
// areas a line crosses) goes as differences, whose zeros compress; others
// (antialiased text, diagonals) go as they are. Every fourth pixel is
// enough to tell. A row like the one above, the commonest in a chart, is
// all zeros.
void PackRows(const unsigned char* data, int width, int height, int stride, unsigned char* out) {
  const std::size_t bytes = 3 * static_cast<std::size_t>(width);
  const std::uint32_t* above = nullptr;
  for (int y = 0; y < height; ++y) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    out[0] = kFilterNone;
    if (above != nullptr) {
      int sameAsAbove = 0, sameAsLeft = 0, differing = 0;
      for (int x = 0; x < width; ++x) differing += ((row[x] ^ above[x]) & 0xFFFFFF) != 0;
      if (differing == 0) {
        out[0] = kFilterUp;
        std::memset(out + 1, 0, bytes);
        out += 1 + bytes;
        above = row;
        continue;
      }
      for (int x = 1; x < width; x += 4) {
        sameAsAbove += ((row[x] ^ above[x]) & 0xFFFFFF) == 0;
        sameAsLeft += ((row[x] ^ row[x - 1]) & 0xFFFFFF) == 0;
      }
      if (sameAsAbove > sameAsLeft) out[0] = kFilterUp;
    }
    PackPixels(row, out[0] == kFilterUp ? above : nullptr, width, out + 1);
    out += 1 + bytes;
    above = row;
  }
}

// The rows as a zlib stream at `out` (room for `capacity` bytes); answers
// its length, 0 when it does not fit.
std::size_t Compress(unsigned char* rows, std::size_t size, unsigned char* out,
                     std::size_t capacity) {
  std::unique_ptr<std::uint8_t[]> work(new (std::nothrow) std::uint8_t[ISAL_DEF_LVL1_DEFAULT]);
  if (!work) return 0;
  isal_zstream stream;
  isal_deflate_stateless_init(&stream);
  stream.level = 1;
  stream.level_buf = work.get();
  stream.level_buf_size = ISAL_DEF_LVL1_DEFAULT;
  stream.gzip_flag = IGZIP_ZLIB;
  stream.end_of_stream = 1;
  stream.next_in = rows;
  stream.avail_in = static_cast<std::uint32_t>(size);
  stream.next_out = out;
  stream.avail_out = static_cast<std::uint32_t>(capacity);
  if (isal_deflate_stateless(&stream) != COMP_OK || stream.avail_in != 0) return 0;
  return stream.total_out;
}

}  // namespace

bool WriteSurfacePng(cairo_surface_t* surface, const char* path) {
  cairo_surface_flush(surface);
  const bool rgb = cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE &&
                   cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
  const int width = rgb ? cairo_image_surface_get_width(surface) : 0;
  const int height = rgb ? cairo_image_surface_get_height(surface) : 0;
  const std::size_t rowBytes =
      static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width));
  if (!rgb || width <= 0 || height <= 0 || rowBytes > kMaxRowBytes) {
    return cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
  }
  // Room for the worst case, stored blocks: 5 bytes per 65535 and the
  // zlib header and trailer, with some to spare.
  const std::size_t bound = rowBytes + rowBytes / 64 + 1024;
  // Signature, IHDR (8 + 13 + 4), IDAT (8 + data + 4), IEND (12).
  const std::size_t capacity = sizeof kSignature + 25 + 12 + bound + 12;
  // One byte more than the rows: the packing of the last pixel overruns by one.
  std::unique_ptr<unsigned char[]> rows(new (std::nothrow) unsigned char[rowBytes + 1]);
  std::unique_ptr<unsigned char[]> file(new (std::nothrow) unsigned char[capacity]);
  if (!rows || !file) return false;
  PackRows(cairo_image_surface_get_data(surface), width, height,
           cairo_image_surface_get_stride(surface), rows.get());

  unsigned char* at = file.get();
  for (unsigned char byte : kSignature) *at++ = byte;
  unsigned char* header = at + 8;
  header = PutBigEndian32(header, static_cast<std::uint32_t>(width));
  header = PutBigEndian32(header, static_cast<std::uint32_t>(height));
  header[0] = 8;  // bits per sample
  header[1] = 2;  // colour type: RGB
  header[2] = 0;  // deflate
  header[3] = 0;  // adaptive filtering, a filter byte per row
  header[4] = 0;  // not interlaced
  at = FinishChunk(at, "IHDR", 13);
  const std::size_t compressed = Compress(rows.get(), rowBytes, at + 8, bound);
  if (compressed == 0) return false;
  at = FinishChunk(at, "IDAT", compressed);
  at = FinishChunk(at, "IEND", 0);

  OutputFile out(path);
  if (!out.opened()) return false;
  return out.WriteAndClose(file.get(), static_cast<std::size_t>(at - file.get()));
}

}  // namespace kvp::detail
