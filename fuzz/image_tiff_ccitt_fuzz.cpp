// The fax decoders (modified Huffman, Group 3 one-dimensional, Group 4) on
// raw strips, and the TIFF reader on whole bilevel files.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/tiff/ccitt_decoder.h"
#include "image/tiff/tiff_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kv::image::SpanSource source({data, size});
  kv::image::ReadOptions options;
  options.pixel_cap = 4u << 20;
  kv::image::DecodedImage image;
  kv::image::tiff::read_tiff(source, options, image);

  if (size >= 3) {
    // Width (1 to 4096) and rows (1 to 64) from the first bytes.
    const uint32_t width = (uint32_t{data[0]} << 4 | data[1] >> 4) + 1;
    const uint32_t rows = (data[1] & 0x0F) * 4 + 1 + data[2] % 4;
    const size_t stride = (width + 7) / 8;
    std::vector<uint8_t> out(stride * rows);
    const std::span<const uint8_t> coded(data + 3, size - 3);
    using kv::image::tiff::ccitt::Coding;
    for (Coding coding : {Coding::kModifiedHuffman, Coding::kGroup3, Coding::kGroup4})
      kv::image::tiff::ccitt::decode_strip(coding, coded, width, rows, out.data(), stride);
  }
  return 0;
}
