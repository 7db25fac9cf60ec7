// The TIFF reader on whole files (directory, strips, none, LZW with and
// without differencing, PackBits), and the LZW and PackBits decoders on the
// bytes themselves.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/tiff/packbits.h"
#include "image/tiff/tiff_lzw.h"
#include "image/tiff/tiff_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kv::image::SpanSource source({data, size});
  kv::image::ReadOptions options;
  options.pixel_cap = 4u << 20;
  kv::image::DecodedImage image;
  kv::image::tiff::read_tiff(source, options, image);

  if (size >= 2) {
    // The first two bytes choose the output size of the raw decoders.
    std::vector<uint8_t> out(size_t{data[0]} << 6 | data[1]);
    const std::span<const uint8_t> coded(data + 2, size - 2);
    kv::image::tiff::decode_tiff_lzw(coded, out);
    kv::image::tiff::decode_packbits(coded, out);
  }
  return 0;
}
